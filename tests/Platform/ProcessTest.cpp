#include "Process.h"
#include "TestSupport.h"
#include "VbError.h"
#include "WinPath.h"

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace varkel::platform {
namespace {

using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class Processes : public test::ScratchFolder {
protected:
    // An executable shell script at `where` (host path) running `body`.
    static void script(const fs::path& where, const std::string& body) {
        fs::create_directories(where.parent_path());
        writeBytes(where, "#!/bin/sh\n" + body + "\n");
        ::chmod(where.c_str(), 0755);
    }
    static void waitForEnd(int32_t pid) {
        while (processRunning(pid)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

TEST_F(Processes, CommandLinesSplitAsWindowsSplitsThem) {
    script(root() / "my apps" / "ed", "exit 0");
    script(root() / "my apps" / "ed more" / "tool", "exit 0");
    script(root() / "other dir" / "sub dir" / "tool", "exit 0");
    const std::string apps = windowsPath(root() / "my apps");
    const std::string other = windowsPath(root() / "other dir");
    struct Case {
        std::string line;
        fs::path program;
        std::vector<std::string> arguments;
    } cases[] = {
        {apps + "\\ed memo.txt", root() / "my apps" / "ed", {"memo.txt"}},
        {apps + "\\ed \"my memo.txt\"", root() / "my apps" / "ed", {"my memo.txt"}},
        {other + "\\sub dir\\tool a  b", root() / "other dir" / "sub dir" / "tool", {"a", "b"}},
        // The shortest prefix that names a program wins, as on Windows.
        {apps + "\\ed more\\tool a", root() / "my apps" / "ed", {"more\\tool", "a"}},
        {"\"" + apps + "\\ed\" x\"y z\"", root() / "my apps" / "ed", {"xy z"}},
        {apps + "\\ED", root() / "my apps" / "ed", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const ParsedCommand parsed = parseCommandLine(c.line);
        EXPECT_EQ(parsed.program, c.program);
        EXPECT_EQ(parsed.arguments, c.arguments);
    }
    EXPECT_EQ(fs::path(parseCommandLine("sh -c true").program).filename(), "sh");  // from the search path
}

TEST_F(Processes, ANameThatIsNoProgramIsFileNotFound) {
    script(root() / "plain", "exit 0");
    ::chmod((root() / "plain").c_str(), 0644);
    for (const std::string& line : {windowsPath(root() / "missing") + " a", windowsPath(root() / "plain"),
                                   windowsPath(root()) + " x"}) {
        try {
            parseCommandLine(line);
            ADD_FAILURE() << line;
        } catch (const VbError& e) {
            EXPECT_EQ(e.number(), kFileNotFound) << line;
        }
    }
}

TEST_F(Processes, StartsInTheWorkingFolderWithItsArgumentsAndIsReapedWhenDone) {
    script(root() / "bin dir" / "note", "pwd > seen.txt; echo \"$#:$1\" >> seen.txt");
    const int32_t pid = startProcess(windowsPath(root() / "bin dir" / "note") + " \"a b.txt\"");
    waitForEnd(pid);
    EXPECT_EQ(readBytes(work() / "seen.txt"), work().string() + "\n1:a b.txt\n");
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1);  // already reaped: no zombie is left
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)));
}

TEST_F(Processes, ARunningProcessIsSeenUntilItEnds) {
    const int32_t pid = startProcess("sleep 30");
    EXPECT_TRUE(processRunning(pid));
    EXPECT_TRUE(ProcessHandle(pid).running());
    EXPECT_TRUE(processAlive(pid));
    ::kill(pid, SIGTERM);
    waitForEnd(pid);
    EXPECT_FALSE(ProcessHandle(pid));
    EXPECT_FALSE(processAlive(pid));
}

// Polls until `done` holds or about five seconds have passed.
bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST_F(Processes, ATreeCountsBackgroundChildrenLeftByAProgramThatEnded) {
    adoptOrphans();
    const fs::path child = root() / "child.pid";
    script(root() / "starter", "(sleep 1; echo done > '" + (root() / "late").string() + "') &\necho $! > '" +
                                   child.string() + "'\nexit 0");
    const int32_t foreign = startProcess("sleep 30");  // started before: no member of the tree
    ProcessTree tree;
    const int32_t pid = tree.start(windowsPath(root() / "starter"));
    ASSERT_TRUE(eventually([&] { return !processAlive(pid) && !readBytes(child).empty(); }));
    const int32_t background = std::stoi(readBytes(child));
    // The background subshell (and the sleep it runs, once it has started it).
    const std::vector<int32_t> running = tree.running();
    EXPECT_NE(std::find(running.begin(), running.end(), background), running.end());
    EXPECT_EQ(std::find(running.begin(), running.end(), foreign), running.end());
    EXPECT_TRUE(eventually([&] { return tree.running().empty(); }));
    EXPECT_EQ(readBytes(root() / "late"), "done\n");
    // Ended members were reaped: none lingers.
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(background)));
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)));
    EXPECT_TRUE(processAlive(foreign));
    ::kill(foreign, SIGKILL);
    waitForEnd(foreign);
}

TEST_F(Processes, HoldersOfAFileAreFoundByIdentityUnderAnyName) {
    writeBytes(work() / "copy.txt", "text");
    EXPECT_TRUE(processesHoldingFile("copy.txt").empty());
    EXPECT_TRUE(processesHoldingFile("missing.txt").empty());
    fs::create_symlink(work() / "copy.txt", root() / "link.txt");
    script(root() / "holder", "exec 3<'" + (root() / "link.txt").string() + "'\nexec sleep 30");
    const int32_t pid = startProcess(windowsPath(root() / "holder"));
    ASSERT_TRUE(eventually([&] { return !processesHoldingFile("COPY.TXT").empty(); }));
    const std::vector<FileHolder> holders = processesHoldingFile("copy.txt");
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, pid);
    EXPECT_EQ(holders[0].program, "sleep");
    EXPECT_EQ(processName(pid), "sleep");
    ::kill(pid, SIGKILL);
    waitForEnd(pid);
    EXPECT_TRUE(processesHoldingFile("copy.txt").empty());
    EXPECT_EQ(processName(pid), "");
}

TEST_F(Processes, TheVersionRecordReportsTheNtFamily) {
    OsVersionInfo info;
    ASSERT_TRUE(getVersionEx(info));
    EXPECT_EQ(info.platformId, kPlatformNt);
    OsVersionInfo wrong;
    wrong.size = 20;
    EXPECT_FALSE(getVersionEx(wrong));
}

}  // namespace
}  // namespace varkel::platform
