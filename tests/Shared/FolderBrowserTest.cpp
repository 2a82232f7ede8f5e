#include "FolderBrowser.h"
#include "TestSupport.h"

#include <algorithm>

namespace varkel::shared {
namespace {

using test::writeBytes;
namespace fs = std::filesystem;

class Browser : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share_ = root() / "share";
        fs::create_directories(share_ / "Docs" / "Old");
        mapDrives("N: " + share_.string() + "\n");
    }
    fs::path share_;
};

TEST_F(Browser, BrowserShowsMappedDrivesAndFoldersUnderWindowsNames) {
    writeBytes(share_ / "r.doc", "x");
    writeBytes(share_ / "Docs" / "s.doc", "x");
    const auto drives = FolderBrowser::drives();
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:"), drives.end());
    EXPECT_NE(std::find(drives.begin(), drives.end(), "N:"), drives.end());

    FolderBrowser browser;
    EXPECT_EQ(browser.folder(), "C:\\");
    EXPECT_FALSE(browser.setDrive("Q:"));  // unmapped: ignored
    EXPECT_EQ(browser.folder(), "C:\\");
    ASSERT_TRUE(browser.setDrive("N:"));
    EXPECT_EQ(browser.folder(), "N:\\");
    EXPECT_TRUE(browser.atRoot());
    EXPECT_EQ(browser.subfolders(), (std::vector<std::string>{"Docs"}));
    EXPECT_EQ(browser.filePath("r.doc"), "N:\\r.doc");
    ASSERT_TRUE(browser.open("Docs"));
    EXPECT_EQ(browser.folder(), "N:\\Docs");
    EXPECT_EQ(browser.files(), (std::vector<std::string>{"s.doc"}));
    EXPECT_EQ(browser.filePath("s.doc"), "N:\\Docs\\s.doc");
    EXPECT_FALSE(browser.open("Missing"));
    ASSERT_TRUE(browser.open(".."));
    EXPECT_EQ(browser.folder(), "N:\\");
    EXPECT_FALSE(browser.open(".."));
}

// The launcher's folder list: any folder at once, and the chain of folders above it.
TEST_F(Browser, AnyFolderCanBeShownWithTheFoldersAboveIt) {
    FolderBrowser browser;
    ASSERT_TRUE(browser.setFolder("n:\\Docs\\Old"));
    EXPECT_EQ(browser.drive(), "N:");
    EXPECT_EQ(browser.folder(), "N:\\Docs\\Old");
    const std::vector<FolderBrowser::Level> levels = browser.levels();
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0].name, "N:\\");
    EXPECT_EQ(levels[0].path, "N:\\");
    EXPECT_EQ(levels[1].name, "Docs");
    EXPECT_EQ(levels[1].path, "N:\\Docs");
    EXPECT_EQ(levels[2].path, "N:\\Docs\\Old");
    EXPECT_TRUE(browser.subfolders().empty());
    EXPECT_FALSE(browser.setFolder("N:\\Missing"));
    EXPECT_FALSE(browser.setFolder("Q:\\"));
    EXPECT_EQ(browser.folder(), "N:\\Docs\\Old");  // a folder that cannot be read changes nothing
    ASSERT_TRUE(browser.setFolder("N:\\Docs\\Old\\..\\.\\"));
    EXPECT_EQ(browser.folder(), "N:\\Docs");
    ASSERT_TRUE(browser.setFolder("C:\\"));
    EXPECT_TRUE(browser.atRoot());
    EXPECT_EQ(browser.levels().size(), 1u);
}

}  // namespace
}  // namespace varkel::shared
