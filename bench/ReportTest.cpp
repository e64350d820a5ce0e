// The interval plot must show all it holds; the smoke check must notice a window in front that
// never got the keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>

#include "ReportSvg.h"
#include "ReportTable.h"

namespace bench {
namespace {

SubjectResult subject(const std::string& id, const std::string& label) {
    SubjectResult s;
    s.id = id;
    s.label = label;
    s.pulse.interval.median = 750;
    return s;
}

TEST(BenchSvgTest, EveryLegendEntryFitsInsideThePicture) {
    RunResult run;
    run.subjects = {subject("program", "program"), subject("program-behind", "program, behind"),
                    subject("shell-loop", "shell loop"),
                    subject("xdotool-repeat", "xdotool --repeat"),
                    subject("reference", "reference")};
    std::ostringstream svg;
    writeSvg(svg, run);
    const std::string text = svg.str();

    std::smatch size;
    ASSERT_TRUE(std::regex_search(text, size,
                                  std::regex("<svg [^>]*width='([0-9.]+)' height='([0-9.]+)'")));
    const double width = std::stod(size[1]), height = std::stod(size[2]);

    const std::regex entry(
        "<rect x='([0-9.]+)' y='([0-9.]+)' width='14'[^>]*/><text "
        "[^>]*font-size='11'>([^<]*)</text>");
    int entries = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry);
         it != std::sregex_iterator(); ++it) {
        const double x = std::stod((*it)[1]), y = std::stod((*it)[2]);
        const std::string label = (*it)[3];
        ++entries;
        EXPECT_LE(x + 18 + 6.1 * static_cast<double>(label.size()), width) << label;
        EXPECT_LE(y + 10, height) << label;
    }
    EXPECT_EQ(entries, 5);
}

TEST(BenchMissingFiguresTest, AWindowInFrontThatReadNoKeysIsReported) {
    const auto reported = [](long frontKeyEvents) {
        RunResult run;
        run.subjects = {subject("reference", "reference")};
        run.subjects[0].frontKeyEvents = frontKeyEvents;
        const auto missing = missingFigures(run);
        return std::count_if(missing.begin(), missing.end(), [](const std::string& m) {
            return m.find("window in front") != std::string::npos;
        });
    };
    EXPECT_EQ(reported(0), 1);
    EXPECT_EQ(reported(1600), 0);
    EXPECT_EQ(reported(-1), 0);  // no window in front at all
}

}  // namespace
}  // namespace bench
