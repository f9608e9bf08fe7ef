#include "automation/member_table.h"

namespace pagelith {

namespace {

constexpr char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool SameName(std::string_view ascii, std::u16string_view name) {
    if (ascii.size() != name.size()) return false;
    for (std::size_t i = 0; i < ascii.size(); ++i)
        if (AsciiLower(static_cast<char16_t>(ascii[i])) != AsciiLower(name[i])) return false;
    return true;
}

std::string_view IdlType(TValueType t) {
    switch (t) {
    case TValueType::Long:
        return "long";
    case TValueType::Double:
        return "double";
    case TValueType::String:
        return "BSTR";
    case TValueType::Boolean:
        return "VARIANT_BOOL";
    case TValueType::Color:
        return "OLE_COLOR";
    case TValueType::Variant:
        return "VARIANT";
    case TValueType::None:
        break;
    }
    return "void";
}

std::string Hex(int32_t v) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s(8, '0');
    auto u = static_cast<uint32_t>(v);
    for (int i = 7; i >= 0; --i, u >>= 4) s[static_cast<std::size_t>(i)] = kDigits[u & 15];
    return "0x" + s;
}

void AppendEntry(std::string& out, const TMemberInfo& m, std::string_view attribute, bool put) {
    out += "    [";
    if (!attribute.empty()) out.append(attribute).append(", ");
    out += "id(" + Hex(m.DispId) + ")";
    if (!m.HelpString.empty()) out.append(", helpstring(\"").append(m.HelpString).append("\")");
    out.append("]\n    HRESULT _stdcall ").append(m.Name).append("(");
    bool first = true;
    auto sep = [&] {
        if (!first) out += ", ";
        first = false;
    };
    for (const TParamInfo& p : m.ParamList()) {
        sep();
        out.append("[in] ").append(IdlType(p.Type)).append(" ").append(p.Name);
    }
    if (m.Result != TValueType::None) {
        sep();
        if (put) // the library leaves the value of a property put unnamed
            out.append("[in] ").append(IdlType(m.Result));
        else
            out.append("[out, retval] ").append(IdlType(m.Result)).append("* Value");
    }
    out += ");\n";
}

} // namespace

const TMemberInfo* FindMemberByName(std::u16string_view name) {
    for (const TMemberInfo& m : kMembers)
        if (SameName(m.Name, name)) return &m;
    return nullptr;
}

int FindParamByName(const TMemberInfo& m, std::u16string_view name) {
    for (std::size_t i = 0; i < m.ParamCount; ++i)
        if (SameName(m.Params[i].Name, name)) return static_cast<int>(i);
    return -1;
}

std::string IdlMemberDeclarations(const TInterfaceInfo& info) {
    std::string out;
    for (const TMemberInfo& m : info.Members) {
        switch (m.Kind) {
        case TMemberKind::Method:
            AppendEntry(out, m, "", false);
            break;
        case TMemberKind::Get:
            AppendEntry(out, m, "propget", false);
            break;
        case TMemberKind::GetPut:
            AppendEntry(out, m, "propget", false);
            AppendEntry(out, m, "propput", true);
            break;
        }
    }
    return out;
}

} // namespace pagelith
