// Encrypting a folder: what is planned and what is left out, the encryption itself, and that a
// command killed at any point is finished at the next start with no document lost, left
// plain, registered twice or encrypted twice.
#include "CodePage.h"
#include "Console.h"
#include "FolderEncryption.h"
#include "KillPoints.h"
#include "Library.h"
#include "WorkingCopies.h"
#include "SystemFileNames.h"
#include "SystemFiles.h"
#include "TestSupport.h"
#include "VbError.h"
#include "WinPath.h"

#include <iostream>
#include <map>

namespace varkel::admin {
namespace {

namespace fs = std::filesystem;
using namespace killtest;
using varkel::test::randomBytes;
using varkel::test::readBytes;
using varkel::test::writeBytes;

const std::string kKey = "314159265358979323";

// The system's files as a network folder that is also the folder encrypted holds them.
const std::map<std::string, std::string> kSystemFiles = {
    {"key.dat", kKey + "\r\n"},
    {"apps.dat", "Write:/usr/bin/true\r\n"},
    {"Locked.dat", "N:\\held.doc\r\n"},
    {"TEMP.DAT", "N:\\x.doc\r\n"},  // letter case does not matter
    {"k1.bin", "wheels"},
    {"Vrkdec.dat", "names"},
    {"Convert.jnl", "journal"},
    {"old.doc.vrk-scratch", "half a copy"},
};

TEST(SystemFileNames, AreRecognisedWhateverTheirCaseAndNothingElseIs) {
    for (const char* name : {"key.dat", "KEYS.DAT", "keys.dat", "Files.dat", "Locked.dat", "apps.dat", "temp.dat",
                             "network.dat", "Files.tmp", "Locked.tmp", "Locked.lck", "Convert.jnl", "Encrypt.jnl",
                             "Convert.tmp", "Encrypt.tmp", "files.tmp", "dec.tmp", "tmp.enc", "Vrkdec.dat",
                             "vrktemp.bin", "expand.dat", "conv.enc", "turnabot.dat", "k1.tcr", "k1.trs", "k1.bcr",
                             "k1.brs", "k1.txt", "k1.bin", "k2.txt", "k3.bin", "k4.txt", "k5.bin", "k6.dat",
                             "report.doc.vrk-scratch", "any.JNL"})
        EXPECT_TRUE(shared::isSystemFileName(name)) << name;
    for (const char* name : {"report.doc", "key.dat.doc", "mykey.dat", "k7.bin", "k1.doc", "Files.dat.bak", ".jnl",
                             "jnl", "apps.txt", "vrk-scratch"})
        EXPECT_FALSE(shared::isSystemFileName(name)) << name;
}

TEST(FileCommandName, QuotesOnlyAPathWithABlank) {
    EXPECT_EQ(commandName("N:\\Docs\\a.doc"), "N:\\Docs\\a.doc");
    EXPECT_EQ(commandName("N:\\My Docs\\a.doc"), "\"N:\\My Docs\\a.doc\"");
}

class FolderEncryptionTest : public varkel::test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share = mapNetworkDrive("Sub");
        resetConsoleVariables();
        NetworkPath = "N:\\";
        for (const auto& [name, bytes] : kSystemFiles) writeBytes(share / name, bytes);
    }
    void TearDown() override {
        std::string none;
        Library().VrkShutDown(none);
        ScratchFolder::TearDown();
    }
    // Three plain documents beside the system files, one already registered under another case.
    void addStandardDocuments() {
        for (const auto& [name, plain] : std::map<std::string, std::string>{
                 {"a.doc", randomBytes(3500, 1)}, {"b report.xls", randomBytes(1, 2)}, {"c.txt", randomBytes(70000, 3)}}) {
            writeBytes(share / name, plain);
            plains["N:\\" + name] = plain;
        }
        writeBytes(share / "listed.doc", "registered already");
        writeBytes(share / "Files.dat", "N:\\LISTED.DOC\r\n");
        documents = {"N:\\a.doc", "N:\\b report.xls", "N:\\c.txt"};
    }
    // Registered two at a time, so that a run of three has a full batch and a last one; the
    // steps in their fixed order unless workers are asked for.
    static EncryptionOptions inPairs(size_t workers = 0, bool plainOnDisk = false) {
        return {.registrations = {.documents = 2, .wait = std::chrono::hours(1)},
                .pipeline = {.workers = workers},
                .plainInMemory = !plainOnDisk};
    }
    size_t encryptAll(const EncryptionHooks& hooks = {}, const EncryptionOptions& options = inPairs()) {
        const FolderPlan plan = planFolder("N:\\", NetworkPath, shared::readLines("N:\\Files.dat"));
        return runEncryption(beginEncryption(NetworkPath, kKey, plan.toEncrypt), hooks, options);
    }
    // The bytes a document decrypts to under the key, through a scratch file in the working folder.
    static std::string decrypted(const std::string& bytes) {
        writeBytes("check.in", bytes);
        std::string key = kKey, command = "check.in check.out";
        EXPECT_EQ(Library().VrkGenBinaryKeys(key), 0);
        EXPECT_EQ(Library().VrkBinaryFileDec(command), 0);
        const std::string plain = readBytes("check.out");
        fs::remove("check.in");
        fs::remove("check.out");
        return plain;
    }
    struct Figures {
        int checked = 0, lost = 0, doubled = 0, plain = 0;
    };
    // Each document once under the key: not left plain, not encrypted twice, not lost.
    Figures checkDocuments() {
        Figures figures;
        for (const auto& [document, plain] : plains) {
            ++figures.checked;
            const std::string bytes = readBytes(platform::hostPath(document));
            EXPECT_EQ(bytes.size(), plain.size()) << document;  // the format keeps the length
            if (bytes == plain) {
                ++figures.plain;
                continue;
            }
            const std::string once = decrypted(bytes);
            if (once == plain) continue;
            ++(decrypted(once) == plain ? figures.doubled : figures.lost);
            ADD_FAILURE() << document << (decrypted(once) == plain ? " encrypted twice" : " lost");
        }
        return figures;
    }
    void expectEachRegisteredOnce() {
        const auto lines = shared::readLines("N:\\Files.dat");
        EXPECT_EQ(lines.front(), "N:\\LISTED.DOC");
        for (const auto& document : documents)
            EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                    [&](const std::string& l) { return platform::equalsIgnoreCase(l, document); }),
                      1)
                << document;
        EXPECT_EQ(lines.size(), documents.size() + 1);
    }
    void expectSystemFilesUntouched() {
        for (const auto& [name, bytes] : kSystemFiles) EXPECT_EQ(readBytes(share / name), bytes) << name;
        EXPECT_EQ(readBytes(share / "listed.doc"), "registered already");
    }
    void expectNoRemains() {
        for (const char* name : {kEncryptJournalFile, "Encrypt.tmp", kPlainCopy, kCipherCopy})
            EXPECT_FALSE(fs::exists(work() / name)) << name;
        for (const auto& document : documents)
            EXPECT_FALSE(fs::exists(platform::hostPath(document).string() + kScratchSuffix)) << document;
    }

    fs::path share;
    std::map<std::string, std::string> plains;
    std::vector<std::string> documents;
};

TEST_F(FolderEncryptionTest, ThePlanLeavesOutTheSystemFilesAndWhatIsListedIgnoringCase) {
    addStandardDocuments();
    const FolderPlan plan = planFolder("N:\\", NetworkPath, {"n:\\listed.DOC", "N:\\Other\\a.doc"});
    EXPECT_EQ(plan.toEncrypt, documents);
    EXPECT_EQ(plan.registered, std::vector<std::string>{"N:\\listed.doc"});
    EXPECT_EQ(plan.systemFiles.size(), kSystemFiles.size() + 1);  // and Files.dat
    EXPECT_EQ(leftOutNote(plan), " (left out: 1 file already in Current Files, 9 files of the system itself)");
    EXPECT_EQ(encryptedMessage("N:\\", 3, plan),
              "3 files in N:\\ were encrypted and added to Current Files.  Left out: 1 file already in Current Files, "
              "9 files of the system itself.");

    const FolderPlan empty = planFolder("N:\\Sub\\", NetworkPath, {});
    EXPECT_EQ(leftOutNote(empty), "");
    EXPECT_EQ(nothingToEncryptMessage("N:\\Sub\\", empty), "There is nothing left to encrypt in N:\\Sub\\.  It holds no files.");
    EXPECT_EQ(nothingToEncryptMessage("N:\\", FolderPlan{{}, {}, {"N:\\key.dat"}}),
              "There is nothing left to encrypt in N:\\.  Left out: 1 file of the system itself.");
}

// Documents are registered together, each only once it is encrypted and in place: in full
// batches, when the first of a batch has waited long enough, and at the end.
TEST_F(FolderEncryptionTest, DocumentsAreRegisteredTogetherOnceEncryptedAndInPlace) {
    struct Case {
        RegistrationBatch batch;
        std::vector<size_t> registeredAtEachStep;  // documents listed after each "registered" step
    };
    const auto hour = std::chrono::hours(1);
    for (const Case& c : {Case{{.documents = 2, .wait = hour}, {2, 3}}, Case{{.documents = 100, .wait = hour}, {3}},
                          Case{{.documents = 100, .wait = std::chrono::milliseconds(0)}, {1, 2, 3}}}) {
        SCOPED_TRACE(c.batch.documents);
        addStandardDocuments();
        std::vector<size_t> registered;
        EncryptionHooks hooks;
        hooks.afterStep = [&](std::string_view step) {
            if (fs::exists(work() / kEncryptJournalFile)) {  // it holds the key
                EXPECT_EQ(fs::status(work() / kEncryptJournalFile).permissions() & fs::perms::all,
                          fs::perms::owner_read | fs::perms::owner_write);
            }
            if (step != "registered") return;
            const auto lines = shared::readLines("N:\\Files.dat");
            for (size_t i = 1; i < lines.size(); ++i) {
                EXPECT_EQ(lines[i], documents[i - 1]);
                EXPECT_NE(readBytes(platform::hostPath(lines[i])), plains[lines[i]]) << lines[i] << " listed plain";
            }
            registered.push_back(lines.size() - 1);
        };
        EXPECT_EQ(encryptAll(hooks, {.registrations = c.batch, .pipeline = {.workers = 3}}), 3u);
        EXPECT_EQ(registered, c.registeredAtEachStep);
        const Figures figures = checkDocuments();
        EXPECT_EQ(figures.plain, 0);
        expectEachRegisteredOnce();
        expectSystemFilesUntouched();
        expectNoRemains();
    }
}

// A folder picked under another spelling (its letter case, or through drive C:) names its
// documents as the lists do, so what one run encrypted and listed another never encrypts again.
TEST_F(FolderEncryptionTest, AFolderPickedUnderAnotherSpellingEncryptsNothingTwice) {
    writeBytes(share / "Sub" / "x.doc", "plain x");
    writeBytes(share / "Files.dat", "");
    const std::string throughDriveC = "C:" + (share / "Sub").string() + "\\";
    const FolderPlan first = planFolder(throughDriveC, NetworkPath, {});
    EXPECT_EQ(first.toEncrypt, std::vector<std::string>{"N:\\Sub\\x.doc"});
    runEncryption(beginEncryption(NetworkPath, kKey, first.toEncrypt), {}, inPairs());
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), std::vector<std::string>{"N:\\Sub\\x.doc"});
    for (const std::string& spelling : {std::string("n:\\SUB\\"), throughDriveC, std::string("N:\\Sub\\")}) {
        const FolderPlan again = planFolder(spelling, NetworkPath, shared::readLines("N:\\Files.dat"));
        EXPECT_TRUE(again.toEncrypt.empty()) << spelling;
        EXPECT_EQ(again.registered, std::vector<std::string>{"N:\\Sub\\x.doc"}) << spelling;
    }
}

TEST_F(FolderEncryptionTest, ADocumentRegisteredMeanwhileUnderAnotherCaseIsNotListedTwice) {
    addStandardDocuments();
    const FolderPlan plan = planFolder("N:\\", NetworkPath, shared::readLines("N:\\Files.dat"));
    shared::appendLine("N:\\Files.dat", "n:\\A.DOC");  // a launcher registered it meanwhile
    runEncryption(beginEncryption(NetworkPath, kKey, plan.toEncrypt));
    const auto lines = shared::readLines("N:\\Files.dat");
    EXPECT_EQ(lines, (std::vector<std::string>{"N:\\LISTED.DOC", "n:\\A.DOC", "N:\\b report.xls", "N:\\c.txt"}));
}

// A library whose second file encryption writes half its output and then fails.
class FailingLibrary : public Library {
public:
    int32_t VrkBinaryFileEnc(std::string& cmd) override {
        if (++calls_ != 2) return Library::VrkBinaryFileEnc(cmd);
        writeBytes(kCipherCopy, "half");
        return platform::kDiskFull;
    }

private:
    int calls_ = 0;
};

// The first document is encrypted and registered; the one the library fails on, and the one
// after it, stay plain and unregistered; the next start finds nothing to finish.
TEST_F(FolderEncryptionTest, AFailureLeavesTheRestPlainAndUnregisteredAndNoJournal) {
    addStandardDocuments();
    FailingLibrary failing;
    Library::install(&failing);
    EXPECT_EQ(test::errorOf([&] { encryptAll(); }), platform::kDiskFull);
    Library::install(nullptr);
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), (std::vector<std::string>{"N:\\LISTED.DOC", "N:\\a.doc"}));
    EXPECT_EQ(decrypted(readBytes(share / "a.doc")), plains["N:\\a.doc"]);
    EXPECT_EQ(readBytes(share / "b report.xls"), plains["N:\\b report.xls"]);
    EXPECT_EQ(readBytes(share / "c.txt"), plains["N:\\c.txt"]);
    expectNoRemains();  // nothing for the next start to fail on again
    EXPECT_FALSE(findInterruptedEncryption());
}

// A scratch copy that cannot be written beside a document (here a folder has its name) is the
// same: the command ends there, with what went before encrypted and registered. A document
// already under way when it ended (c) is finished all the same: encrypted and registered.
TEST_F(FolderEncryptionTest, AScratchCopyThatCannotBeWrittenEndsTheCommandLikeAFailure) {
    addStandardDocuments();
    const fs::path blocked = share / ("b report.xls" + std::string(kScratchSuffix));
    fs::create_directory(blocked);
    EXPECT_EQ(test::errorOf([&] { encryptAll(); }), platform::kPathFileAccess);
    fs::remove(blocked);
    const auto listed = shared::readLines("N:\\Files.dat");
    EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.begin() + 2),
              (std::vector<std::string>{"N:\\LISTED.DOC", "N:\\a.doc"}));
    EXPECT_FALSE(listedIn(listed, "N:\\b report.xls"));
    EXPECT_TRUE(readBytes(share / "b report.xls") == plains["N:\\b report.xls"]) << "b changed";
    const bool cDone = listedIn(listed, "N:\\c.txt");
    EXPECT_TRUE((readBytes(share / "c.txt") == plains["N:\\c.txt"]) != cDone) << "c registered unless plain";
    if (cDone) {
        EXPECT_TRUE(decrypted(readBytes(share / "c.txt")) == plains["N:\\c.txt"]);
    }
    expectNoRemains();
    EXPECT_FALSE(findInterruptedEncryption());
}

// ---- Killed at any moment -------------------------------------------------------------

// Three documents: six steps each, two registrations (a pair, then the last), then the
// journal's removal. Library calls: the key set-up, an encryption per document (and the wipe
// of its plain copy, where that lies on disk), the wipe of the removed journal.
constexpr int kSteps = 3 * 6 + 2 + 1;
constexpr int kLibraryCalls = 1 + 3 + 1;
constexpr int kLibraryCallsPlainOnDisk = 1 + 3 * 2 + 1;

// Every kill point with the plaintext in memory (with and without workers), and with the plain
// working copy on disk.
std::vector<KillPoint> everyFolderKillPoint() {
    std::vector<KillPoint> points = everyKillPoint(kSteps, kLibraryCalls);
    for (KillPoint point : everyKillPoint(kSteps, kLibraryCallsPlainOnDisk)) {
        if (point.workers > 0) continue;
        point.plainOnDisk = true;
        points.push_back(point);
    }
    return points;
}

class KilledFolderEncryptionTest : public FolderEncryptionTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(KilledFolderEncryptionTest, TheNextStartFinishesWithNoDocumentLostOrEncryptedTwice) {
    addStandardDocuments();
    ASSERT_TRUE(runInDyingChild(GetParam(), [this](std::function<void()> step) {
        EncryptionHooks hooks;
        hooks.afterStep = [&](std::string_view) { step(); };
        encryptAll(hooks, inPairs(GetParam().workers, GetParam().plainOnDisk));
    }));
    if (auto journal = findInterruptedEncryption()) runEncryption(std::move(*journal));  // the next start

    const Figures figures = checkDocuments();
    EXPECT_EQ(figures.checked, 3);
    EXPECT_EQ(figures.lost, 0);
    EXPECT_EQ(figures.doubled, 0);
    EXPECT_EQ(figures.plain, 0);
    expectEachRegisteredOnce();
    expectSystemFilesUntouched();
    expectNoRemains();
    // Running the command again finds nothing left to encrypt.
    EXPECT_TRUE(planFolder("N:\\", NetworkPath, shared::readLines("N:\\Files.dat")).toEncrypt.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryPoint, KilledFolderEncryptionTest,
                         ::testing::ValuesIn(everyFolderKillPoint()),
                         [](const ::testing::TestParamInfo<KillPoint>& info) { return killPointName(info.param); });

// The kill points cover every step and library call. With the plaintext in memory no file of
// the working folder ever holds a document's plaintext; on disk only the owner may read it.
TEST_F(FolderEncryptionTest, TheKillPointsCoverEveryStepAndLibraryCall) {
    struct Counting : Library {
        int calls = 0;
        int32_t VrkGenBinaryKeys(std::string& a) override { return ++calls, Library::VrkGenBinaryKeys(a); }
        int32_t VrkBinaryFileEnc(std::string& a) override { return ++calls, Library::VrkBinaryFileEnc(a); }
        int32_t VrkKillFile(std::string& a) override { return ++calls, Library::VrkKillFile(a); }
    };
    for (const bool plainOnDisk : {false, true}) {
        SCOPED_TRACE(plainOnDisk ? "plaintext on disk" : "plaintext in memory");
        addStandardDocuments();
        Counting counting;
        Library::install(&counting);
        int steps = 0;
        EncryptionHooks hooks;
        hooks.afterStep = [&](std::string_view step) {
            ++steps;
            for (const auto& entry : fs::directory_iterator(work())) {
                const bool holdsPlain = std::any_of(plains.begin(), plains.end(), [&](const auto& document) {
                    return readBytes(entry.path()) == document.second;
                });
                if (!holdsPlain) continue;
                EXPECT_TRUE(plainOnDisk) << step << ": " << entry.path();
                EXPECT_EQ(entry.status().permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
            }
        };
        encryptAll(hooks, inPairs(0, plainOnDisk));
        Library::install(nullptr);
        EXPECT_EQ(steps, kSteps);
        EXPECT_EQ(counting.calls, plainOnDisk ? kLibraryCallsPlainOnDisk : kLibraryCalls);
        expectNoRemains();
    }
}

TEST_F(FolderEncryptionTest, KilledAgainWhileFinishingTheNextStartStillFinishes) {
    addStandardDocuments();
    ASSERT_TRUE(runInDyingChild({.step = 9}, [this](std::function<void()> step) {  // inside the second document
        EncryptionHooks hooks;
        hooks.afterStep = [&](std::string_view) { step(); };
        encryptAll(hooks);
    }));
    ASSERT_TRUE(runInDyingChild({.step = 3}, [](std::function<void()> step) {
        EncryptionHooks hooks;
        hooks.afterStep = [&](std::string_view) { step(); };
        runEncryption(*findInterruptedEncryption(), hooks, inPairs());
    }));
    if (auto journal = findInterruptedEncryption()) runEncryption(std::move(*journal));
    const Figures figures = checkDocuments();
    EXPECT_EQ(figures.lost + figures.doubled + figures.plain, 0);
    expectEachRegisteredOnce();
    expectNoRemains();
}

}  // namespace
}  // namespace varkel::admin
