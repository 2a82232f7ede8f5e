// The file logic of transfer and restore, without windows.
#include "Console.h"
#include "SystemTransfer.h"
#include "TestSupport.h"

#include <set>

namespace varkel::admin {
namespace {

using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

TEST(TransferFolderCheck, DrivesBeforeCAndSharePathsAreRefusedOthersGetOneFinalBackslash) {
    using Verdict = TransferFolder::Verdict;
    struct Case {
        std::string picked;
        Verdict verdict;
        std::string folder;
    };
    const Case cases[] = {
        {"", Verdict::Cancelled, ""},
        {"C:\\", Verdict::Accepted, "C:\\"},
        {"c:\\Backup", Verdict::Accepted, "c:\\Backup\\"},
        {"D:\\Out", Verdict::Accepted, "D:\\Out\\"},
        {"z:\\Keys\\", Verdict::Accepted, "z:\\Keys\\"},
        {"b:\\", Verdict::Refused, ""},
        {"B:\\Keys", Verdict::Refused, ""},
        {"a:", Verdict::Refused, ""},
        {"A:\\", Verdict::Refused, ""},
        {"\\\\server\\share", Verdict::Refused, ""},
        {"\\\\server\\share\\Keys", Verdict::Refused, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picked);
        const TransferFolder check = checkTransferFolder(c.picked);
        EXPECT_EQ(check.verdict, c.verdict);
        EXPECT_EQ(check.folder, c.folder);
    }
}

class SystemTransferFiles : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share = root() / "share";
        out = root() / "d" / "Out";
        fs::create_directories(share);
        fs::create_directories(out);
        mapDrives("N: " + share.string() + "\nD: " + (root() / "d").string() + "\n");
        resetConsoleVariables();
        NetworkPath = "N:\\";
    }
    static std::set<std::string> names(const fs::path& folder) {
        std::set<std::string> all;
        for (const auto& entry : fs::directory_iterator(folder)) all.insert(entry.path().filename().string());
        return all;
    }

    fs::path share;
    fs::path out;
};

TEST_F(SystemTransferFiles, AnOverwriteCoversTheWholeOldLengthInPlace) {
    const std::string list = overwritePattern(100, 74);
    ASSERT_EQ(list.size(), 7600u);
    EXPECT_EQ(list.substr(0, 76), std::string(74, '@') + "\r\n");
    EXPECT_EQ(overwritePattern(1, 39), std::string(39, '@') + "\r\n");
    // Old length, and how many whole patterns the file holds afterwards.
    const std::pair<size_t, int> cases[] = {{0, 1}, {14, 1}, {7600, 1}, {7601, 2}, {15200, 2}, {15201, 3}};
    for (const auto& [length, patterns] : cases) {
        SCOPED_TRACE(length);
        writeBytes(share / "Files.dat", std::string(length, 'x'));
        fs::create_hard_link(share / "Files.dat", root() / "second-name");
        overwriteInPlace("N:\\Files.dat", list);
        std::string expected;
        for (int i = 0; i < patterns; ++i) expected += list;
        EXPECT_EQ(readBytes(root() / "second-name"), expected);
        fs::remove(root() / "second-name");
    }
}

TEST_F(SystemTransferFiles, ContentIsComparedByteForByteAcrossReadChunks) {
    const std::string bytes = test::randomBytes(200000, 7);
    std::string lastDiffers = bytes;
    lastDiffers.back() = static_cast<char>(lastDiffers.back() ^ 1);
    const std::pair<std::string, bool> cases[] = {
        {bytes, true}, {lastDiffers, false}, {bytes.substr(0, bytes.size() - 1), false}, {bytes + "x", false}};
    writeBytes(work() / "a", bytes);
    for (const auto& [other, same] : cases) {
        SCOPED_TRACE(other.size());
        writeBytes(work() / "b", other);
        EXPECT_EQ(sameContent("a", "b"), same);
    }
    writeBytes(work() / "a", "");
    writeBytes(work() / "b", "");
    EXPECT_TRUE(sameContent("a", "b"));
}

TEST_F(SystemTransferFiles, AnOldSecondNameOfTheKeyInTheFolderDoesNotCostTheKey) {
    // The folder holds a hard link to the key in service, left by some earlier copying: writing
    // the copy through that name would empty the original it copies from.
    writeBytes(share / "key.dat", "271828182845\r\n");
    fs::create_hard_link(share / "key.dat", out / "key.dat");
    const TransferOutcome outcome = transferSystemFiles("D:\\Out");
    EXPECT_EQ(outcome.next, TransferOutcome::Next::EndConsole);
    EXPECT_EQ(readBytes(out / "key.dat"), "271828182845\r\n");
    EXPECT_FALSE(fs::exists(share / "key.dat"));
}

TEST_F(SystemTransferFiles, ARestoreThatStopsPartWayNamesWhatIsBackAndReloads) {
    for (const char* name : {"key.dat", "Files.dat", "apps.dat", "keys.dat"})
        writeBytes(out / name, std::string(name) + "\r\n");
    fs::create_directories(share / "apps.dat");  // cannot be replaced by a file
    const TransferOutcome outcome = restoreSystemFiles("D:\\Out");
    EXPECT_EQ(outcome.messages, std::vector<std::string>{"The System Files could not all be restored from D:\\Out\\ "
                                                         "(apps.dat: Path/File access error).  Restored: key.dat, "
                                                         "Files.dat."});
    EXPECT_EQ(outcome.next, TransferOutcome::Next::Reload);
    EXPECT_EQ(readBytes(share / "key.dat"), "key.dat\r\n");
    EXPECT_EQ(readBytes(share / "Files.dat"), "Files.dat\r\n");
    EXPECT_EQ(names(share), (std::set<std::string>{"key.dat", "Files.dat", "apps.dat"}));  // no scratch file
    EXPECT_EQ(names(work()), std::set<std::string>{});
}

}  // namespace
}  // namespace varkel::admin
