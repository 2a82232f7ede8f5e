// The file operations the lists rely on, on two machines' mounts of one share: what one
// machine did must be what the other sees, whatever its client cached before.
#include "File.h"
#include "LockList.h"
#include "MountCaches.h"
#include "ShareSupport.h"
#include "SystemFiles.h"

#include <atomic>
#include <barrier>
#include <sys/stat.h>
#include <thread>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;
using platform::createExclusive;
using platform::fileExists;

class ShareFiles : public ShareTest {
protected:
    const ShareMachine& a() const { return machine(0); }
    const ShareMachine& b() const { return machine(1); }
    // Makes machine B look the name up, so that its client holds an entry for it.
    void lookUpOnB(const std::string& name) const {
        std::error_code ec;
        (void)fs::status(b().mount / name, ec);
    }
};

// Both machines try to take the same guard at the same moment, many times: exactly one gets
// it each time, and the loser is told so rather than failing.
TEST_F(ShareFiles, ExactlyOneOfTwoMachinesWinsAnExclusiveCreate) {
    constexpr int kRounds = 150;
    std::barrier start(2);
    std::atomic<int> wins[kRounds] = {};
    std::atomic<int> failures = 0;
    std::string firstFailure;
    auto contend = [&](const ShareMachine& m) {
        for (int r = 0; r < kRounds; ++r) {
            start.arrive_and_wait();
            try {
                if (createExclusive(m.onShare("race" + std::to_string(r)), m.name)) ++wins[r];
            } catch (const platform::VbError& e) {
                if (failures++ == 0) firstFailure = e.what();
            }
        }
    };
    std::thread onA(contend, a());
    std::thread onB(contend, b());
    onA.join();
    onB.join();
    EXPECT_EQ(failures, 0) << "first: " << firstFailure;
    for (int r = 0; r < kRounds; ++r) {
        EXPECT_EQ(wins[r], 1) << "round " << r;
        const std::string holder = readBytes(server() / ("race" + std::to_string(r)));
        EXPECT_TRUE(holder == "A" || holder == "B") << "round " << r << ": " << holder;
    }
}

// A create that fails while no file of the name is there is a real failure, not "held".
TEST_F(ShareFiles, AnExclusiveCreateTheServerRefusesIsAnError) {
    fs::create_directory(server() / "closed");
    fs::permissions(server() / "closed", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    EXPECT_EQ(errorOf([&] { createExclusive(b().onShare("closed/Locked.lck"), "x"); }), platform::kPermissionDenied);
    EXPECT_EQ(errorOf([&] { createExclusive(b().onShare("missing/Locked.lck"), "x"); }), platform::kPathNotFound);
    EXPECT_FALSE(fs::exists(server() / "closed" / "Locked.lck"));
}

struct SeenCase {
    const char* what;
    bool existsFirst;  // on the server when machine B looks
    bool existsThen;   // after machine A's change
};

// Machine B looked at a name, then another machine created or removed the file: B's presence test,
// exclusive create and creating opens answer for the file as it is now.
TEST_F(ShareFiles, WhatTheOtherMachineCreatedOrRemovedIsSeenAtOnce) {
    const SeenCase cases[] = {
        {"removed by A after B saw it", true, false},
        {"created by A after B missed it", false, true},
        {"still there", true, true},
    };
    int n = 0;
    for (const SeenCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "seen" + std::to_string(n++);
        if (c.existsFirst) writeBytes(server() / name, "A\r\n");
        lookUpOnB(name);
        EXPECT_EQ(fileExists(b().onShare(name)), c.existsFirst);
        if (c.existsThen && !c.existsFirst) writeBytes(server() / name, "A\r\n");
        if (!c.existsThen) fs::remove(server() / name);

        EXPECT_EQ(fileExists(b().onShare(name)), c.existsThen);
        EXPECT_EQ(createExclusive(b().onShare(name), "B\r\n"), !c.existsThen);
        EXPECT_EQ(readBytes(server() / name), c.existsThen ? "A\r\n" : "B\r\n");
    }
}

// A list that another machine removed after machine B read it is created anew by B's append.
TEST_F(ShareFiles, AnAppendCreatesAListTheOtherMachineRemoved) {
    writeBytes(server() / "Files.dat", "N:\\Docs\\old.doc\r\n");
    EXPECT_EQ(shared::readLines(b().onShare("Files.dat")).size(), 1u);
    fs::remove(server() / "Files.dat");
    shared::appendLine(b().onShare("Files.dat"), "N:\\Docs\\new.doc");
    EXPECT_EQ(readBytes(server() / "Files.dat"), "N:\\Docs\\new.doc\r\n");
}

// Lines that machine A appended are read by machine B, which had read the shorter list.
TEST_F(ShareFiles, ListReadsSeeWhatTheOtherMachineAppended) {
    VARKEL_NEEDS_FRESH_CONTENTS();
    shared::writeLines(a().onShare("Locked.dat"), {"N:\\Docs\\a.doc", "N:\\Docs\\b.doc"});
    EXPECT_EQ(shared::readLines(b().onShare("Locked.dat")).size(), 2u);
    shared::appendLine(a().onShare("Locked.dat"), "N:\\Docs\\c.doc");
    EXPECT_TRUE(shared::containsLine(b().onShare("Locked.dat"), "N:\\Docs\\c.doc", shared::Case::Exact));
    EXPECT_EQ(shared::readLines(b().onShare("Locked.dat")).size(), 3u);
}

// A list that machine B saw empty and machine A then wrote is read whole by B at once.
TEST_F(ShareFiles, AListSeenEmptyIsReadWholeOnceTheOtherMachineWroteIt) {
    VARKEL_NEEDS_FRESH_CONTENTS();
    writeBytes(server() / "Files.dat", "");
    EXPECT_TRUE(shared::readLines(b().onShare("Files.dat")).empty());
    shared::writeLines(a().onShare("Files.dat"), {"N:\\Docs\\a.doc", "N:\\Docs\\b.doc"});
    EXPECT_EQ(shared::readLines(b().onShare("Files.dat")).size(), 2u);
    EXPECT_TRUE(shared::containsLine(b().onShare("Files.dat"), "N:\\Docs\\b.doc", shared::Case::Exact));
}

// A list rewritten by one account keeps the mode and group it had, so the other account can
// still change it, whatever file-creation mask the rewriting program runs with.
TEST_F(ShareFiles, AListRewrittenByOneAccountStaysWritableForTheOther) {
    shared::writeLines(a().onShare("Locked.dat"), {"N:\\Docs\\a.doc", "N:\\Docs\\b.doc"});
    fs::permissions(server() / "Locked.dat", fs::perms(0664));
    const mode_t previous = ::umask(022);
    shared::unlockDocument(b().network(), "N:\\Docs\\a.doc");
    ::umask(previous);
    struct stat st {};
    ASSERT_EQ(::stat((server() / "Locked.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "N:\\Docs\\b.doc\r\n");
    if (staleContents()) return;  // A's client still serves the list it wrote itself
    EXPECT_EQ(shared::lockDocument(a().network(), "N:\\Docs\\c.doc"), shared::LockResult::Granted);
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "N:\\Docs\\b.doc\r\nN:\\Docs\\c.doc\r\n");
}

// The console's presence test on one machine never deletes a list the other has written.
TEST_F(ShareFiles, ThePresenceTestKeepsAListTheOtherMachineWrote) {
    VARKEL_NEEDS_FRESH_CONTENTS();
    writeBytes(server() / "Locked.dat", "");
    EXPECT_FALSE(shared::FilePresent(b().onShare("Locked.dat")));
    shared::writeLines(a().onShare("Locked.dat"), {"N:\\Docs\\a.doc"});
    EXPECT_TRUE(shared::FilePresent(b().onShare("Locked.dat")));
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "N:\\Docs\\a.doc\r\n");
}

// A mount with the client's default caches draws the start-up warning naming the options that
// fix it; one mounted with them draws none.
TEST_F(ShareFiles, ACachingMountIsNamedWithTheOptionsThatFixIt) {
    for (const ShareMachine& m : machines()) {
        const std::string warning = platform::networkFolderCacheWarning(m.network());
        if (shareVariable("CACHE") != "uncached") {
            EXPECT_NE(warning.find(m.network()), std::string::npos) << warning;
            EXPECT_NE(warning.find("dir_cache=no,attr_timeout=0,entry_timeout=0,negative_timeout=0"), std::string::npos)
                << warning;
        } else {
            EXPECT_EQ(warning, "");
        }
    }
}

}  // namespace
}  // namespace varkel::test
