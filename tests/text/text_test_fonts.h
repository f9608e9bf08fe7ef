// Documents with a monospaced test font: every printable character is 500
// thousandths wide, so at size 10 each character takes 5 points.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "document/pagelith.h"
#include "fonts/synthetic_font.h"

namespace pagelith::test {

inline std::string MonoFontPath() {
    std::filesystem::create_directories(PAGELITH_TEST_OUTPUT_DIR);
    // One file per test: CTest runs tests side by side.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "mono";
    for (char& c : name)
        if (c == '/') c = '_';
    const std::string path = std::string(PAGELITH_TEST_OUTPUT_DIR) + "/mono500-" + name + ".ttf";
    TSyntheticFont f;
    f.Names = {{1, 0, 0, 6, "Mono500"}};
    f.Advances = {500};
    f.Segments = {{0x20, 0xFF, static_cast<uint16_t>(1 - 0x20), {}}};
    f.WriteTo(path);
    return path;
}

// A document with the test font as font 15 and a current text in it, size 10.
inline void SetUpMonoText(TPagelith& doc) {
    doc.AddFont(MonoFontPath());
    doc.CreateText();
    doc.SetTextFont(15);
    doc.SetTextSize(10);
}

} // namespace pagelith::test
