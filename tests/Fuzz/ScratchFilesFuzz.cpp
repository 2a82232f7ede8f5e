// The scratch files k1-k6 as arbitrary bytes, then the operations that read them: string and
// file encryption, expanded files, the key-driven scramble and the shut-down.
#include "FuzzSupport.h"
#include "Module.h"
#include "Operations.h"

#include <array>

using namespace varkel;

namespace {

// The files a piece of the input becomes, in order; the first byte chooses the mode.
constexpr std::array<const char*, 7> kBinaryFiles = {"k1.bcr", "k1.brs", "k2.bin", "k3.bin", "k4.bin", "k5.bin", "k6.dat"};
constexpr std::array<const char*, 7> kTextFiles = {"k1.tcr", "k1.trs", "k2.txt", "k3.txt", "k4.txt", "k5.txt", "k6.dat"};

void run(cipher::ModuleState& m, void (*op)(cipher::ModuleState&, std::string&), const char* cmd) {
    std::string c = cmd;
    fuzz::tolerateVbError([&] { op(m, c); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::enterScratchFolder();
    if (size == 0) return 0;
    const bool text = data[0] & 1;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (const char* file : text ? kTextFiles : kBinaryFiles) fuzz::writeFile(file, fuzz::nextPiece(rest));
    fuzz::writeFile("doc.bin", "A short document\r\nof two lines.");
    for (const char* out : {"out.bin", "doc.enc", "doc.dec", "exp.bin", "back.bin", "xs.bin", "Vrkdec.dat"})
        std::remove(out);

    cipher::ModuleState m;
    // A master table as a key set-up leaves it, so that the wheel order moves.
    std::string seed = "090";
    cipher::GenerateMsterKeys(m, seed);
    if (text) {
        run(m, cipher::VrkTEnc, "hello\r\nworld");
        run(m, cipher::VrkTDec, "hello");
        run(m, cipher::VrkTextFileEnc, "doc.bin");
        run(m, cipher::VrkTExpandFileEnc, "doc.bin exp.bin");
        run(m, cipher::VrkTExpandFileDec, "exp.bin back.bin");
    } else {
        run(m, cipher::VrkBEnc, "hello");
        run(m, cipher::VrkBDec, "hello");
        run(m, cipher::VrkBinaryFileEnc, "doc.bin out.bin");
        run(m, cipher::VrkBExpandFileEnc, "doc.bin exp.bin");
        run(m, cipher::VrkBExpandFileDec, "exp.bin back.bin");
    }
    run(m, cipher::VrkXScrambleFile, "doc.bin xs.bin");
    run(m, cipher::VrkShutDown, "");
    return 0;
}
