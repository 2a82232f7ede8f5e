#include "File.h"
#include "TestSupport.h"
#include "VbError.h"
#include "WinPath.h"

namespace varkel::platform {
namespace {

namespace fs = std::filesystem;

class WinPath : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share_ = root() / "share";
        fs::create_directories(share_ / "Docs");
        fs::create_directories(root() / "public");
        mapDrives("N: " + share_.string() + "\n\\\\server\\Public " + (root() / "public").string() + "\n");
    }
    fs::path share_;
};

TEST_F(WinPath, DrivesAndSharesMapOntoHostFolders) {
    EXPECT_EQ(hostPath("N:\\Docs\\a.doc"), share_ / "Docs" / "a.doc");
    EXPECT_EQ(hostPath("n:/Docs/a.doc"), share_ / "Docs" / "a.doc");
    EXPECT_EQ(hostPath("\\\\SERVER\\public\\a.doc"), root() / "public" / "a.doc");
    EXPECT_EQ(windowsPath(root() / "public" / "a.doc"), "\\\\server\\Public\\a.doc");
    EXPECT_EQ(hostPath("C:\\"), fs::path("/"));
    EXPECT_EQ(hostPath("a.doc"), work() / "a.doc");
    EXPECT_EQ(hostPath("sub\\..\\a.doc"), work() / "a.doc");
    EXPECT_EQ(hostPath("N:\\..\\..\\x"), share_ / "x");  // never above the drive's folder
    try {
        hostPath("Q:\\x");
        ADD_FAILURE();
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), 76);
    }
}

TEST_F(WinPath, ExistingNamesMatchWithoutRegardToCase) {
    test::writeBytes(share_ / "Docs" / "Report.DOC", "x");
    EXPECT_EQ(hostPath("n:\\DOCS\\report.doc"), share_ / "Docs" / "Report.DOC");
    EXPECT_EQ(hostPath("N:\\docs\\New File.txt"), share_ / "Docs" / "New File.txt");  // new name keeps its spelling
    EXPECT_TRUE(fileExists("N:\\DOCS\\REPORT.doc"));
}

TEST_F(WinPath, HostPathsReadBackAsWindowsPaths) {
    EXPECT_EQ(windowsPath(share_ / "Docs" / "a.doc"), "N:\\Docs\\a.doc");
    EXPECT_EQ(windowsPath(share_), "N:\\");
    EXPECT_EQ(windowsPath("/usr/share"), "C:\\usr\\share");
    EXPECT_EQ(windowsPath("/"), "C:\\");
    EXPECT_EQ(currentFolder(), windowsPath(work()));
}

TEST_F(WinPath, RootedPathsUseTheCurrentFoldersDrive) {
    fs::current_path(share_ / "Docs");
    EXPECT_EQ(hostPath("\\Docs\\x"), share_ / "Docs" / "x");
}

TEST(PathText, BareNameAndJoin) {
    EXPECT_EQ(bareName("Z:\\Docs\\report.doc"), "report.doc");
    EXPECT_EQ(bareName("report.doc"), "report.doc");
    EXPECT_EQ(bareName("Z:\\Docs\\"), "");
    EXPECT_EQ(joinPath("C:\\", "a.doc"), "C:\\a.doc");
    EXPECT_EQ(joinPath("Z:\\Docs", "memo.txt"), "Z:\\Docs\\memo.txt");
    EXPECT_EQ(joinPath("Z:\\Docs", ""), "Z:\\Docs\\");
}

}  // namespace
}  // namespace varkel::platform
