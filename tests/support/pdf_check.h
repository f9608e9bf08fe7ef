// Helpers for tests that hand produced files to real PDF readers.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "document/pagelith.h"
#include "pdf/byte_stream.h"

#include <gtest/gtest.h>

namespace pagelith::testing {

inline std::string SavePdf(TPagelith& doc) {
    TMemoryStream stream;
    doc.SaveToStream(stream);
    return stream.Data;
}

inline std::filesystem::path OutputPath(const std::string& name) {
    std::filesystem::path dir = PAGELITH_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    return dir / name;
}

inline std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) {
    auto path = OutputPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Runs a shell command and returns its exit status and standard output.
inline int Run(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
    const int status = pclose(pipe);
    if (output) *output = text;
    return status;
}

// The file's CR-only line ends put a lone CR after "stream", and an image
// placed twice on a page is named twice; qpdf notes both and reads on.
inline bool OnlyKnownWarnings(const std::string& report) {
    std::size_t at = 0;
    while ((at = report.find("WARNING:", at)) != std::string::npos) {
        const auto end = report.find('\n', at);
        const std::string line = report.substr(at, end - at);
        if (line.find("stream keyword followed by carriage return only") == std::string::npos &&
            line.find("dictionary has duplicated key /Im") == std::string::npos)
            return false;
        at = end;
    }
    return true;
}

// qpdf --check passes and pdftoppm renders every page.
inline ::testing::AssertionResult ReadersAccept(const std::string& name, const std::string& bytes) {
    const auto path = WriteFile(name, bytes);
    std::string out;
    const int status = Run("qpdf --check '" + path.string() + "'", &out);
    const bool warningsOnly = WIFEXITED(status) && WEXITSTATUS(status) == 3 && OnlyKnownWarnings(out);
    if (status != 0 && !warningsOnly) return ::testing::AssertionFailure() << "qpdf --check failed:\n" << out;
    if (!warningsOnly && out.find("No syntax or stream encoding errors found") == std::string::npos)
        return ::testing::AssertionFailure() << "qpdf --check found errors:\n" << out;
    if (bytes.find("/Count 0\r") != std::string::npos)
        return ::testing::AssertionSuccess(); // nothing to render
    const auto prefix = OutputPath(name + "-page").string();
    if (Run("pdftoppm -r 20 -png '" + path.string() + "' '" + prefix + "'", &out) != 0 || !out.empty())
        return ::testing::AssertionFailure() << "pdftoppm failed:\n" << out;
    return ::testing::AssertionSuccess();
}

// The moment of the worked example: 5 March 2007, 14:03:09 UTC.
inline constexpr std::time_t kFixedTime = 1173103389;

} // namespace pagelith::testing
