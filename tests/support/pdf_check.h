// Helpers for tests that hand produced files to real PDF readers.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/byte_stream.h"
#include "document/pagelith.h"

#include <gtest/gtest.h>

namespace pagelith::testing {

inline std::string SavePdf(TPagelith& doc) {
    TMemoryStream stream;
    doc.SaveToStream(stream);
    return stream.Data;
}

// The running test's name as a file name: suite and test, "/" of parameterised tests made "_".
inline std::string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
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

// qpdf --check exits 0 and reports no warning at all.
inline ::testing::AssertionResult QpdfClean(const std::filesystem::path& path) {
    std::string out;
    const int status = Run("qpdf --check '" + path.string() + "'", &out);
    if (status != 0 || out.find("WARNING") != std::string::npos ||
        out.find("No syntax or stream encoding errors found") == std::string::npos)
        return ::testing::AssertionFailure() << "qpdf --check (status " << status << "):\n"
                                             << out.substr(0, 4000);
    return ::testing::AssertionSuccess();
}

// qpdf --check passes without a warning and pdftoppm renders every page.
inline ::testing::AssertionResult ReadersAccept(const std::string& name, const std::string& bytes) {
    const auto path = WriteFile(name, bytes);
    if (auto clean = QpdfClean(path); !clean) return clean;
    if (bytes.find("/Count 0\r") != std::string::npos)
        return ::testing::AssertionSuccess(); // nothing to render
    std::string out;
    const auto prefix = OutputPath(name + "-page").string();
    if (Run("pdftoppm -r 20 -png '" + path.string() + "' '" + prefix + "'", &out) != 0 || !out.empty())
        return ::testing::AssertionFailure() << "pdftoppm failed:\n" << out;
    return ::testing::AssertionSuccess();
}

// The moment of the worked example: 5 March 2007, 14:03:09 UTC.
inline constexpr std::time_t kFixedTime = 1173103389;

} // namespace pagelith::testing
