// Converting the registered documents to a new key: the result, what is left out, that no
// plaintext reaches the network folder, and that a conversion killed at any point is finished
// at the next start without losing or double-converting a document.
#include "Console.h"
#include "Conversion.h"
#include "FolderEncryption.h"
#include "KillPoints.h"
#include "Library.h"
#include "WorkingCopies.h"
#include "LockList.h"
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
using namespace killtest;

const std::string kOldKey = "123456789123456789";
const std::string kNewKey = "987654321987654321";

// Converting three documents: six steps and five library calls each, then three steps and
// the wipe of the removed journal.
constexpr int kSteps = 3 * 6 + 3;
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
        share = mapNetworkDrive("sub folder");
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
    ConversionResult convertAll(bool allowDriveC = true, const ConversionHooks& hooks = {},
                                const PipelineOptions& pipeline = {}) {
        setUpKey(kOldKey);
        ConversionStart start = beginConversion(NetworkPath, kOldKey, kNewKey, allowDriveC);
        EXPECT_TRUE(start.journal) << "refused";
        return start.journal ? runConversion(std::move(*start.journal), hooks, pipeline) : ConversionResult{};
    }
    void expectUnder(const std::string& key, const std::string& document) {
        EXPECT_EQ(decryptedUnder(key, document), plains.at(document)) << document;
    }
    // Nothing of the conversion is left: journal, plain copy, scratch files, its locks.
    void expectNoRemains(bool locksMayRemain = false) {
        for (const char* name : {kJournalFile, "Convert.tmp", kPlainCopy, kCipherCopy})
            EXPECT_FALSE(fs::exists(work() / name)) << name;
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

TEST_F(ConversionTest, ADocumentAUserHoldsStopsTheConversionBeforeAnythingChanges) {
    addStandardDocuments();
    const std::string userLock = "n:\\SUB FOLDER\\B REPORT.XLS";  // the lock list ignores case
    shared::writeLines("N:\\Locked.dat", {userLock});
    const std::string before = readBytes(share / "a.doc");
    const ConversionSurvey survey = surveyConversion(NetworkPath, true);
    EXPECT_EQ(survey.locked, std::vector<std::string>{b});
    EXPECT_EQ(lockedDocumentsMessage(survey.locked),
              "A document in Current Files is in use, so the files cannot be converted to a new key now.  Please have "
              "it closed, or unlock it under Locked Files, and try again:\n" + b);

    // Locked after the check, while the conversion takes its own locks: still nothing changes.
    setUpKey(kOldKey);
    const ConversionStart start = beginConversion(NetworkPath, kOldKey, kNewKey, true);
    EXPECT_FALSE(start.journal);
    EXPECT_EQ(start.locked, std::vector<std::string>{b});
    EXPECT_EQ(shared::readLines("N:\\Locked.dat"), std::vector<std::string>{userLock});  // only the user's
    EXPECT_EQ(readBytes(share / "a.doc"), before);
    EXPECT_EQ(readBytes(share / "key.dat"), kOldKey + "\r\n");
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), registered);
    EXPECT_FALSE(fs::exists(work() / kJournalFile));

    shared::unlockDocument(NetworkPath, userLock);
    EXPECT_TRUE(surveyConversion(NetworkPath, true).locked.empty());
    EXPECT_EQ(convertAll().converted, 3);
    for (const auto& document : registered) expectUnder(kNewKey, document);
}

TEST_F(ConversionTest, TheSurveyCountsEntriesOutsideTheNetworkFolder) {
    fs::create_directories(root() / "local");
    addStandardDocuments();
    const std::string local = addDocument(root() / "local" / "mine.doc", randomBytes(100, 9));
    shared::writeLines("N:\\Files.dat", {a, local, "Q:\\elsewhere.doc", b, "c:\\other.doc"});
    const struct {
        bool allowDriveC;
        size_t entries, outside;
        const char* question;
    } cases[] = {
        {true, 5, 3,
         "5 files in Current Files will be converted to the new key.  3 of them lie outside the network folder N:\\."
         "  Are you sure you want to do this?"},
        {false, 3, 1,
         "3 files in Current Files will be converted to the new key.  1 of them lies outside the network folder N:\\."
         "  Are you sure you want to do this?"},
    };
    for (const auto& c : cases) {
        const ConversionSurvey survey = surveyConversion(NetworkPath, c.allowDriveC);
        EXPECT_EQ(survey.entries, c.entries);
        EXPECT_EQ(survey.outside, c.outside);
        EXPECT_EQ(conversionQuestion(survey, NetworkPath), c.question);
    }
    shared::writeLines("N:\\Files.dat", {a});
    EXPECT_EQ(conversionQuestion(surveyConversion(NetworkPath, true), NetworkPath),
              "1 file in Current Files will be converted to the new key.  Are you sure you want to do this?");
}

TEST_F(ConversionTest, AnEntryThatCannotBeReachedIsSkippedAndNamed) {
    addStandardDocuments();
    const std::string upward = "N:\\..\\gone\\outside.doc", unmapped = "Q:\\Docs\\x.doc";
    const std::string folder = platform::windowsPath(share / "sub folder");  // a folder, not a document
    shared::writeLines("N:\\Files.dat", {a, upward, b, unmapped, folder, c});
    const ConversionResult result = convertAll();
    EXPECT_EQ(result.converted, 3);
    for (const auto& document : registered) expectUnder(kNewKey, document);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), registered);
    EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");
    EXPECT_EQ(result.unreachable, (std::vector<std::string>{upward, unmapped, folder}));
    EXPECT_EQ(conversionMessage(result),
              " 3 files were converted.\n\n3 entries of Current Files could not be reached or converted and were left out of the "
              "list; any document there is still under the old key:\n" + upward + "\n" + unmapped + "\n" + folder);
    expectNoRemains();
}

// The real library, but its second decryption or encryption fails, as one of a folder the
// console may not read would.
class RefusingLibrary : public Library {
public:
    explicit RefusingLibrary(bool onDecrypt) : onDecrypt_(onDecrypt) {}
    int32_t VrkBinaryFileDec(std::string& cmd) override {
        if (onDecrypt_ && ++calls_ == 2) return platform::kPermissionDenied;
        return Library::VrkBinaryFileDec(cmd);
    }
    int32_t VrkBinaryFileEnc(std::string& cmd) override {
        if (!onDecrypt_ && ++calls_ == 2) return platform::kPermissionDenied;
        return Library::VrkBinaryFileEnc(cmd);
    }

private:
    bool onDecrypt_;
    int calls_ = 0;
};

// The second document (b) cannot be converted: by the library, decrypting or encrypting, or
// because its copy cannot be written beside it (a folder has the copy's name).
TEST_F(ConversionTest, ADocumentThatCannotBeConvertedStaysUnderTheOldKeyAndIsNamed) {
    for (const char* failing : {"decrypting", "encrypting", "writing"}) {
        SCOPED_TRACE(failing);
        addStandardDocuments();
        writeBytes(share / "key.dat", kOldKey + "\r\n");
        const fs::path blocked = share / "sub folder" / ("b report.xls" + std::string(kScratchSuffix));
        RefusingLibrary refusing(failing == std::string("decrypting"));
        if (failing == std::string("writing"))
            fs::create_directory(blocked);
        else
            Library::install(&refusing);
        const ConversionResult result = convertAll();
        Library::install(nullptr);
        fs::remove(blocked);
        EXPECT_EQ(result.converted, 2);
        EXPECT_EQ(result.unreachable, std::vector<std::string>{b});
        expectUnder(kNewKey, a);
        expectUnder(kOldKey, b);
        expectUnder(kNewKey, c);
        EXPECT_EQ(shared::readLines("N:\\Files.dat"), (std::vector<std::string>{a, c}));
        EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");
        expectNoRemains();
    }
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

// Runs the whole conversion in a child process that dies at `point`; true when it died.
bool convertInDyingChild(const KillPoint& point) {
    setUpKey(kOldKey);
    return runInDyingChild(point, [&point](std::function<void()> step) {
        ConversionHooks hooks;
        hooks.afterStep = [&](std::string_view) { step(); };
        runConversion(*beginConversion(NetworkPath, kOldKey, kNewKey, true).journal, hooks, {.workers = point.workers});
    });
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

INSTANTIATE_TEST_SUITE_P(EveryPoint, KilledConversionTest, ::testing::ValuesIn(everyKillPoint(kSteps, kLibraryCalls)),
                         [](const ::testing::TestParamInfo<KillPoint>& info) { return killPointName(info.param); });

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
        runConversion(*findInterruptedConversion(), hooks, {.workers = 0});
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
    ASSERT_TRUE(convertInDyingChild({.step = 5}));  // the first document is marked converted
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
