#include "ApplicationList.h"

#include <gtest/gtest.h>

namespace varkel::shared {
namespace {

TEST(ApplicationLine, SplitsAtTheFirstColonAndJoinsBack) {
    struct Case {
        const char* line;
        bool defines;
        const char* buttonText;
        const char* location;
    };
    const Case cases[] = {
        {"Edit:C:\\Program Files\\Editor\\edit.exe", true, "Edit", "C:\\Program Files\\Editor\\edit.exe"},
        {"Ed:it:C:\\e.exe", true, "Ed", "it:C:\\e.exe"},  // a ":" in a button text cuts it there
        {":C:\\e.exe", true, "", "C:\\e.exe"},
        {"Edit:", true, "Edit", ""},
        {" Edit : gedit --new-window ", true, " Edit ", " gedit --new-window "},  // blanks are kept
        {"no colon here", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto split = splitApplicationLine(c.line);
        ASSERT_EQ(split.has_value(), c.defines);
        if (!split) continue;
        EXPECT_EQ(split->buttonText, c.buttonText);
        EXPECT_EQ(split->location, c.location);
        EXPECT_EQ(joinApplicationLine(*split), c.line);
    }
}

}  // namespace
}  // namespace varkel::shared
