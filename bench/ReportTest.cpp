// The interval plot: what a reader sees of it must lie inside the picture.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "Report.h"

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

}  // namespace
}  // namespace bench
