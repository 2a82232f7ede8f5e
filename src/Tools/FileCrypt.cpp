// vrk encrypt / vrk decrypt: whole files in binary mode, in place or to a new file.
#include "Commands.h"
#include "Session.h"

#include <iostream>
#include <optional>
#include <string>

namespace varkel::tools {
namespace {

const char* const kEncryptHelp =
    "usage: vrk encrypt (--key DIGITS | --key-file PATH) [-q] [--keep-keys] [-f] FILE... [-o OUT]\n"
    "\n"
    "Encrypts each FILE in binary mode, in place; with -o, the one FILE into OUT instead.\n"
    "The encrypted file is exactly as long as the plain one. OUT must not exist unless -f\n"
    "(--force) is given. A file whose encryption fails part-way is left partly encrypted: use\n"
    "-o for a file that has no other copy.\n"
    "\n";

const char* const kDecryptHelp =
    "usage: vrk decrypt (--key DIGITS | --key-file PATH) [-q] [--keep-keys] [-f] FILE... [-o OUT]\n"
    "\n"
    "Decrypts each FILE in binary mode, in place; with -o, the one FILE into OUT instead.\n"
    "OUT must not exist unless -f (--force) is given. The name of every decrypted file is\n"
    "added to the decrypted-file list Vrkdec.dat in the current folder, as the library does for\n"
    "every decryption. A wrong key gives different bytes, not an error.\n"
    "\n";

struct Job {
    NamedFile input;
    std::optional<NamedFile> output;  // none: in place
};

bool sameHostFile(const NamedFile& a, const NamedFile& b) {
    std::error_code ec;
    return a.host == b.host || std::filesystem::equivalent(a.host, b.host, ec);
}

int runBinary(const Arguments& args, std::ostream& out, std::ostream& err, bool decrypt) {
    const char* name = decrypt ? "decrypt" : "encrypt";
    const std::string help = std::string(decrypt ? kDecryptHelp : kEncryptHelp) + kKeyHelp;
    const unsigned allowed = kKeyOption | kKeepKeysOption | kOutputOption | kForceOption;
    return runSubcommand(name, help.c_str(), args, allowed, out, err, [&](const Options& o) {
        if (o.operands.empty()) throw UsageError("no file given");
        if (o.output && o.operands.size() != 1) throw UsageError("-o takes exactly one FILE");
        const std::string key = resolveKey(o, std::cin);

        std::vector<Job> jobs;
        bool ok = true;
        for (const std::string& shown : o.operands) {
            try {
                Job job{nameFile(shown), std::nullopt};
                if (o.output) {
                    NamedFile target = nameFile(*o.output);
                    if (!sameHostFile(job.input, target)) {
                        prepareOutput(target, o.force);
                        job.output = std::move(target);
                    }
                }
                checkInput(job.input, !job.output);
                for (const Job& earlier : jobs)
                    if (sameHostFile(earlier.input, job.input))
                        throw FileProblem{shown, 0, "is named more than once"};
                jobs.push_back(std::move(job));
            } catch (const FileProblem& problem) {
                report(err, problem);
                ok = false;
            }
        }
        if (jobs.empty()) return 1;

        const FileOperation operation = decrypt ? &_SDK::VrkBinaryFileDec : &_SDK::VrkBinaryFileEnc;
        const int status = runWithKeys(key, KeyMode::Binary, o.keepKeys, err, [&](_SDK& sdk) {
            return forEachFile(
                jobs.size(), o.quiet, err, [&](size_t i) -> const NamedFile& { return jobs[i].input; },
                [&](size_t i) {
                    // The library takes a quoted first name; the output is everything after the blank.
                    std::string cmd = inQuotes(jobs[i].input.library);
                    if (jobs[i].output) cmd += ' ' + jobs[i].output->library;
                    return (sdk.*operation)(cmd);
                },
                [&](size_t i, int32_t result) {
                    if (result != 0) report(err, jobs[i].output ? jobs[i].output->shown : jobs[i].input.shown, result);
                    return result == 0;
                });
        });
        return ok ? status : 1;
    });
}

}  // namespace

int runEncrypt(const Arguments& args, std::ostream& out, std::ostream& err) { return runBinary(args, out, err, false); }
int runDecrypt(const Arguments& args, std::ostream& out, std::ostream& err) { return runBinary(args, out, err, true); }

}  // namespace varkel::tools
