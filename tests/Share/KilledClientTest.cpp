// A machine's file-system client dies while its launchers work on the share: they end with an
// error instead of hanging, and the other machine's launchers go on with the lists intact.
// It runs in a share of its own, since machine A has no share afterwards.
#include "LockDrivers.h"
#include "LockList.h"

#include <algorithm>
#include <csignal>
#include <set>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class KilledClient : public LockDrivers {};

TEST_F(KilledClient, TheOtherMachineGoesOnWhenAMountsClientDies) {
    constexpr int kPerMachine = 4;
    const StartedDrivers onA = startDrivers(1000, {machine(0)}, kPerMachine);
    const StartedDrivers onB = startDrivers(30, {machine(1)}, kPerMachine, kPerMachine);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_GT(machine(0).client, 0);
    ::kill(machine(0).client, SIGKILL);

    EXPECT_TRUE(waitFor(onA.pids, std::chrono::seconds(60))) << "a launcher on the dead mount hung";
    const DriverTotals a = collect(onA);
    const DriverTotals b = collect(onB);
    EXPECT_EQ(a.unfinished, kPerMachine) << "their mount died under them";
    EXPECT_EQ(b.unfinished, 0);
    EXPECT_EQ(b.doubles, 0);
    EXPECT_EQ(b.lost, 0);
    EXPECT_FALSE(fs::exists(server() / shared::ListGuard::kFileName));

    // What A's launchers held stays locked, once each; nothing else is listed twice.
    const std::vector<std::string> locked = linesOf(readBytes(server() / "Locked.dat"));
    EXPECT_LE(locked.size(), static_cast<size_t>(kPerMachine));
    EXPECT_EQ(std::set<std::string>(locked.begin(), locked.end()).size(), locked.size());
    const std::vector<std::string> files = linesOf(readBytes(server() / "Files.dat"));
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size());
    for (const std::string& line : files) EXPECT_TRUE(line.starts_with("N:\\Docs\\doc")) << line;
}

}  // namespace
}  // namespace varkel::test
