#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "document/pagelith.h"
#include "support/pdf_check.h"

namespace pagelith {
namespace {

// Documents share nothing but constant tables, so documents built and saved
// on several threads at once come out exactly as they do one at a time.
std::string Build(int seed) {
    TPagelith doc;
    doc.Clock = [] { return testing::kFixedTime; };
    for (int p = 0; p < 20; ++p) {
        doc.AddPage(p % 3 == 0 ? 1 : 0);
        const int g = doc.CreateGraphic();
        doc.SetLineColor(static_cast<uint32_t>(seed * 7919 + p));
        for (int i = 0; i < 200; ++i) doc.DrawLine(i * 0.37 + seed, p * 1.5, i / 3.0, seed * 0.125 + i);
        doc.Ellipse(300, 400, 50 + seed, 20, p * 11.5);
        doc.ApplyResource(p + 1, g);
    }
    return testing::SavePdf(doc);
}

TEST(Concurrency, DocumentsOnSeveralThreadsMatchSerialOutput) {
    constexpr int kThreads = 4;
    std::vector<std::string> serial, parallel(kThreads);
    for (int t = 0; t < kThreads; ++t) serial.push_back(Build(t));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([t, &parallel] { parallel[t] = Build(t); });
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(parallel[t], serial[t]) << t;
    EXPECT_TRUE(testing::ReadersAccept("concurrent.pdf", parallel[0]));
}

} // namespace
} // namespace pagelith
