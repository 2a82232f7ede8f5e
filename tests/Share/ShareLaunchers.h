// Launchers on the share's machines: an installation in the share (key, application list, an
// application that appends the edit it is handed), the real launcher window in a process of
// its own per machine (tests/User/LauncherDriver.cpp), and the cipher for the checks.
#pragma once

#include "ShareSupport.h"
#include "Spawn.h"

#include "VarkelSDK.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/wait.h>

namespace varkel::test {

inline const std::string kShareKey = "123456789";

class ShareLaunchers : public ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        if (IsSkipped()) return;
        std::string pattern = (std::filesystem::temp_directory_path() / "varkel-share-test-XXXXXX").string();
        local_ = ::mkdtemp(pattern.data());
        previous_ = std::filesystem::current_path();
        // In the sanitizer build, a launcher started here may end with a Qt-internal allocation
        // whose stack shows nothing but Qt, depending on timing; such reports are left out for
        // them (this process keeps the full leak check).
        writeBytes(local_ / "leaks.supp", "leak:libQt6Core.so\n");
        ::setenv("LSAN_OPTIONS", ("suppressions=" + (local_ / "leaks.supp").string()).c_str(), 1);
        writeBytes(server() / "key.dat", kShareKey + "\r\n");
        std::filesystem::create_directories(server() / "Docs");
        // The application: appends the text of next-edit beside it to the file it is given,
        // and notes the file's name in edits.log there; with a file "slow" there it takes its
        // time before the edit, with "linger" after it (its process id in app.pid).
        const auto editor = local_ / "edit.sh";
        writeBytes(editor, "#!/bin/sh\n[ \"$#\" -eq 1 ] || exit 3\nhere=$(dirname \"$0\")\n"
                           "[ -e \"$here/slow\" ] && sleep 0.3\ncat \"$here/next-edit\" >> \"$1\"\nbasename \"$1\" >> \"$here/edits.log\"\n"
                           "[ -e \"$here/linger\" ] && echo $$ > \"$here/app.pid\" && sleep 2\nexit 0\n");
        ::chmod(editor.c_str(), 0755);
        writeBytes(server() / "apps.dat", "Edit:" + platform::windowsPath(editor) + "\r\n");
        for (const ShareMachine& m : machines()) {
            std::filesystem::remove_all(m.work);
            std::filesystem::create_directories(m.work);
            writeBytes(m.work / "network.dat", "N:\\\r\n");
        }
    }
    void TearDown() override {
        if (!local_.empty()) {
            ::unsetenv("LSAN_OPTIONS");
            std::filesystem::current_path(previous_);
            std::filesystem::remove_all(local_);
        }
        ShareTest::TearDown();
    }

    // Runs the launcher of machine `m` in its working folder on `document` (N:\...), the
    // application appending `edit`; its exit status (-signal when killed), and what it said.
    struct Run {
        int status = -1;
        std::string said;
    };
    Run runLauncher(const ShareMachine& m, const std::string& document, const std::string& edit,
                    const std::vector<std::string>& options = {}) {
        const pid_t pid = startLauncher(m, document, edit, options);
        return {waitForExit(pid), readBytes(local_ / "launcher.err")};
    }
    // The same, not waiting for its end: what it says goes to launcher.err in local().
    pid_t startLauncher(const ShareMachine& m, const std::string& document, const std::string& edit,
                        const std::vector<std::string>& options = {}) {
        writeBytes(local_ / "next-edit", edit);
        const auto errors = local_ / "launcher.err";
        std::filesystem::remove(errors);
        std::vector<std::string> words = {m.run.string(), LAUNCHER_DRIVER, document};
        words.insert(words.end(), options.begin(), options.end());
        std::filesystem::current_path(m.work);
        const pid_t pid = spawn(words, errors);
        std::filesystem::current_path(previous_);
        return pid;
    }

    // Encrypts `plain` into the server's file `name` under the share's key and lists it among
    // the network folder's encrypted documents, as the console would.
    void encryptOnServer(const std::string& name, const std::string& plain) {
        writeBytes(server() / name, plain);
        cipher("VrkBinaryFileEnc", quotedName(server() / name));
        std::string entry = "N:\\" + name;
        std::replace(entry.begin(), entry.end(), '/', '\\');
        writeBytes(server() / "Files.dat", readBytes(server() / "Files.dat") + entry + "\r\n");
    }
    // The plaintext of the server's file `name` under `key`.
    std::string decryptOnServer(const std::string& name, const std::string& key = kShareKey) {
        const auto out = local_ / "check.out";
        std::filesystem::remove(out);
        cipher("VrkBinaryFileDec", quotedName(server() / name) + " " + platform::windowsPath(out), key);
        return readBytes(out);
    }
    // Files a machine's launcher left in its working folder, beside network.dat.
    static std::vector<std::string> leftInWorkingFolder(const ShareMachine& m) {
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(m.work)) {
            const std::string name = entry.path().filename();
            if (name != "network.dat" && name != "Vrkdec.dat") left.push_back(name);
        }
        return left;
    }
    const std::filesystem::path& local() const { return local_; }
    const std::filesystem::path& testFolder() const { return previous_; }

    static pid_t spawn(const std::vector<std::string>& words, const std::filesystem::path& errors) {
        return test::spawn(words, errors);
    }
    // The exit status, or -signal; a process still running after `limit` is killed (-100).
    static int waitForExit(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(120)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                ADD_FAILURE() << "process " << pid << " did not end";
                return -100;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

private:
    static std::string quotedName(const std::filesystem::path& file) {
        const std::string name = platform::windowsPath(file);
        return name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
    }
    // One call into the cipher library, its scratch files in a folder of their own.
    void cipher(const std::string& op, std::string arg, const std::string& key = kShareKey) {
        std::filesystem::create_directories(local_ / "checks");
        std::filesystem::current_path(local_ / "checks");
        SdkObject sdk;
        std::string keyArg = key;
        EXPECT_EQ(sdk->VrkGenBinaryKeys(keyArg), 0);
        EXPECT_EQ(op == "VrkBinaryFileEnc" ? sdk->VrkBinaryFileEnc(arg) : sdk->VrkBinaryFileDec(arg), 0) << op << " " << arg;
        std::filesystem::current_path(previous_);
    }

    std::filesystem::path local_;
    std::filesystem::path previous_;
};

}  // namespace varkel::test
