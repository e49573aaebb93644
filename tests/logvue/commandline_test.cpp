#include "commandline.h"

#include <gtest/gtest.h>

namespace {

struct TArgumentsCase {
    std::vector<std::string> Arguments;
    bool Accepted;
    bool Help;
    std::string Screenshot;
    std::string ErrorPart;
};

TEST(LogvueCommandLine, TakesTheTokenAndItsOptions) {
    const TArgumentsCase cases[] = {
        {{}, true, false, "", ""},
        {{"583104927"}, true, false, "", ""},
        {{"--help"}, true, true, "", ""},
        {{"583104927", "--screenshot", "shot.png"}, true, false, "shot.png", ""},
        {{"--screenshot=shot.png"}, true, false, "shot.png", ""},
        {{"--screenshot"}, false, false, "", "PNG file"},
        {{"--screenshot="}, false, false, "", "PNG file"},
        {{"--screenshot", ""}, false, false, "", "PNG file"},
        {{"583104928"}, false, false, "", "\"583104928\""},
        {{"--follow"}, false, false, "", "\"--follow\""},
    };
    for (const TArgumentsCase& c : cases) {
        std::string described = testing::PrintToString(c.Arguments);
        TLogvueOptions options;
        std::string error;
        EXPECT_EQ(ParseLogvueArguments(c.Arguments, options, error), c.Accepted) << described;
        if (c.Accepted) {
            EXPECT_EQ(options.Help, c.Help) << described;
            EXPECT_EQ(options.Screenshot, c.Screenshot) << described;
        } else {
            EXPECT_NE(error.find(c.ErrorPart), std::string::npos) << described << ": " << error;
        }
    }
}

}  // namespace
