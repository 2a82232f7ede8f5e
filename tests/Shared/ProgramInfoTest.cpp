// The two programs answer --help and --version on standard output without a display, and
// make no window for them.
#include "ChildProcess.h"
#include "TestSupport.h"
#include "VarkelVersion.h"

namespace varkel {
namespace {

using test::Outcome;
using test::runProgram;

// Without any display, so that a program that made its window anyway would fail.
Outcome runWithoutDisplay(const std::string& program, const std::string& args) {
    return runProgram("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + program + " " + args);
}

TEST(ProgramInfo, BothProgramsAnswerHelpAndVersion) {
    const struct {
        const char* name;
        const char* path;
        const char* purpose;  // a phrase of its help
    } programs[] = {
        {"VrkWinAdmin", VRKWINADMIN_BINARY, "The administrator console"},
        {"VrkWin", VRKWIN_BINARY, "The user launcher"},
    };
    for (const auto& p : programs) {
        const Outcome version = runWithoutDisplay(p.path, "--version");
        EXPECT_EQ(version.status, 0) << p.name << ": " << version.err;
        EXPECT_EQ(version.out, std::string(p.name) + " (Varkel) " + kVersion + "\n");
        EXPECT_EQ(version.err, "") << p.name;

        for (const char* option : {"--help", "-h"}) {
            const Outcome help = runWithoutDisplay(p.path, option);
            EXPECT_EQ(help.status, 0) << p.name << " " << option << ": " << help.err;
            EXPECT_EQ(help.out.rfind(std::string("usage: ") + p.name + " [--help | --version]\n", 0), 0u) << help.out;
            EXPECT_NE(help.out.find(p.purpose), std::string::npos) << help.out;
            EXPECT_NE(help.out.find("network.dat"), std::string::npos) << help.out;
            EXPECT_EQ(help.err, "") << p.name;
        }
    }
}

}  // namespace
}  // namespace varkel
