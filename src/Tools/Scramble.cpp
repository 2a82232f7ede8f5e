// vrk scramble / vrk xscramble: byte-order reversal of a file, each its own inverse.
#include "Commands.h"
#include "Session.h"

#include <charconv>
#include <iostream>
#include <optional>

namespace varkel::tools {
namespace {

const char* const kScrambleHelp =
    "usage: vrk scramble [-q] BLOCKS:SIZE FILE\n"
    "\n"
    "Reverses the byte order of FILE in place: with BLOCKS 1 the whole file (SIZE is then not\n"
    "used and may be 0), otherwise each of the first BLOCKS blocks of SIZE bytes; the rest of\n"
    "the file stays. Running the same command again restores the file. A whole-file scramble\n"
    "keeps a reversed copy in turnabot.dat in the current folder while it runs. No key is used.\n";

const char* const kXScrambleHelp =
    "usage: vrk xscramble (--key DIGITS | --key-file PATH) [-q] [--keep-keys] [-f] FILE [OUT]\n"
    "\n"
    "Reverses consecutive blocks of FILE whose lengths the key chooses. Without OUT, FILE is\n"
    "replaced (through expand.dat in the current folder); running the same command again under\n"
    "the same key restores it. OUT must not exist unless -f (--force).\n"
    "\n";

int32_t count(const std::string& text, const char* what) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        throw UsageError(std::string(what) + " must be a whole number from 0 to 2147483647");
    return value;
}

// A failed call, or a refusal that the library answers in the command string.
bool scrambleResult(int32_t result, const std::string& cmd, const std::string& before, const std::string& shown,
                    std::ostream& err) {
    if (result != 0) {
        report(err, shown, result);
        return false;
    }
    if (cmd == before || cmd.rfind("Error", 0) != 0) return true;
    report(err, FileProblem{shown, 0, cmd});
    return false;
}

}  // namespace

int runScramble(const Arguments& args, std::ostream& out, std::ostream& err) {
    return runSubcommand("scramble", kScrambleHelp, args, 0, out, err, [&](const Options& o) {
        if (o.operands.size() != 2) throw UsageError("give BLOCKS:SIZE and FILE");
        const std::string& request = o.operands[0];
        const size_t colon = request.find(':');
        if (colon == std::string::npos) throw UsageError("the first argument is BLOCKS:SIZE, e.g. 1:0 or 4:512");
        const int32_t blocks = count(request.substr(0, colon), "BLOCKS");
        const int32_t size = count(request.substr(colon + 1), "SIZE");
        if (blocks == 0) throw UsageError("BLOCKS must be at least 1");
        if (blocks > 1 && size == 0) throw UsageError("SIZE must be at least 1 for more than one block");

        const NamedFile file = nameFile(o.operands[1]);
        checkInput(file, true);
        if (blocks == 1) checkScratchFree("turnabot.dat");
        // Everything after the second colon is the file name, so a drive letter may follow.
        const std::string before = std::to_string(blocks) + ':' + std::to_string(size) + ':' + file.library;
        return runWithoutKeys([&](_SDK& sdk) {
            std::string cmd = before;
            const int32_t result = withProgress(file, o.quiet, [&] { return sdk.VrkScrambleFile(cmd); });
            return scrambleResult(result, cmd, before, file.shown, err);
        });
    });
}

int runXScramble(const Arguments& args, std::ostream& out, std::ostream& err) {
    const std::string help = std::string(kXScrambleHelp) + kKeyHelp;
    const unsigned allowed = kKeyOption | kKeepKeysOption | kForceOption;
    return runSubcommand("xscramble", help.c_str(), args, allowed, out, err, [&](const Options& o) {
        if (o.operands.empty() || o.operands.size() > 2) throw UsageError("give FILE and optionally OUT");
        const std::string key = resolveKey(o, std::cin);
        const FileOrOutput files = chooseFileOrOutput(o.operands, o.force);
        const NamedFile& input = files.input;
        const std::string& before = files.cmd;
        return runWithKeys(key, KeyMode::Binary, o.keepKeys, err, [&](_SDK& sdk) {
            std::string cmd = before;
            const int32_t result = withProgress(input, o.quiet, [&] { return sdk.VrkXScrambleFile(cmd); });
            return scrambleResult(result, cmd, before, files.shownOnFailure().shown, err);
        });
    });
}

}  // namespace varkel::tools
