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

// A mapping to a relative folder would name another place in every current folder.
TEST_F(WinPath, MappingsToRelativeFoldersAreIgnored) {
    mapDrives("N: share\nM: " + share_.string() + "\n\\\\server\\x ./x\n");
    EXPECT_EQ(test::errorOf([] { hostPath("N:\\a.doc"); }), 76);
    EXPECT_EQ(test::errorOf([] { hostPath("\\\\server\\x\\a.doc"); }), 76);
    EXPECT_EQ(hostPath("M:\\a.doc"), share_ / "a.doc");
}

TEST_F(WinPath, ExistingNamesMatchWithoutRegardToCase) {
    test::writeBytes(share_ / "Docs" / "Report.DOC", "x");
    EXPECT_EQ(hostPath("n:\\DOCS\\report.doc"), share_ / "Docs" / "Report.DOC");
    EXPECT_EQ(hostPath("N:\\docs\\New File.txt"), share_ / "Docs" / "New File.txt");  // new name keeps its spelling
    EXPECT_TRUE(fileExists("N:\\DOCS\\REPORT.doc"));
    fs::create_directories(share_ / "Docs" / "Sub");
    test::writeBytes(share_ / "Docs" / "Sub" / "Deep.txt", "x");
    EXPECT_EQ(hostPath("n:\\docs\\SUB\\deep.TXT"), share_ / "Docs" / "Sub" / "Deep.txt");
    EXPECT_EQ(hostPath("n:\\docs\\SUB\\new.txt"), share_ / "Docs" / "Sub" / "new.txt");
    EXPECT_EQ(hostPath("N:\\Docs\\Sub\\..\\..\\docs\\report.doc"), share_ / "Docs" / "Report.DOC");
}

// A scratch file is named after the file it is written beside, as found on disk: its name is
// used as spelt, never matched to a name in another letter case (which would mean listing the
// whole folder for every document of a large one on a network share).
TEST_F(WinPath, ScratchNamesAreUsedAsSpelt) {
    test::writeBytes(share_ / "Docs" / "Report.DOC", "x");
    test::writeBytes(share_ / "Docs" / "REPORT.DOC.vrk-scratch", "someone else's");
    EXPECT_EQ(hostPath("n:\\docs\\Report.DOC.vrk-scratch"), share_ / "Docs" / "Report.DOC.vrk-scratch");
    EXPECT_EQ(hostPath("N:\\Docs\\REPORT.DOC.vrk-scratch"), share_ / "Docs" / "REPORT.DOC.vrk-scratch");
    EXPECT_EQ(hostPath("N:\\Docs\\report.doc.VRK-SCRATCH"), share_ / "Docs" / "REPORT.DOC.vrk-scratch");
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

// Every spelling of one file in the network folder gives one name, with the case on disk.
TEST_F(WinPath, EverySpellingOfAFileGivesOneCanonicalName) {
    test::writeBytes(share_ / "Docs" / "s.txt", "x");
    fs::create_directories(share_ / "Links");
    fs::create_symlink(share_ / "Docs" / "s.txt", share_ / "Links" / "link.txt");
    fs::create_symlink(share_ / "Docs", root() / "outside-link");
    const std::string onHost = "C:" + share_.string() + "/Docs/s.txt";  // drive C: reaches the share too
    for (const std::string& spelling : std::vector<std::string>{"N:\\Docs\\s.txt", "n:\\docs\\S.TXT", "n:/DOCS/./x/../s.TXT", onHost, "N:\\Links\\link.txt",
          windowsPath(root() / "outside-link" / "s.txt")}) {
        const CanonicalPath c = canonicalPath(spelling, "N:\\");
        EXPECT_EQ(c.path, "N:\\Docs\\s.txt") << spelling;
        EXPECT_TRUE(c.inside) << spelling;
    }
    // A new file keeps the name given, under its folder's name on disk.
    EXPECT_EQ(canonicalPath("n:\\DOCS\\New.txt", "N:\\").path, "N:\\Docs\\New.txt");
    // A network folder below a drive root keeps its own spelling as the prefix.
    EXPECT_EQ(canonicalPath("n:\\docs\\s.txt", "N:\\Docs\\").path, "N:\\Docs\\s.txt");
    test::writeBytes(root() / "public" / "p.txt", "x");
    for (const char* folder : {"N:\\", "N:\\Docs"}) {
        const CanonicalPath outside = canonicalPath("\\\\server\\public\\P.TXT", folder);
        EXPECT_EQ(outside.path, "\\\\server\\Public\\p.txt");
        EXPECT_FALSE(outside.inside);
    }
    EXPECT_FALSE(canonicalPath("N:\\", "N:\\").inside);  // the folder itself is no file in it
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
