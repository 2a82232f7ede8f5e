// Library-level measurements: key set-up, string operations, the engine on each kernel, a batch
// of small files as a folder encryption does them, expanded files and the literal algorithm.
// Run from an empty scratch folder (bench/run.sh does): the operations write their scratch
// files into the current folder.
#include "CipherStream.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "WheelEngine.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using namespace varkel::cipher;
namespace fs = std::filesystem;

constexpr const char* kKey = "271828182845";

std::string randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

std::string randomText(size_t size, uint32_t seed) {
    const std::string alphabet = varkel::reference::textAlphabet();
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

void writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ModuleState& keyedState(bool text) {
    static ModuleState m = [] {
        ModuleState s;
        std::string key = kKey;
        VrkGenBinaryKeys(s, key);
        key = kKey;
        VrkGenTextKeys(s, key);
        return s;
    }();
    (void)text;
    return m;
}

void setBytes(benchmark::State& state, size_t bytesPerIteration) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytesPerIteration));
}

void KeySetup(benchmark::State& state) {
    ModuleState m;
    for (auto _ : state) {
        std::string key = kKey;
        VrkGenBinaryKeys(m, key);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(KeySetup)->Unit(benchmark::kMicrosecond);

// The string operations (each loads, saves and resets the wheel state files).
void StringOp(benchmark::State& state, void (*op)(ModuleState&, std::string&), bool text) {
    ModuleState& m = keyedState(text);
    const size_t size = static_cast<size_t>(state.range(0));
    const std::string input = text ? randomText(size, 1) : randomBytes(size, 1);
    for (auto _ : state) {
        std::string s = input;
        op(m, s);
        benchmark::DoNotOptimize(s);
    }
    setBytes(state, size);
}
BENCHMARK_CAPTURE(StringOp, VrkBEnc, VrkBEnc, false)->Arg(16)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StringOp, VrkBDec, VrkBDec, false)->Arg(16)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StringOp, VrkTEnc, VrkTEnc, true)->Arg(16)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StringOp, VrkTDec, VrkTDec, true)->Arg(16)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);

// The engine alone, in memory, on one kernel (all cores).
void Engine(benchmark::State& state, EnginePath path, bool text, bool decipher) {
    if (!setEnginePath(path)) {
        state.SkipWithError("kernel not supported on this processor");
        return;
    }
    ModuleState& base = keyedState(text);
    PrepareCipher(base, text ? kTextMode : kBinaryMode);
    LoadWheels(base, text ? kTextMode : kBinaryMode);
    const size_t size = 64 << 20;
    std::string data = text ? randomText(size, 2) : randomBytes(size, 2);
    for (auto _ : state) {
        ModuleState m = base;
        CipherStream stream(m);
        auto* bytes = reinterpret_cast<uint8_t*>(data.data());
        decipher ? stream.decipher(bytes, size) : stream.encipher(bytes, size);
        stream.finish();
    }
    setBytes(state, size);
    setEnginePath(EnginePath::Auto);
}
BENCHMARK_CAPTURE(Engine, ScalarBinaryEnc, EnginePath::Scalar, false, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, ScalarBinaryDec, EnginePath::Scalar, false, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Avx512BinaryEnc, EnginePath::Avx512, false, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Avx512BinaryDec, EnginePath::Avx512, false, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Avx512TextEnc, EnginePath::Avx512, true, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Avx512TextDec, EnginePath::Avx512, true, true)->Unit(benchmark::kMillisecond)->UseRealTime();

// A folder encryption: 2000 files of 16 KiB, one VrkBinaryFileEnc each, in place.
void Batch2000Files16KiB(benchmark::State& state) {
    ModuleState& m = keyedState(false);
    fs::create_directories("batch");
    const std::string content = randomBytes(16 << 10, 3);
    for (int i = 0; i < 2000; ++i) writeFile("batch/f" + std::to_string(i), content);
    for (auto _ : state) {
        for (int i = 0; i < 2000; ++i) {
            std::string cmd = "batch/f" + std::to_string(i);
            VrkBinaryFileEnc(m, cmd);
        }
    }
    setBytes(state, 2000u << 14);
    fs::remove_all("batch");
}
BENCHMARK(Batch2000Files16KiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// Expanded binary files of 16 MiB: encryption in place, decryption to a new file.
// Besides the plaintext rate, `expanded_bytes_per_second` gives the rate in bytes of the
// expanded file (written by the encryption, read by the decryption).
void ExpandedBinary16MiB(benchmark::State& state, bool decrypt) {
    ModuleState& m = keyedState(false);
    const size_t size = 16 << 20;
    const std::string content = randomBytes(size, 4);
    uint64_t expanded = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeFile("expanded.bin", content);
        fs::remove("plain.bin");
        if (decrypt) {
            std::string cmd = "expanded.bin";
            VrkBExpandFileEnc(m, cmd);
        }
        state.ResumeTiming();
        std::string cmd = decrypt ? "expanded.bin plain.bin" : "expanded.bin";
        decrypt ? VrkBExpandFileDec(m, cmd) : VrkBExpandFileEnc(m, cmd);
        state.PauseTiming();
        expanded += fs::file_size("expanded.bin");
        state.ResumeTiming();
    }
    setBytes(state, size);
    state.counters["expanded_bytes_per_second"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
    fs::remove("expanded.bin");
    fs::remove("plain.bin");
}
BENCHMARK_CAPTURE(ExpandedBinary16MiB, Enc, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExpandedBinary16MiB, Dec, true)->Unit(benchmark::kMillisecond)->UseRealTime();

// The literal algorithm (strings and searches) on a 256 KiB sample.
void Literal(benchmark::State& state, bool text, bool decipher) {
    const auto key = varkel::reference::setUp(kKey, text);
    const size_t size = 256 << 10;
    const std::string data = text ? randomText(size, 5) : randomBytes(size, 5);
    for (auto _ : state) {
        auto machine = varkel::reference::Machine::fromKey(key, text);
        benchmark::DoNotOptimize(decipher ? varkel::reference::decipher(machine, data)
                                          : varkel::reference::encipher(machine, data));
    }
    setBytes(state, size);
}
BENCHMARK_CAPTURE(Literal, BinaryEnc, false, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Literal, BinaryDec, false, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Literal, TextEnc, true, false)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
