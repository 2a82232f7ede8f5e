#include "File.h"
#include "LockHolders.h"
#include "LockList.h"
#include "Process.h"
#include "WinPath.h"
#include "TestSupport.h"
#include "VbError.h"

#include <algorithm>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace varkel::shared {
namespace {

using test::readBytes;
using test::writeBytes;
using Clock = std::chrono::system_clock;
namespace fs = std::filesystem;

// The network folder is the scratch working folder, reached as N:.
class LockList : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        mapDrives("N: " + work().string() + "\n");
    }
    const std::string net = "N:\\";
};

TEST_F(LockList, TheLockTestIgnoresCaseAndARefusalChangesNothing) {
    writeBytes("Locked.dat", "Z:\\DOCS\\REPORT.DOC\r\n");
    EXPECT_EQ(lockDocument(net, "Z:\\Docs\\report.doc"), LockResult::InUse);
    EXPECT_EQ(readBytes("Locked.dat"), "Z:\\DOCS\\REPORT.DOC\r\n");
    EXPECT_EQ(lockDocument(net, "Z:\\Docs\\other.doc"), LockResult::Granted);
    EXPECT_EQ(readBytes("Locked.dat"), "Z:\\DOCS\\REPORT.DOC\r\nZ:\\Docs\\other.doc\r\n");
}

TEST_F(LockList, AnEmptyOrMissingListIsWrittenAnew) {
    for (const bool missing : {true, false}) {
        if (missing) fs::remove("Locked.dat"); else writeBytes("Locked.dat", "");
        EXPECT_EQ(lockDocument(net, "Z:\\a.doc"), LockResult::Granted);
        EXPECT_EQ(readBytes("Locked.dat"), "Z:\\a.doc\r\n");
    }
}

TEST_F(LockList, RegistrationComparesExactly) {
    writeBytes("Files.dat", "Z:\\DOCS\\REPORT.DOC\r\n");
    registerDocument(net, "Z:\\Docs\\report.doc");
    registerDocument(net, "Z:\\Docs\\report.doc");
    EXPECT_EQ(readBytes("Files.dat"), "Z:\\DOCS\\REPORT.DOC\r\nZ:\\Docs\\report.doc\r\n");
}

TEST_F(LockList, UnlockingRemovesOnlyExactLinesAndKeepsTheOrder) {
    struct Case {
        std::string before, document, after;
    } cases[] = {
        {"Z:\\a.doc\r\nZ:\\b.doc\r\nZ:\\c.doc\r\n", "Z:\\b.doc", "Z:\\a.doc\r\nZ:\\c.doc\r\n"},
        {"Z:\\b.doc\r\n", "Z:\\b.doc", ""},
        {"Z:\\B.DOC\r\nZ:\\b.doc\r\nZ:\\b.doc\r\n", "Z:\\b.doc", "Z:\\B.DOC\r\n"},
    };
    for (const auto& c : cases) {
        writeBytes("Locked.dat", c.before);
        unlockDocument(net, c.document);
        EXPECT_TRUE(fs::exists("Locked.dat"));
        EXPECT_EQ(readBytes("Locked.dat"), c.after) << c.before;
        EXPECT_FALSE(fs::exists("temp.dat"));
    }
    fs::remove("Locked.dat");
    unlockDocument(net, "Z:\\b.doc");  // a cleared list holds nothing to unlock
    EXPECT_FALSE(fs::exists("Locked.dat"));
}

// Many documents in one change of each list: all locked or none, each line once.
TEST_F(LockList, ManyDocumentsAreLockedAllOrNoneInOneChange) {
    struct Case {
        std::string before;
        std::vector<std::string> documents;
        std::vector<std::string> inUse;
        std::string after;
    } cases[] = {
        {"", {"Z:\\a.doc", "Z:\\b.doc", "z:\\A.DOC"}, {}, "Z:\\a.doc\r\nZ:\\b.doc\r\n"},
        {"Z:\\x.doc\r\n", {"Z:\\a.doc", "Z:\\b.doc"}, {}, "Z:\\x.doc\r\nZ:\\a.doc\r\nZ:\\b.doc\r\n"},
        {"Z:\\B.DOC\r\n", {"Z:\\a.doc", "Z:\\b.doc", "Z:\\c.doc", "z:\\b.doc"}, {"Z:\\b.doc"}, "Z:\\B.DOC\r\n"},
        {"Z:\\x.doc\r\n", {}, {}, "Z:\\x.doc\r\n"},
    };
    for (const auto& c : cases) {
        writeBytes("Locked.dat", c.before);
        fs::remove("Holders.dat");
        EXPECT_EQ(lockDocuments(net, c.documents), c.inUse) << c.before;
        EXPECT_EQ(readBytes("Locked.dat"), c.after) << c.before;
        // Each lock taken has this process as its holder; a refusal records none.
        const auto holders = readHolders(net);
        EXPECT_EQ(holders.size(), c.inUse.empty() ? std::count(c.after.begin(), c.after.end(), '\n') -
                                                        std::count(c.before.begin(), c.before.end(), '\n')
                                                  : 0)
            << c.before;
        for (const auto& h : holders) EXPECT_EQ(h.pid, platform::currentProcessId());
        EXPECT_FALSE(fs::exists(ListGuard::kFileName));
    }
}

TEST_F(LockList, ManyDocumentsAreUnlockedAndRegisteredInOneChange) {
    writeBytes("Locked.dat", "Z:\\a.doc\r\nZ:\\B.DOC\r\nZ:\\b.doc\r\nZ:\\c.doc\r\n");
    unlockDocuments(net, {"Z:\\a.doc", "Z:\\b.doc"});
    EXPECT_EQ(readBytes("Locked.dat"), "Z:\\B.DOC\r\nZ:\\c.doc\r\n");
    EXPECT_FALSE(fs::exists("temp.dat"));

    for (const auto& [rule, after] : {std::pair{Case::Ignored, "Z:\\A.DOC\r\nZ:\\b.doc\r\n"},
                                      std::pair{Case::Exact, "Z:\\A.DOC\r\nZ:\\a.doc\r\nZ:\\b.doc\r\n"}}) {
        writeBytes("Files.dat", "Z:\\A.DOC\r\n");
        registerDocuments(net, {"Z:\\a.doc", "Z:\\b.doc", "Z:\\b.doc"}, rule);
        EXPECT_EQ(readBytes("Files.dat"), after);
    }
    fs::remove("Files.dat");
    registerDocuments(net, {"Z:\\a.doc"}, Case::Exact);
    EXPECT_EQ(readBytes("Files.dat"), "Z:\\a.doc\r\n");
}

TEST_F(LockList, TheGuardIsReleasedAndAnAbandonedOneIsBroken) {
    EXPECT_EQ(lockDocument(net, "Z:\\a.doc"), LockResult::Granted);
    EXPECT_FALSE(fs::exists(ListGuard::kFileName));

    const auto now = Clock::now();
    const auto tenMinutes = std::chrono::minutes(10);
    const std::string host = platform::hostName();
    // A child that has ended (and been reaped) leaves its id unused for a while.
    const int32_t gone = platform::startProcess("true");
    while (platform::processRunning(gone)) {
    }
    using std::chrono::seconds;
    struct Case {
        std::string owner;
        seconds age;  // how long the guard has stood, on the folder's clock
        bool stale;
    } cases[] = {
        {guardOwnerLine(host, gone, now), seconds(0), true},                // its process is gone
        {guardOwnerLine(host, ::getppid(), now), seconds(60), false},      // alive here: never broken
        {guardOwnerLine(host, ::getpid(), now), seconds(60), true},        // a leftover with our id
        {guardOwnerLine("elsewhere", gone, now), seconds(60), true},       // silent past the limit
        {guardOwnerLine("elsewhere", gone, now), seconds(0), false},
        // Another machine's clock ten minutes off either way says nothing about the guard's age.
        {guardOwnerLine("elsewhere", gone, now - tenMinutes), seconds(0), false},
        {guardOwnerLine("elsewhere", gone, now + tenMinutes), seconds(60), true},
        {"elsewhere 12", seconds(0), false},  // still being written
        {"elsewhere 12", seconds(60), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.owner + " standing " + std::to_string(c.age.count()) + " s");
        EXPECT_EQ(guardIsStale(c.owner, c.age, {}), c.stale);
        writeBytes(ListGuard::kFileName, c.owner);
        fs::last_write_time(ListGuard::kFileName, fs::file_time_type::clock::now() - c.age);
        const GuardTimes noWaiting{.stale = std::chrono::seconds(10), .giveUp = std::chrono::seconds(0)};
        if (c.stale) {
            EXPECT_NO_THROW({ const ListGuard guard(net, noWaiting); });
            EXPECT_FALSE(fs::exists(ListGuard::kFileName));
        } else {
            try {
                const ListGuard guard(net, noWaiting);
                ADD_FAILURE() << "a live guard was taken over";
            } catch (const platform::VbError& e) {
                EXPECT_EQ(e.number(), platform::kPermissionDenied);
            }
            EXPECT_EQ(readBytes(ListGuard::kFileName), c.owner);
        }
        fs::remove(ListGuard::kFileName);
    }
    for (const auto& entry : fs::directory_iterator(work()))  // the clock probes go again
        EXPECT_FALSE(entry.path().filename().string().starts_with("Locked.lck")) << entry.path();
}

// Breakers take turns, and remove only the guard they found abandoned: a live guard that has
// taken its place meanwhile stays, as does anything while another breaker is at work; a
// breaker that died at work is judged like a guard.
TEST_F(LockList, OnlyTheGuardFoundAbandonedIsBrokenAndBreakersTakeTurns) {
    const std::string abandoned = guardOwnerLine("elsewhere", 4242, Clock::now());
    const std::string live = guardOwnerLine(platform::hostName(), ::getppid(), Clock::now());
    const int32_t gone = platform::startProcess("true");
    while (platform::processRunning(gone)) {
    }
    const std::string breaker = std::string(ListGuard::kFileName) + ListGuard::kBreakerSuffix;
    struct Case {
        const char* what;
        std::string guard;    // on disk when the breaker comes
        std::string working;  // the breakers' own guard on disk; empty: none
        bool broken;
        bool guardStays;
        bool breakerStays;
    } cases[] = {
        {"the abandoned guard", abandoned, "", true, false, false},
        {"a live guard in its place", live, "", false, true, false},
        {"no guard any more", "", "", false, false, false},
        {"another breaker at work", abandoned, live, false, true, true},
        {"a breaker that died at work", abandoned, guardOwnerLine(platform::hostName(), gone, Clock::now()), false, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(ListGuard::kFileName);
        fs::remove(breaker);
        if (!c.guard.empty()) writeBytes(ListGuard::kFileName, c.guard);
        if (!c.working.empty()) writeBytes(breaker, c.working);
        EXPECT_EQ(breakAbandonedGuard(net, abandoned), c.broken);
        EXPECT_EQ(fs::exists(ListGuard::kFileName), c.guardStays);
        if (c.guardStays) {
            EXPECT_EQ(readBytes(ListGuard::kFileName), c.guard);
        }
        EXPECT_EQ(fs::exists(breaker), c.breakerStays);
    }
}

// The guard of a launcher on another machine whose clock runs ten minutes ahead or behind:
// while it stands within the limit it is waited for; left by a launcher that died, it is broken
// once it has stood for the limit on the folder's clock, not sooner and not much later.
TEST_F(LockList, AnotherMachinesGuardIsJudgedByTheFoldersClockNotItsOwn) {
    const GuardTimes times{.stale = std::chrono::seconds(2), .giveUp = std::chrono::seconds(20)};
    for (const auto off : {std::chrono::minutes(10), -std::chrono::minutes(10)}) {
        const std::string owner = guardOwnerLine("elsewhere", 4242, Clock::now() + off);
        writeBytes(ListGuard::kFileName, owner);
        const GuardTimes brief{.stale = times.stale, .giveUp = std::chrono::milliseconds(800)};
        EXPECT_THROW({ const ListGuard guard(net, brief); }, platform::VbError);  // live: not broken
        EXPECT_EQ(readBytes(ListGuard::kFileName), owner);

        const auto start = std::chrono::steady_clock::now();
        { const ListGuard guard(net, times); }  // its owner never comes back
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, times.stale - std::chrono::milliseconds(1800));  // 0.8 s stood already
        EXPECT_LE(waited, times.stale + std::chrono::seconds(2));
        EXPECT_FALSE(fs::exists(ListGuard::kFileName));
    }
}

struct ParallelCase {
    std::string name;
    int processes;
    int cycles;
    bool spellings;  // the drivers name each document in three ways
};

class Parallel : public LockList, public ::testing::WithParamInterface<ParallelCase> {};

// Several launcher processes lock, register and unlock the same few documents at once.
TEST_P(Parallel, LaunchersNeverShareADocumentNorLoseALine) {
    const int kProcesses = GetParam().processes;
    const int kCycles = GetParam().cycles;
    constexpr int kDocuments = 3;
    fs::create_directories(work() / "Docs");
    for (int k = 0; k < kDocuments; ++k) writeBytes(work() / "Docs" / ("doc" + std::to_string(k) + ".txt"), "x");
    std::vector<int32_t> pids;
    for (int p = 0; p < kProcesses; ++p)
        pids.push_back(platform::startProcess(platform::windowsPath(LOCK_DRIVER) + " " + net + " " + std::to_string(p) + " " +
                                              std::to_string(kCycles) + " " + std::to_string(kDocuments) +
                                              (GetParam().spellings ? " spellings" : "")));
    for (int32_t pid : pids)
        while (platform::processRunning(pid)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int grants = 0, doubles = 0, lost = 0;
    for (int p = 0; p < kProcesses; ++p) {
        std::istringstream report(readBytes(work() / ("report" + std::to_string(p) + ".txt")));
        int g = -1, d = -1, l = -1;
        report >> g >> d >> l;
        ASSERT_GE(g, 0) << "driver " << p << " did not finish";
        grants += g;
        doubles += d;
        lost += l;
    }
    std::printf("parallel launchers (%s): %d processes x %d cycles on %d documents: %d grants, %d double grants, "
                "%d lock lines lost\n", GetParam().name.c_str(), kProcesses, kCycles, kDocuments, grants, doubles, lost);
    EXPECT_GT(grants, 0);
    EXPECT_EQ(doubles, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(readBytes("Locked.dat"), "");
    const std::string files = readBytes("Files.dat");
    for (int k = 0; k < kDocuments; ++k) {
        const std::string line = "N:\\Docs\\doc" + std::to_string(k) + ".txt\r\n";
        EXPECT_NE(files.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(std::count(files.begin(), files.end(), '\n'), kDocuments);
    EXPECT_FALSE(fs::exists(ListGuard::kFileName));
    EXPECT_FALSE(fs::exists("temp.dat"));
}

INSTANTIATE_TEST_SUITE_P(LockList, Parallel,
                         ::testing::Values(ParallelCase{"OneSpelling", 6, 30, false},
                                           ParallelCase{"ThreeSpellings", 8, 50, true}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace varkel::shared
