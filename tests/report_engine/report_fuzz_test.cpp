// The report file reader on random, damaged and truncated input: every outcome is a page
// listing or a ReportError. Iterations: TARNW_FUZZ_ITERATIONS (default 3000).
#include <cstdlib>
#include <random>

#include "report_engine/report_file_reader.h"
#include "report_test_support.h"
#include <gtest/gtest.h>

using namespace report;

namespace {

std::string sampleFile()
{
    FixedWidthMeasurer m;
    return report::test::recordDocument(m, [](TBaseReport &r) {
        r.AddTabStop(-32768, JustifyLeft, 1, 5, BOXLINEALL, 30);
        r.AddTabStop(-32768, JustifySpread, 2, 5, 0, 0);
        for (int page = 1; page <= 3; ++page) {
            if (page > 1)
                r.StartNextPage();
            r.UseFont("Courier New", 8 + page);
            r.UseBold(page == 2);
            r.EmitLine("\tcell\tspread text");
            r.EmitRightAt(std::string(250, 'w'), 8);
            r.DrawRoundedBox(1, 1, 2, 2, 0.1, 0.1);
            r.PenMoveTo(1, 5);
            r.PenLineTo(7, 5);
            static_cast<TReportFiler &>(r).PrintGraphic(2, "meta", 1, 1);
        }
    });
}

TEST(ReportFileFuzz, DamagedInputEndsInAnErrorNeverACrash)
{
    const char *env = std::getenv("TARNW_FUZZ_ITERATIONS");
    const int iterations = env ? std::atoi(env) : 3000;
    const std::string good = sampleFile();
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    int errors = 0, listed = 0;
    for (int i = 0; i < iterations; ++i) {
        std::string bytes = good;
        switch (i % 4) {
        case 0: // truncated
            bytes.resize(rng() % good.size());
            break;
        case 1: // a few bytes changed
            for (unsigned k = 0, n = 1 + rng() % 8; k < n; ++k)
                bytes[rng() % bytes.size()] = static_cast<char>(rng());
            break;
        case 2: // pure noise behind a valid header byte
            bytes.assign(1 + rng() % 512, '\0');
            for (char &c : bytes)
                c = static_cast<char>(rng());
            bytes[0] = 90;
            break;
        default: // a page link or length field aimed anywhere
            for (unsigned k = 0; k < 4; ++k)
                bytes[(60 + rng() % 40 + k) % bytes.size()] = static_cast<char>(rng());
            break;
        }
        try {
            ReportFileReader reader;
            reader.openBytes(bytes);
            listReportFile(reader);
            ++listed;
        } catch (const ReportError &) {
            ++errors;
        }
    }
    EXPECT_EQ(errors + listed, iterations) << "seed " << seed;
    EXPECT_GT(errors, iterations / 4) << "seed " << seed;
}

} // namespace
