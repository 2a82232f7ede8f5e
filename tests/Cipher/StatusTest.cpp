// Statuses of the operations through the SDK class, for states a caller can reach: each is a
// run-time error number, never the library's internal-error status.
#include "Sdk.h"
#include "TestSupport.h"

#include <functional>
#include <thread>

namespace varkel::cipher {
namespace {

using test::readBytes;
using test::writeBytes;

class StatusTest : public test::ScratchFolder {
protected:
    // Runs `calls` on a fresh SDK object in a thread of its own, so that it starts from the
    // module state of a newly loaded library.
    void onFreshThread(const std::function<void(_SDK&)>& calls) {
        std::thread([&] {
            auto* sdk = new SDK;
            calls(*sdk);
            sdk->Release();
        }).join();
    }
};

// An expanded decryption called on its own, before any operation chose an alphabet.
TEST_F(StatusTest, DecryptionLoopWithoutAlphabet) {
    struct Case {
        const char* input;
        int32_t status;  // taking symbol 0 fails with 5; nothing to take is no failure
    };
    for (const Case c : {Case{"abc", 5}, Case{"", 0}}) {
        writeBytes("a.bin", c.input);
        int32_t status = -1;
        onFreshThread([&](_SDK& sdk) {
            std::string key = "123456789";
            std::string cmd = "a.bin b.bin";
            ASSERT_EQ(sdk.VrkGenBinaryKeys(key), 0);
            ASSERT_EQ(sdk.VrkXScrambleFile(cmd), 0);
            status = sdk.DecryptShotGun();
        });
        EXPECT_EQ(status, c.status) << c.input;
        EXPECT_EQ(readBytes("a.bin"), c.input);
    }
}

}  // namespace
}  // namespace varkel::cipher
