// Converting the registered documents to a new key: the result, what is left out, that no
// plaintext reaches the network folder, and that a conversion killed at any point is finished
// at the next start without losing or double-converting a document.
#include "Console.h"
#include "Conversion.h"
#include "FolderEncryption.h"
#include "Library.h"
#include "SystemFiles.h"
#include "TestSupport.h"
#include "WinPath.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

namespace varkel::admin {
namespace {

namespace fs = std::filesystem;
using test::randomBytes;
using test::readBytes;
using test::writeBytes;

const std::string kOldKey = "123456789123456789";
const std::string kNewKey = "987654321987654321";

// Converting three documents: five steps and five library calls each, then three steps and
// the wipe of the removed journal.
constexpr int kSteps = 3 * 5 + 3;
constexpr int kLibraryCalls = 3 * 5 + 1;

void setUpKey(const std::string& key) {
    SdkArg = key;
    genBinaryKeys(SdkArg);
}

// The plain bytes of an encrypted file under `key`, through a scratch file in the working folder.
std::string decryptedUnder(const std::string& key, const std::string& document) {
    setUpKey(key);
    SdkArg = commandName(document) + " check.tmp";
    binaryFileDec(SdkArg);
    const std::string plain = readBytes("check.tmp");
    fs::remove("check.tmp");
    return plain;
}

class ConversionTest : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share = root() / "share";
        fs::create_directories(share / "sub folder");
        mapDrives("N: " + share.string() + "\n");
        resetConsoleVariables();
        NetworkPath = "N:\\";
        writeBytes(share / "key.dat", kOldKey + "\r\n");
    }
    void TearDown() override {
        std::string none;
        Library().VrkShutDown(none);
        ScratchFolder::TearDown();
    }

    // A document encrypted under the old key; returns its name as the lists hold it.
    std::string addDocument(const fs::path& host, const std::string& plain) {
        writeBytes(host, plain);
        const std::string name = platform::windowsPath(host);
        setUpKey(kOldKey);
        SdkArg = commandName(name);
        binaryFileEnc(SdkArg);
        plains[name] = plain;
        return name;
    }
    void addStandardDocuments() {
        a = addDocument(share / "a.doc", randomBytes(3500, 1));
        b = addDocument(share / "sub folder" / "b report.xls", randomBytes(1, 2));
        c = addDocument(share / "c.txt", randomBytes(70000, 3));
        registered = {a, b, c};
        shared::writeLines("N:\\Files.dat", registered);
    }
    ConversionResult convertAll(bool allowDriveC = true, const ConversionHooks& hooks = {}) {
        setUpKey(kOldKey);
        return runConversion(beginConversion(NetworkPath, kOldKey, kNewKey, allowDriveC), hooks);
    }
    void expectUnder(const std::string& key, const std::string& document) {
        EXPECT_EQ(decryptedUnder(key, document), plains.at(document)) << document;
    }
    // Nothing of the conversion is left: journal, plain copy, scratch files, its locks.
    void expectNoRemains(bool locksMayRemain = false) {
        for (const char* name : {kJournalFile, "Convert.tmp", kPlainCopy}) EXPECT_FALSE(fs::exists(work() / name)) << name;
        for (const auto& entry : fs::recursive_directory_iterator(share))
            EXPECT_EQ(entry.path().string().find(kScratchSuffix), std::string::npos) << entry.path();
        if (locksMayRemain || !fs::exists(share / "Locked.dat")) return;
        for (const auto& line : shared::readLines("N:\\Locked.dat"))
            EXPECT_EQ(plains.count(line), 0u) << "lock left on " << line;
    }

    fs::path share;
    std::map<std::string, std::string> plains;
    std::string a, b, c;
    std::vector<std::string> registered;
};

TEST_F(ConversionTest, EveryDocumentEndsUnderTheNewKeyWhichBecomesCurrent) {
    addStandardDocuments();
    const ConversionResult result = convertAll();
    EXPECT_EQ(result.converted, 3);
    for (const auto& document : registered) expectUnder(kNewKey, document);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), registered);
    EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");
    EXPECT_EQ(conversionMessage(result), " 3 files were converted.");
    expectNoRemains();
}

TEST_F(ConversionTest, MissingAndEmptyDocumentsLeaveTheListAndNoFileOfTheirNameIsLeft) {
    addStandardDocuments();
    writeBytes(share / "empty.doc", "");
    shared::writeLines("N:\\Files.dat", {a, "N:\\gone.doc", b, "N:\\empty.doc", c});
    EXPECT_EQ(convertAll().converted, 3);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), registered);
    EXPECT_FALSE(fs::exists(share / "gone.doc"));
    EXPECT_FALSE(fs::exists(share / "empty.doc"));
    expectNoRemains();
}

TEST_F(ConversionTest, DocumentsOnDriveCAreConvertedOnlyWhenAllowed) {
    for (const bool allow : {false, true}) {
        SCOPED_TRACE(allow ? "allowed" : "not allowed");
        fs::create_directories(root() / "local");
        const std::string local = addDocument(root() / "local" / "mine.doc", randomBytes(2500, 4));
        ASSERT_EQ(local.substr(0, 2), "C:");
        const std::string onNetwork = addDocument(share / "net.doc", randomBytes(1200, 5));
        shared::writeLines("N:\\Files.dat", {local, onNetwork});
        writeBytes(share / "key.dat", kOldKey + "\r\n");

        EXPECT_EQ(convertAll(allow).converted, allow ? 2 : 1);
        expectUnder(allow ? kNewKey : kOldKey, local);
        expectUnder(kNewKey, onNetwork);
        const std::vector<std::string> expected =
            allow ? std::vector<std::string>{local, onNetwork} : std::vector<std::string>{onNetwork};
        EXPECT_EQ(shared::readLines("N:\\Files.dat"), expected);
    }
}

TEST_F(ConversionTest, ADocumentAUserHoldsIsLeftOutNamedAndKeepsItsLock) {
    addStandardDocuments();
    const std::string userLock = "n:\\SUB FOLDER\\B REPORT.XLS";  // the lock list ignores case
    shared::writeLines("N:\\Locked.dat", {userLock});
    const ConversionResult result = convertAll();
    EXPECT_EQ(result.converted, 2);
    EXPECT_EQ(result.inUse, std::vector<std::string>{b});
    expectUnder(kNewKey, a);
    expectUnder(kOldKey, b);
    expectUnder(kNewKey, c);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), (std::vector<std::string>{a, c}));
    EXPECT_EQ(shared::readLines("N:\\Locked.dat"), std::vector<std::string>{userLock});
    EXPECT_EQ(conversionMessage(result),
              " 2 files were converted.\n\n1 file was in use and left out.  It is still encrypted under the old key "
              "and no longer listed in Current Files:\n" + b);
}

TEST_F(ConversionTest, ADocumentListedTwiceIsConvertedOnce) {
    addStandardDocuments();
    const std::string again = "N:\\A.DOC";
    shared::writeLines("N:\\Files.dat", {a, b, again, c});
    EXPECT_EQ(convertAll().converted, 3);
    expectUnder(kNewKey, a);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), (std::vector<std::string>{a, b, again, c}));
}

TEST_F(ConversionTest, NoEntrySurvivingStillMakesTheNewKeyCurrent) {
    shared::writeLines("N:\\Files.dat", {"N:\\gone.doc"});
    EXPECT_EQ(convertAll().converted, 0);
    EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");
    EXPECT_EQ(readBytes(share / "Files.dat"), "");
    expectNoRemains();
}

// At every step the network folder holds only ciphertext, each document is locked, and the
// plain copy and the journal in the working folder are readable by their owner only.
TEST_F(ConversionTest, NoPlaintextReachesTheNetworkFolderAndDocumentsStayLocked) {
    addStandardDocuments();
    int steps = 0;
    ConversionHooks hooks;
    hooks.afterStep = [&](std::string_view step) {
        ++steps;
        for (const auto& entry : fs::recursive_directory_iterator(share)) {
            if (!entry.is_regular_file()) continue;
            const std::string bytes = readBytes(entry.path());
            for (const auto& [name, plain] : plains) EXPECT_NE(bytes, plain) << step << ": " << entry.path();
        }
        if (step != "journal removed" && step != "key written" && step != "list written") {
            for (const auto& document : registered)
                EXPECT_TRUE(shared::containsLine("N:\\Locked.dat", document, shared::Case::Exact)) << step;
        }
        for (const char* secret : {kPlainCopy, kJournalFile}) {  // plaintext, keys
            if (!fs::exists(secret)) continue;
            EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write)
                << secret;
        }
    };
    convertAll(true, hooks);
    EXPECT_EQ(steps, kSteps);
}

// ---- Killed at any moment -------------------------------------------------------------

// In the child: the real library, but the process dies in call number `killAt`, leaving the
// call's output (or the file it wipes) half written.
class DyingLibrary : public Library {
public:
    explicit DyingLibrary(int killAt) : killAt_(killAt) {}
    int32_t VrkGenBinaryKeys(std::string& keystr) override { return call(keystr, &Library::VrkGenBinaryKeys); }
    int32_t VrkBinaryFileEnc(std::string& cmd) override { return call(cmd, &Library::VrkBinaryFileEnc); }
    int32_t VrkBinaryFileDec(std::string& cmd) override { return call(cmd, &Library::VrkBinaryFileDec); }
    int32_t VrkKillFile(std::string& cmd) override { return call(cmd, &Library::VrkKillFile, true); }

private:
    int32_t call(std::string& arg, int32_t (Library::*real)(std::string&), bool wipes = false) {
        if (++calls_ != killAt_) return (Library().*real)(arg);
        const std::string target = wipes ? arg : outputOf(arg);
        if (!wipes) (Library().*real)(arg);
        if (!target.empty() && fs::exists(platform::hostPath(target))) {
            const fs::path host = platform::hostPath(target);
            const auto size = fs::file_size(host);
            if (wipes) {
                std::string bytes = readBytes(host);
                std::fill(bytes.begin(), bytes.begin() + static_cast<long>(size / 2), ' ');
                writeBytes(host, bytes);
            } else {
                fs::resize_file(host, size / 2);
            }
        }
        ::raise(SIGKILL);
        return 0;
    }
    // The second name of a file command ("in out" or "in \"out with blanks\"").
    static std::string outputOf(const std::string& cmd) {
        if (!cmd.empty() && cmd.back() == '"') {
            const size_t open = cmd.rfind('"', cmd.size() - 2);
            return cmd.substr(open + 1, cmd.size() - open - 2);
        }
        const size_t blank = cmd.rfind(' ');
        return blank == std::string::npos ? std::string() : cmd.substr(blank + 1);
    }
    int calls_ = 0;
    int killAt_;
};

struct KillPoint {
    int step = 0;         // die right after this step (1 = the first), or
    int libraryCall = 0;  // die inside this library call
};

void PrintTo(const KillPoint& point, std::ostream* out) {
    *out << (point.step > 0 ? "after step " : "in library call ") << (point.step > 0 ? point.step : point.libraryCall);
}

// Runs the whole conversion in a child process that dies at `point`; true when it died.
bool convertInDyingChild(const KillPoint& point) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        setUpKey(kOldKey);
        DyingLibrary dying(point.libraryCall);
        Library::install(&dying);
        int steps = 0;
        ConversionHooks hooks;
        hooks.afterStep = [&](std::string_view) {
            if (++steps == point.step) ::raise(SIGKILL);
        };
        runConversion(beginConversion(NetworkPath, kOldKey, kNewKey, true), hooks);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// What the console does at its next start.
void startConsoleAgain() {
    if (auto journal = findInterruptedConversion()) runConversion(std::move(*journal));
}

class KilledConversionTest : public ConversionTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(KilledConversionTest, TheNextStartFinishesWithoutLosingADocument) {
    const KillPoint point = GetParam();
    addStandardDocuments();
    ASSERT_TRUE(convertInDyingChild(point));
    startConsoleAgain();

    for (const auto& document : registered) expectUnder(kNewKey, document);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), registered);
    EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");
    // Killed after the journal went but before the locks were released, the locks stay:
    // releasing them twice could release a user's.
    expectNoRemains(point.step == kSteps || point.libraryCall == kLibraryCalls);
}

std::vector<KillPoint> everyKillPoint() {
    std::vector<KillPoint> points;
    for (int step = 1; step <= kSteps; ++step) points.push_back({.step = step});
    for (int call = 1; call <= kLibraryCalls; ++call) points.push_back({.libraryCall = call});
    return points;
}

INSTANTIATE_TEST_SUITE_P(EveryPoint, KilledConversionTest, ::testing::ValuesIn(everyKillPoint()),
                         [](const ::testing::TestParamInfo<KillPoint>& info) {
                             return info.param.step > 0 ? "AfterStep" + std::to_string(info.param.step)
                                                        : "InLibraryCall" + std::to_string(info.param.libraryCall);
                         });

TEST_F(ConversionTest, KilledAgainWhileFinishingTheNextStartStillFinishes) {
    addStandardDocuments();
    ASSERT_TRUE(convertInDyingChild({.step = 7}));  // inside the second document
    const pid_t pid = ::fork();
    if (pid == 0) {
        int steps = 0;
        ConversionHooks hooks;
        hooks.afterStep = [&](std::string_view) {
            if (++steps == 2) ::raise(SIGKILL);
        };
        runConversion(*findInterruptedConversion(), hooks);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    startConsoleAgain();
    for (const auto& document : registered) expectUnder(kNewKey, document);
    expectNoRemains();
}

TEST_F(ConversionTest, AJournalCutShortByACrashCountsOnlyWholeLines) {
    addStandardDocuments();
    ASSERT_TRUE(convertInDyingChild({.step = 4}));  // the first document is marked converted
    auto journal = findInterruptedConversion();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->converted, (std::vector<bool>{true, false, false}));
    // A mark for the second document cut inside its name does not count.
    const std::string partial = "converted 1 " + b.substr(0, b.size() - 3);
    writeBytes(kJournalFile, readBytes(kJournalFile) + partial);
    EXPECT_EQ(findInterruptedConversion()->converted, (std::vector<bool>{true, false, false}));
    startConsoleAgain();
    for (const auto& document : registered) expectUnder(kNewKey, document);
}

}  // namespace
}  // namespace varkel::admin
