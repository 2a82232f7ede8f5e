// Launchers on two machines lock, register and unlock the same documents of one share at once.
#include "LockDrivers.h"
#include "LockList.h"

#include <algorithm>
#include <csignal>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;

// VARKEL_SHARE_FULL=1 runs the full load (8 launchers per machine, 50 cycles each); the
// default is a shorter run of the same shape.
int cyclesPerLauncher() { return shareVariable("FULL") == "1" ? 50 : 12; }

class ParallelLaunchers : public LockDrivers {
protected:
    static constexpr int kPerMachine = 8;
};

TEST_F(ParallelLaunchers, NeverShareADocumentNorLoseALineOnBothMounts) {
    VARKEL_NEEDS_FRESH_CONTENTS();
    const int cycles = cyclesPerLauncher();
    const auto start = std::chrono::steady_clock::now();
    const DriverTotals t = collect(startDrivers(cycles, machines(), kPerMachine));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("share (%s): 2 machines x %d launchers x %d cycles on %d documents in %.1f s: %d grants, "
                "%d double grants, %d lock lines lost, %d launchers failed\n",
                shareVariable("CACHE").c_str(), kPerMachine, cycles, kDocuments, seconds, t.grants, t.doubles,
                t.lost, t.unfinished);
    EXPECT_EQ(t.unfinished, 0) << "see the launchers' messages above";
    EXPECT_GT(t.grants, 0);
    EXPECT_EQ(t.doubles, 0);
    EXPECT_EQ(t.lost, 0);
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "");
    const std::string files = readBytes(server() / "Files.dat");
    for (int k = 0; k < kDocuments; ++k) {
        const std::string line = "N:\\Docs\\doc" + std::to_string(k) + ".txt\r\n";
        EXPECT_NE(files.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(std::count(files.begin(), files.end(), '\n'), kDocuments);
    for (const auto& entry : fs::directory_iterator(server())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Locked.dat" || name == "Files.dat" || name.starts_with("report")) << "left behind: " << name;
    }
}

// A launcher killed while it holds the list guard leaves the guard behind; launchers of the other
// machine, which cannot ask whether its process still runs, break it once it is old enough.
TEST_F(ParallelLaunchers, AGuardLeftByAKilledLauncherOfTheOtherMachineIsBroken) {
    const int32_t holder = machine(0).start(std::string(LOCK_DRIVER) + " N:\\ 99 hold");
    const fs::path guard = server() / shared::ListGuard::kFileName;
    for (int i = 0; i < 500 && !readBytes(guard).starts_with("varkel-A "); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(readBytes(guard).starts_with("varkel-A ")) << readBytes(guard);
    ::kill(holder, SIGKILL);
    waitFor({holder});

    const auto start = std::chrono::steady_clock::now();
    const DriverTotals t = collect(startDrivers(3, {machine(1)}, 2));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(t.unfinished, 0);
    EXPECT_GT(t.grants, 0);
    EXPECT_EQ(t.doubles, 0);
    EXPECT_EQ(t.lost, 0);
    EXPECT_GE(waited, shared::GuardTimes{}.stale - std::chrono::seconds(2)) << "a live-looking guard was broken early";
    EXPECT_FALSE(fs::exists(guard));
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "");
}

}  // namespace
}  // namespace varkel::test
