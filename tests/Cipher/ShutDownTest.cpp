#include "BothKeys.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "VbError.h"

namespace varkel::cipher {
namespace {

using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

const char* const kScratchFiles[] = {"k1.tcr", "k1.trs", "k1.bcr", "k1.brs", "k1.txt", "k1.bin", "k2.txt", "k2.bin",
                                     "k3.txt", "k3.bin", "k4.txt", "k4.bin", "k5.txt", "k5.bin", "k6.dat"};

class ShutDown : public test::ScratchFolder {
protected:
    void shutDown() {
        std::string cmd = "unchanged";
        VrkShutDown(m, cmd);
        EXPECT_EQ(cmd, "unchanged");
    }
    ModuleState m;
};

TEST_F(ShutDown, DeletesEveryScratchFileTwiceInARow) {
    test::setUpBothKeys(m, "123456789");
    writeBytes("Vrkdec.dat", std::string(80, ' '));
    shutDown();
    for (const char* f : kScratchFiles) EXPECT_FALSE(fs::exists(f)) << f;
    EXPECT_EQ(readBytes("Vrkdec.dat"), std::string(80, ' '));
    shutDown();
    for (const char* f : kScratchFiles) EXPECT_FALSE(fs::exists(f)) << f;
}

TEST_F(ShutDown, OverwritesKeyMaterialInPlaceAfterABinaryOnlySetUp) {
    std::string key = "987654321";
    VrkGenBinaryKeys(m, key);
    // A second name for each file keeps its content readable after the deletion.
    for (const char* f : {"k1.bin", "k1.bcr", "k2.bin", "k3.bin", "k4.bin", "k6.dat"})
        fs::create_hard_link(f, std::string("saved-") + f);
    shutDown();
    EXPECT_EQ(readBytes("saved-k1.bin"), std::string(256 * 20, '@'));
    EXPECT_EQ(readBytes("saved-k1.bcr"), std::string(256 * 20, '@'));
    EXPECT_EQ(readBytes("saved-k3.bin"), std::string(20, ' ') + std::string(80, '\0'));
    EXPECT_EQ(readBytes("saved-k2.bin").substr(0, 5), "0 0\r\n");
    std::string crosses;
    for (int i = 0; i < 20; ++i) crosses += "xxxxx\r\n";
    EXPECT_EQ(readBytes("saved-k4.bin"), crosses);
    EXPECT_EQ(readBytes("saved-k6.dat"), crosses);
}

TEST_F(ShutDown, WithoutAnySetUpWheelFilesAreBlanked) {
    writeBytes("k1.txt", std::string(151 * 20, 'k'));
    fs::create_hard_link("k1.txt", "saved");
    shutDown();
    EXPECT_EQ(readBytes("saved"), std::string(151 * 20, ' '));
    EXPECT_FALSE(fs::exists("k1.txt"));
}

TEST_F(ShutDown, GoesOnPastAFileItCannotHandleAndReportsTheFirstError) {
    std::string key = "123456789";
    VrkGenBinaryKeys(m, key);
    fs::create_directory("k4.txt");  // cannot be opened or deleted as a file
    std::string cmd;
    try {
        VrkShutDown(m, cmd);
        ADD_FAILURE() << "no error reported";
    } catch (const platform::VbError& e) {
        EXPECT_EQ(e.number(), 75);
    }
    for (const char* f : kScratchFiles) {
        if (std::string(f) != "k4.txt") {
            EXPECT_FALSE(fs::exists(f)) << f;
        }
    }
}

}  // namespace
}  // namespace varkel::cipher
