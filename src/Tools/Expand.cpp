// vrk expand-encrypt / vrk expand-decrypt: files in the expanded format, in which every
// enciphered symbol is followed by a key-driven number of enciphered fillers.
#include "Commands.h"
#include "Session.h"

#include <iostream>
#include <optional>

namespace varkel::tools {
namespace {

const char* const kExpandEncryptHelp =
    "usage: vrk expand-encrypt (--key DIGITS | --key-file PATH) [-q] [--text] [--keep-keys] [-f] FILE [OUT]\n"
    "\n"
    "Encrypts FILE into the expanded format, which is longer than the plain file: after every\n"
    "symbol come filler symbols in numbers that the key chooses. Without OUT, FILE is replaced\n"
    "(through expand.dat in the current folder). OUT must not exist unless -f (--force).\n"
    "--text works in text mode: line feeds and characters outside the text alphabet are\n"
    "dropped.\n"
    "\n";

const char* const kExpandDecryptHelp =
    "usage: vrk expand-decrypt (--key DIGITS | --key-file PATH) [-q] [--text] [--keep-keys] [-f] FILE [OUT]\n"
    "\n"
    "Decrypts an expanded FILE. Without OUT, FILE is replaced (through expand.dat in the current\n"
    "folder). OUT must not exist unless -f (--force). --text for a file expanded in text mode.\n"
    "The real symbols are gathered in conv.enc in the current folder while it runs, and the\n"
    "name of the decrypted file is added to the decrypted-file list Vrkdec.dat there.\n"
    "\n";

// Results of the library that mean the work was done.
bool isSuccessText(const std::string& text) { return text.rfind("Error", 0) != 0; }

int runExpand(const Arguments& args, std::ostream& out, std::ostream& err, bool decrypt) {
    const char* name = decrypt ? "expand-decrypt" : "expand-encrypt";
    const std::string help = std::string(decrypt ? kExpandDecryptHelp : kExpandEncryptHelp) + kKeyHelp;
    const unsigned allowed = kKeyOption | kKeepKeysOption | kForceOption | kTextOption;
    return runSubcommand(name, help.c_str(), args, allowed, out, err, [&](const Options& o) {
        if (o.operands.empty() || o.operands.size() > 2) throw UsageError("give FILE and optionally OUT");
        const std::string key = resolveKey(o, std::cin);
        const FileOrOutput files = chooseFileOrOutput(o.operands, o.force);
        const NamedFile& input = files.input;
        std::string cmd = files.cmd;
        if (decrypt) checkScratchFree("conv.enc");

        const FileOperation operation = decrypt ? (o.text ? &_SDK::VrkTExpandFileDec : &_SDK::VrkBExpandFileDec)
                                                : (o.text ? &_SDK::VrkTExpandFileEnc : &_SDK::VrkBExpandFileEnc);
        return runWithKeys(key, o.text ? KeyMode::Text : KeyMode::Binary, o.keepKeys, err, [&](_SDK& sdk) {
            const int32_t result = withProgress(input, o.quiet, [&] { return (sdk.*operation)(cmd); });
            if (result != 0) {
                report(err, files.shownOnFailure().shown, result);
                return false;
            }
            if (!isSuccessText(cmd)) {
                report(err, FileProblem{input.shown, 0, cmd});
                return false;
            }
            return true;
        });
    });
}

}  // namespace

int runExpandEncrypt(const Arguments& args, std::ostream& out, std::ostream& err) { return runExpand(args, out, err, false); }
int runExpandDecrypt(const Arguments& args, std::ostream& out, std::ostream& err) { return runExpand(args, out, err, true); }

}  // namespace varkel::tools
