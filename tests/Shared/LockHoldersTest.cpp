#include "File.h"
#include "LockHolders.h"
#include "LockList.h"
#include "Process.h"
#include "TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

namespace varkel::shared {
namespace {

using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class Holders : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        mapDrives("N: " + work().string() + "\n");
    }
    const std::string net = "N:\\";
};

TEST_F(Holders, ALockRecordsItsHolderAndTheUnlockRemovesIt) {
    ASSERT_EQ(lockDocument(net, "N:\\Docs\\a.txt"), LockResult::Granted);
    ASSERT_EQ(lockDocument(net, "N:\\Docs\\b.txt"), LockResult::Granted);
    EXPECT_EQ(lockDocument(net, "n:\\docs\\A.TXT"), LockResult::InUse);
    const std::vector<LockHolder> holders = readHolders(net);
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_EQ(holders[0].document, "N:\\Docs\\a.txt");
    EXPECT_EQ(holders[0].user, platform::userName());
    EXPECT_EQ(holders[0].host, platform::hostName());
    EXPECT_EQ(holders[0].pid, platform::currentProcessId());
    EXPECT_EQ(holders[0].began, holders[0].beat);
    // On a local folder the network folder's clock is this machine's.
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::abs(holders[0].began - now), 2);
    // Locked.dat keeps its format.
    EXPECT_EQ(readBytes(work() / "Locked.dat"), "N:\\Docs\\a.txt\r\nN:\\Docs\\b.txt\r\n");
    EXPECT_EQ(readBytes(work() / "Holders.dat").substr(0, 16), "\"N:\\Docs\\a.txt\",");

    unlockDocument(net, "N:\\Docs\\a.txt");
    ASSERT_EQ(readHolders(net).size(), 1u);
    EXPECT_EQ(readHolders(net)[0].document, "N:\\Docs\\b.txt");
    unlockDocument(net, "N:\\Docs\\b.txt");
    EXPECT_FALSE(fs::exists(work() / "Holders.dat"));
}

TEST_F(Holders, TheHeartbeatMovesOnlyThisProcesssRecord) {
    writeBytes(work() / "Holders.dat", "\"N:\\a.txt\",ann,elsewhere,42,100,100\r\n");
    ASSERT_EQ(lockDocument(net, "N:\\a.txt"), LockResult::Granted);  // a lock line the console removed
    EXPECT_TRUE(beat(net, "N:\\a.txt", 99999));
    const std::vector<LockHolder> holders = readHolders(net);
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_EQ(holders[0].beat, 100);
    EXPECT_EQ(holders[1].beat, 99999);
    EXPECT_FALSE(beat(net, "N:\\other.txt", 99999));
}

// A process of this host that has ended.
int32_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

struct HolderCase {
    std::string name;
    std::string record;  // the holder line, or empty for none; $ME is this host, $PID a pid
    int64_t now;
    bool stale;
    std::string text;
};

class Judged : public Holders, public ::testing::WithParamInterface<HolderCase> {};

TEST_P(Judged, EachLockShowsItsHolderAgeAndWhetherItIsStale) {
    const HolderCase& c = GetParam();
    std::string record = c.record;
    const auto put = [&](const std::string& key, const std::string& value) {
        for (size_t at; (at = record.find(key)) != std::string::npos;) record.replace(at, key.size(), value);
    };
    put("$ME", platform::hostName());
    put("$LIVE", std::to_string(platform::currentProcessId()));
    put("$DEAD", std::to_string(endedProcess()));
    writeBytes(work() / "Holders.dat", record);
    const std::vector<LockView> views = describeLocks({"N:\\Docs\\a.txt"}, readHolders(net), c.now);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].stale, c.stale);
    std::string expected = c.text;
    for (size_t at; (at = expected.find("$ME")) != std::string::npos;) expected.replace(at, 3, platform::hostName());
    EXPECT_EQ(views[0].text, "N:\\Docs\\a.txt \x97 " + expected);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, Judged,
    ::testing::Values(
        HolderCase{"NoRecord", "", 1000, false, "holder unknown"},
        HolderCase{"UnreadableRecord", "N:\\Docs\\a.txt,ann\r\n\"N:\\Docs\\a.txt\",ann,h,x,1,1\r\n", 1000, false,
                   "holder unknown"},
        HolderCase{"LiveHereAndFresh", "\"N:\\Docs\\a.txt\",ANN,$ME,$LIVE,1000,1700\r\n", 1000 + 12 * 60 + 5, false,
                   "ANN on $ME, 12 min"},
        HolderCase{"GoneFromThisHost", "\"N:\\Docs\\a.txt\",ANN,$ME,$DEAD,1000,1000\r\n", 1010, true,
                   "ANN on $ME, under a minute, stale"},
        HolderCase{"OtherHostBeating", "\"N:\\Docs\\a.txt\",BOB,far,1,1000,4000\r\n", 4100, false,
                   "BOB on far, 51 min"},
        HolderCase{"OtherHostSilent", "\"N:\\Docs\\a.txt\",BOB,far,1,1000,1000\r\n", 1000 + 181, true,
                   "BOB on far, 3 min, stale"},
        HolderCase{"OtherCaseIsAnotherLock", "\"N:\\DOCS\\A.TXT\",BOB,far,1,1000,1000\r\n", 1000, false,
                   "holder unknown"},
        HolderCase{"TheLatestRecordCounts",
                   "\"N:\\Docs\\a.txt\",OLD,far,1,10,10\r\n\"N:\\Docs\\a.txt\",NEW,far,2,1000,1000\r\n", 1000, false,
                   "NEW on far, under a minute"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace varkel::shared
