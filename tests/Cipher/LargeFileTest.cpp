// Files beyond 2 GiB. Opt-in (VARKEL_LARGE_TESTS=1): it moves several GiB through the disk.
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"

#include <cstdlib>
#include <fstream>

namespace varkel::cipher {
namespace {

namespace fs = std::filesystem;

class LargeFile : public test::ScratchFolder {};

// Patterns at the start, across the 2 GiB boundary and at the end of a sparse file.
const uint64_t kSize = (uint64_t{1} << 31) + 12345;
const uint64_t kMarks[] = {0, (uint64_t{1} << 31) - 1000, kSize - 4096};

void writeAt(const fs::path& file, uint64_t offset, const std::string& bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readAt(const fs::path& file, uint64_t offset, size_t size) {
    std::ifstream f(file, std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(size, '\0');
    f.read(bytes.data(), static_cast<std::streamsize>(size));
    return bytes;
}

TEST_F(LargeFile, RoundTripsBeyondTwoGibibytes) {
    if (std::getenv("VARKEL_LARGE_TESTS") == nullptr) GTEST_SKIP() << "set VARKEL_LARGE_TESTS=1 to run";
    { std::ofstream create("big.bin"); }
    fs::resize_file("big.bin", kSize);
    for (uint64_t mark : kMarks) writeAt("big.bin", mark, test::randomBytes(4096, static_cast<uint32_t>(mark)));
    ModuleState m;
    std::string key = "123456789";
    VrkGenBinaryKeys(m, key);
    std::string cmd = "big.bin big.enc";
    VrkBinaryFileEnc(m, cmd);
    EXPECT_EQ(fs::file_size("big.enc"), kSize);
    EXPECT_EQ(m.OutputRecordNo, static_cast<int32_t>(kSize / 1000));
    cmd = "big.enc";
    VrkBinaryFileDec(m, cmd);
    for (uint64_t mark : kMarks) EXPECT_EQ(readAt("big.enc", mark, 4096), readAt("big.bin", mark, 4096)) << mark;
}

}  // namespace
}  // namespace varkel::cipher
