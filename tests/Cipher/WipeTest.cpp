// Secure deletion.
#include "Operations.h"
#include "TestSupport.h"

#include <filesystem>

namespace varkel::cipher {
namespace {

namespace fs = std::filesystem;
using WipeTest = test::ScratchFolder;

// A second hard link sees what the first pass writes into the file before it is deleted.
TEST_F(WipeTest, FirstPassBlanksWholeRecordsCoveringTheFile) {
    struct Case {
        size_t length;
        size_t blanks;  // round-half-even(length / 1000 + 1) records
    };
    const Case cases[] = {{2500, 4000}, {1400, 2000}, {1500, 2000}, {3500, 4000}, {999, 2000}, {0, 1000}, {3000, 4000}};
    for (const Case& c : cases) {
        test::writeBytes("doc.bin", test::randomBytes(c.length, 1));
        fs::create_hard_link("doc.bin", "peek.bin");
        ModuleState m;
        KillTheFile(m, "doc.bin");
        EXPECT_FALSE(fs::exists("doc.bin")) << c.length;
        EXPECT_EQ(test::readBytes("peek.bin"), std::string(c.blanks, ' ')) << c.length;
        fs::remove("peek.bin");
    }
}

TEST_F(WipeTest, MissingFileIsNoErrorAndLeavesNothing) {
    ModuleState m;
    EXPECT_NO_THROW(KillTheFile(m, "absent.bin"));
    EXPECT_FALSE(fs::exists("absent.bin"));
}

TEST_F(WipeTest, KillFileTrimsTrailingBlanks) {
    test::writeBytes("notes.txt", "secret");
    ModuleState m;
    std::string cmd = "notes.txt   ";
    VrkKillFile(m, cmd);
    EXPECT_FALSE(fs::exists("notes.txt"));
    EXPECT_FALSE(fs::exists("notes.txt   "));
}

}  // namespace
}  // namespace varkel::cipher
