// vrk text-encrypt / vrk text-decrypt: text files through the text alphabet, to NAME.enc and
// NAME.dec beside them.
#include "CodePage.h"
#include "Commands.h"
#include "Session.h"
#include "WinPath.h"

#include <iostream>

namespace varkel::tools {
namespace fs = std::filesystem;
namespace {

const char* const kTextEncryptHelp =
    "usage: vrk text-encrypt (--key DIGITS | --key-file PATH) [-q] [--keep-keys] [-f] FILE...\n"
    "\n"
    "Encrypts each text FILE into a file beside it named after FILE up to its first dot, with\n"
    ".enc added (notes.txt and notes.v2.txt both give notes.enc), and prints 'FILE -> OUT'.\n"
    "Line feeds are dropped (carriage returns are kept), and so is every character outside the\n"
    "text alphabet; those are counted and reported. An existing output is refused unless -f\n"
    "(--force). The library takes at most 50 characters of the name, so run vrk from the\n"
    "file's folder or near it.\n"
    "\n";

const char* const kTextDecryptHelp =
    "usage: vrk text-decrypt (--key DIGITS | --key-file PATH) [-q] [--keep-keys] [-f] FILE...\n"
    "\n"
    "Decrypts each text FILE into a file beside it named after FILE up to its first dot, with\n"
    ".dec added (notes.enc gives notes.dec), and prints 'FILE -> OUT'. A line feed follows every\n"
    "carriage return. The name of every decrypted file is added to the decrypted-file list\n"
    "Vrkdec.dat in the current folder. An existing output is refused unless -f (--force). The\n"
    "library takes at most 50 characters of the name, so run vrk from the file's folder or\n"
    "near it.\n"
    "\n";

constexpr size_t kLibraryNameLimit = 50;

struct Job {
    NamedFile input;
    NamedFile output;
    std::string cmd;
};

// The input's name for the library: relative to the current folder when it lies below it,
// which keeps it short.
std::string textLibraryName(const NamedFile& file) {
    const fs::path relative = file.host.lexically_relative(fs::current_path());
    if (relative.empty() || *relative.begin() == "..") return file.library;
    std::string name;
    for (const auto& part : relative) {
        if (!name.empty()) name += '\\';
        name += platform::utf8ToCp1252(part.string());
    }
    return name;
}

// The folder part of a name as the user wrote it ("notes/", "N:\\Docs\\", "N:"), so that the
// output is shown the same way. A Windows-style name also separates folders with backslashes,
// which a host name may hold as an ordinary character.
std::string folderPart(const std::string& shown) {
    const bool windows = isWindowsStyle(shown);
    const size_t slash = shown.find_last_of(windows ? "/\\" : "/");
    if (slash != std::string::npos) return shown.substr(0, slash + 1);
    return windows && shown[1] == ':' ? shown.substr(0, 2) : std::string();
}

Job prepare(const std::string& shown, const char* suffix, bool force) {
    Job job{nameFile(shown), {}, {}};
    checkInput(job.input, false);
    job.cmd = textLibraryName(job.input);
    const size_t bare = job.cmd.find_last_of('\\');
    const size_t dot = job.cmd.find('.');
    if (dot != std::string::npos && bare != std::string::npos && dot < bare)
        throw FileProblem{shown, 0,
                          "the output name would be cut at the dot in a folder name (" + job.cmd +
                              "); run vrk from the file's folder"};
    if (job.cmd.size() > kLibraryNameLimit)
        throw FileProblem{shown, 0,
                          "the name " + job.cmd + " is longer than the 50 characters that text mode takes; run vrk "
                                                  "from the file's folder"};
    // The output sits beside the input: its bare name up to the first dot, then the suffix.
    const std::string bareName = job.input.host.filename().string();
    const std::string outputBare = bareName.substr(0, bareName.find('.')) + suffix;
    job.output = nameFile(folderPart(shown) + outputBare);
    if (job.output.host == job.input.host)
        throw FileProblem{shown, 0, "its output would have its own name; rename it first"};
    prepareOutput(job.output, force);
    return job;
}

int runText(const Arguments& args, std::ostream& out, std::ostream& err, bool decrypt) {
    const char* name = decrypt ? "text-decrypt" : "text-encrypt";
    const std::string help = std::string(decrypt ? kTextDecryptHelp : kTextEncryptHelp) + kKeyHelp;
    return runSubcommand(name, help.c_str(), args, kKeyOption | kKeepKeysOption | kForceOption, out, err,
                         [&](const Options& o) {
        if (o.operands.empty()) throw UsageError("no file given");
        const std::string key = resolveKey(o, std::cin);
        std::vector<Job> jobs;
        bool ok = true;
        for (const std::string& shown : o.operands) {
            try {
                Job job = prepare(shown, decrypt ? ".dec" : ".enc", o.force);
                for (const Job& earlier : jobs)
                    if (earlier.output.host == job.output.host)
                        throw FileProblem{shown, 0, "gives the same output " + job.output.shown + " as " + earlier.input.shown};
                jobs.push_back(std::move(job));
            } catch (const FileProblem& problem) {
                report(err, problem);
                ok = false;
            }
        }
        if (jobs.empty()) return 1;

        const FileOperation operation = decrypt ? &_SDK::VrkTextFileDec : &_SDK::VrkTextFileEnc;
        const int status = runWithKeys(key, KeyMode::Text, o.keepKeys, err, [&](_SDK& sdk) {
            std::string cmd;  // the library's answer replaces the command
            return forEachFile(
                jobs.size(), o.quiet, err, [&](size_t i) -> const NamedFile& { return jobs[i].input; },
                [&](size_t i) {
                    cmd = jobs[i].cmd;
                    return (sdk.*operation)(cmd);
                },
                [&](size_t i, int32_t result) {
                    const Job& job = jobs[i];
                    if (result != 0) {
                        report(err, job.input.shown, result);
                        return false;
                    }
                    if (!o.quiet) out << job.input.shown << " -> " << job.output.shown << '\n';
                    // The library answers with " N errors detected" when it dropped characters.
                    if (cmd != job.cmd) {
                        const std::string count = cmd.substr(0, cmd.find(" errors"));
                        err << "vrk: " << job.input.shown << ": dropped" << count
                            << " character(s) outside the text alphabet\n";
                    }
                    return true;
                });
        });
        return ok ? status : 1;
    });
}

}  // namespace

int runTextEncrypt(const Arguments& args, std::ostream& out, std::ostream& err) { return runText(args, out, err, false); }
int runTextDecrypt(const Arguments& args, std::ostream& out, std::ostream& err) { return runText(args, out, err, true); }

}  // namespace varkel::tools
