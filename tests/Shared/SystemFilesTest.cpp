#include "SystemFiles.h"
#include "TestSupport.h"

namespace varkel::shared {
namespace {

using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class SystemFiles : public test::ScratchFolder {};

TEST_F(SystemFiles, FilePresentMeansAtLeastOneByteAndLeavesNoEmptyFile) {
    EXPECT_FALSE(FilePresent("missing.dat"));
    EXPECT_FALSE(fs::exists("missing.dat"));
    writeBytes("empty.dat", "");
    EXPECT_FALSE(FilePresent("empty.dat"));
    EXPECT_FALSE(fs::exists("empty.dat"));
    writeBytes("key.dat", "\r\n");
    EXPECT_TRUE(FilePresent("KEY.DAT"));
    EXPECT_EQ(readFirstEntry("key.dat"), "");  // present, but an empty key
}

TEST_F(SystemFiles, PresentEntriesReadAListOnlyWhenItHoldsSomething) {
    EXPECT_TRUE(presentEntries("Files.dat").empty());
    EXPECT_FALSE(fs::exists("Files.dat"));
    writeBytes("Files.dat", "");
    EXPECT_TRUE(presentEntries("Files.dat").empty());
    EXPECT_FALSE(fs::exists("Files.dat"));
    writeBytes("files.DAT", "N:\\a.doc\r\nN:\\b.doc\r\n");
    EXPECT_EQ(presentEntries("Files.dat"), (std::vector<std::string>{"N:\\a.doc", "N:\\b.doc"}));
}

TEST_F(SystemFiles, NetworkPathGetsOneTrailingBackslash) {
    EXPECT_EQ(withTrailingBackslash("N:\\Shared"), "N:\\Shared\\");
    EXPECT_EQ(withTrailingBackslash("Z:\\"), "Z:\\");
    EXPECT_EQ(withTrailingBackslash(""), "\\");
}

TEST_F(SystemFiles, DisplayReadsFieldsWhileRewritesReadWholeLines) {
    writeBytes("Files.dat", "N:\\a.doc\r\nN:\\b, c.doc\r\n  N:\\d.doc\r\n");
    EXPECT_EQ(readEntries("Files.dat"), (std::vector<std::string>{"N:\\a.doc", "N:\\b", "c.doc", "N:\\d.doc"}));
    EXPECT_EQ(readLines("Files.dat"), (std::vector<std::string>{"N:\\a.doc", "N:\\b, c.doc", "  N:\\d.doc"}));
}

TEST_F(SystemFiles, ListsAreWrittenWithCarriageReturnAndLineFeed) {
    writeLines("Keys.dat", {"123456789", "987654321"});
    appendLine("keys.dat", "555555555");  // one file, whatever the case of its name
    EXPECT_EQ(readBytes("Keys.dat"), "123456789\r\n987654321\r\n555555555\r\n");
    writeLines("Locked.dat", {});
    EXPECT_EQ(fs::file_size("Locked.dat"), 0u);
}

TEST_F(SystemFiles, RenamingOverLeavesAReaderTheWholeOldList) {
    writeBytes("Locked.dat", "a\r\nb\r\n");
    std::ifstream reader("Locked.dat", std::ios::binary);
    rewriteWithout("Locked.dat", "temp.dat", {"a"}, Replace::RenameOver);
    const std::string seen(std::istreambuf_iterator<char>(reader), {});
    EXPECT_EQ(seen, "a\r\nb\r\n");
    EXPECT_EQ(readBytes("Locked.dat"), "b\r\n");
}

TEST_F(SystemFiles, MatchingCountsCaseOnlyWhereItShould) {
    writeBytes("Locked.dat", "Z:\\DOCS\\REPORT.DOC\r\n");
    EXPECT_TRUE(containsLine("Locked.dat", "Z:\\Docs\\report.doc", Case::Ignored));
    EXPECT_FALSE(containsLine("Locked.dat", "Z:\\Docs\\report.doc", Case::Exact));
    EXPECT_FALSE(containsLine("Locked.dat", "Z:\\DOCS\\REPORT.DOCX", Case::Ignored));
}

TEST_F(SystemFiles, RewritingWithoutEntriesDropsEveryCopyInEveryStyle) {
    for (Replace how : {Replace::DeleteAndRename, Replace::CopyOver, Replace::RenameOver}) {
        writeBytes("Locked.dat", "a\r\nb\r\nA\r\nb\r\nc\r\n");
        rewriteWithout("Locked.dat", how == Replace::DeleteAndRename ? "Locked.tmp" : "temp.dat", {"b", "c"}, how);
        EXPECT_EQ(readBytes("Locked.dat"), "a\r\nA\r\n");
        EXPECT_FALSE(fs::exists("Locked.tmp"));
        EXPECT_FALSE(fs::exists("temp.dat"));
    }
    writeBytes("Locked.dat", "only\r\n");
    rewriteWithout("Locked.dat", "temp.dat", {"only"}, Replace::CopyOver);
    EXPECT_TRUE(fs::exists("Locked.dat"));
    EXPECT_EQ(fs::file_size("Locked.dat"), 0u);
}

}  // namespace
}  // namespace varkel::shared
