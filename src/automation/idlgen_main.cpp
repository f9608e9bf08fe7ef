// Prints the members of IPDFSvrDoc as IDL, for the type-library build.
#include <cstdio>

#include "automation/member_table.h"

int main() {
    std::fputs(pagelith::IdlMemberDeclarations().c_str(), stdout);
    return 0;
}
