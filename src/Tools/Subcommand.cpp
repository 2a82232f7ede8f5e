#include "Commands.h"
#include "Session.h"

#include <ostream>

namespace varkel::tools {

const char* const kKeyHelp =
    "key:\n"
    "  --key DIGITS      the key string; other users of this machine can read it in the process\n"
    "                    list, so prefer --key-file\n"
    "  --key-file PATH   a key file such as key.dat: the key is the first field of its first line;\n"
    "                    with '-' the key is the first line of standard input\n"
    "  --keep-keys       leave the key files in the current folder afterwards ('vrk shutdown'\n"
    "                    destroys them later)\n"
    "\n"
    "While it runs, key material derived from the key is written into the current folder\n"
    "(k1.* to k5.*, k6.dat); it is overwritten and deleted afterwards, also after a failure.\n"
    "Do not run it in a folder where another program of the system is working: that program's\n"
    "key files would be replaced and then destroyed.\n";

// Said after every command's own help.
const char* const kCommonHelp =
    "\n"
    "every command:\n"
    "  -q, --quiet       no progress line and no report on standard output (errors and warnings\n"
    "                    still go to standard error)\n"
    "  -h, --help        this text\n"
    "\n"
    "Files may be named as host paths or as Windows-style paths through the drive map\n"
    "(N:\\Docs\\report.doc, N:/Docs/report.doc). Exit status: 0 success, 1 a file or an\n"
    "operation failed, 2 usage error, 130 interrupted (128 + the signal).\n";

const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> list = {
        {"encrypt", "encrypt files in binary mode, in place or to -o OUT", runEncrypt},
        {"decrypt", "decrypt files in binary mode, in place or to -o OUT", runDecrypt},
        {"text-encrypt", "encrypt text files to NAME.enc", runTextEncrypt},
        {"text-decrypt", "decrypt text files to NAME.dec", runTextDecrypt},
        {"expand-encrypt", "encrypt a file into the expanded format", runExpandEncrypt},
        {"expand-decrypt", "decrypt an expanded file", runExpandDecrypt},
        {"scramble", "reverse a whole file or its leading blocks", runScramble},
        {"xscramble", "reverse key-driven blocks of a file", runXScramble},
        {"wipe", "overwrite files with blanks and delete them", runWipe},
        {"shutdown", "destroy the key files in the current folder", runShutdown},
    };
    return list;
}

int runSubcommand(const char* name, const char* help, const Arguments& args, unsigned allowed,
                  std::ostream& out, std::ostream& err, const std::function<int(const Options&)>& body) {
    try {
        const Options options = parseOptions(args, allowed);
        if (options.help) {
            out << help << kCommonHelp;
            return 0;
        }
        const int status = body(options);
        return interrupted() ? interruptedStatus() : status;
    } catch (const UsageError& e) {
        const std::string text = help;
        err << "vrk " << name << ": " << e.what() << '\n' << text.substr(0, text.find('\n') + 1);
        return 2;
    } catch (const FileProblem& problem) {
        report(err, problem);
        return 1;
    }
}

}  // namespace varkel::tools
