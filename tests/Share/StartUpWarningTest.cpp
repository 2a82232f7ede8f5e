// Both programs started on machine A of the share: where its mount caches names and
// attributes, each says so once, naming the mount options that fix it; on a mount without
// those caches they say nothing.
#include "ShareSupport.h"

#include "Dialogs.h"
#include "Form1.h"
#include "MainWindow.h"

#include <functional>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;

class RecordingDialogs : public shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override { messages.push_back(text.toStdString()); }
    bool askYesNo(QWidget*, const QString& text, const QString&) override {
        messages.push_back("unexpected question: " + text.toStdString());
        return false;
    }
    [[noreturn]] void fatal(QWidget*, const QString& text) override { throw std::runtime_error(text.toStdString()); }
    std::vector<std::string> messages;
};

// A program's main window, started and closed again.
struct Program {
    const char* name;
    std::function<void()> startAndClose;
};

class StartUpWarning : public ShareTest, public ::testing::WithParamInterface<Program> {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        if (IsSkipped()) return;
        writeBytes(server() / "key.dat", "123456789\r\n");
        writeBytes(server() / "apps.dat", "Edit:C:\\bin\\true\r\n");
        fs::remove_all(machine(0).work);
        fs::create_directories(machine(0).work);
        writeBytes(machine(0).work / "network.dat", "N:\\\r\n");
        previous_ = fs::current_path();
        fs::current_path(machine(0).work);
        const char* config = std::getenv("XDG_CONFIG_HOME");
        previousConfig_ = config == nullptr ? "" : config;
        ::setenv("XDG_CONFIG_HOME", machine(0).config.c_str(), 1);
        shared::Dialogs::install(&dialogs_);
    }
    void TearDown() override {
        if (previous_.empty()) return;
        shared::Dialogs::install(nullptr);
        ::setenv("XDG_CONFIG_HOME", previousConfig_.c_str(), 1);
        fs::current_path(previous_);
    }
    RecordingDialogs dialogs_;

private:
    fs::path previous_;
    std::string previousConfig_;
};

TEST_P(StartUpWarning, SaysOnceWhatTheMountLacks) {
    GetParam().startAndClose();
    const std::string cache = shareVariable("CACHE");
    if (cache == "uncached") {
        EXPECT_EQ(dialogs_.messages, std::vector<std::string>{});
        return;
    }
    ASSERT_EQ(dialogs_.messages.size(), 1u) << cache << ": " << ::testing::PrintToString(dialogs_.messages);
    const std::string& said = dialogs_.messages[0];
    EXPECT_EQ(said.rfind("The network folder N:\\ is mounted with client caches", 0), 0u) << said;
    EXPECT_NE(said.find("Mount it with the options dir_cache=no,attr_timeout=0,entry_timeout=0,negative_timeout=0."),
              std::string::npos)
        << said;
}

const Program kPrograms[] = {
    {"Launcher",
     [] {
         user::Form1 window;
         window.show();
         window.close();
     }},
    {"Console",
     [] {
         admin::MainWindow window;
         window.show();
         window.close();
     }},
};

void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

INSTANTIATE_TEST_SUITE_P(Share, StartUpWarning, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varkel::test
