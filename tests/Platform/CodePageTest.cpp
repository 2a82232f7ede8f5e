#include "CodePage.h"

#include <gtest/gtest.h>

namespace varkel::platform {
namespace {

TEST(CodePage, EveryByteSurvivesTheWayThroughUnicode) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(cp1252ToUtf8("\xE9"), "\xC3\xA9");      // e acute
    EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD"), "?");     // no single-byte form
    EXPECT_EQ(utf8ToCp1252("a\xFF" "b"), "a?b");      // malformed input
}

TEST(CodePage, CaseFoldingCoversTheUpperHalf) {
    EXPECT_TRUE(equalsIgnoreCase("Z:\\DOCS\\REPORT.DOC", "z:\\Docs\\report.doc"));
    EXPECT_TRUE(equalsIgnoreCase("\xC9T\xC9", "\xE9t\xE9"));
    EXPECT_FALSE(equalsIgnoreCase("\xD7", "\xF7"));  // multiplication and division signs differ
    EXPECT_FALSE(equalsIgnoreCase("report.doc", "report.docx"));
}

}  // namespace
}  // namespace varkel::platform
