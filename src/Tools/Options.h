// Shared pieces of the friendly subcommands: option parsing, the key, host files named for the
// library, and the one-line error reports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varkel::tools {

// A wrong command line: reported with the command's usage line, exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A problem with one named file (or the key file) found before or by the library.
struct FileProblem {
    std::string name;     // as the user wrote it
    int32_t number = 0;   // run-time error number, 0 when `message` says it all
    std::string message;  // used when number is 0
};

// "vrk: NAME: Permission denied (error 70)" or "vrk: NAME: MESSAGE".
void report(std::ostream& err, const FileProblem& problem);
void report(std::ostream& err, const std::string& name, int32_t number);

enum Option : unsigned {
    kKeyOption = 1,      // --key DIGITS / --key-file PATH (then required)
    kKeepKeysOption = 2,  // --keep-keys
    kOutputOption = 4,    // -o OUT
    kForceOption = 8,     // -f, --force
    kTextOption = 16,     // --text
};

struct Options {
    bool help = false;
    std::optional<std::string> key;
    std::optional<std::string> keyFile;
    std::optional<std::string> output;
    bool keepKeys = false;
    bool force = false;
    bool text = false;
    bool quiet = false;  // -q, --quiet: no progress line and no report on standard output
    std::vector<std::string> operands;
};

// Parses options (anywhere on the line, "--" ends them) among `allowed`. Throws UsageError.
// A command that allows a key requires one unless --help was given.
Options parseOptions(const std::vector<std::string>& args, unsigned allowed);

// The key string: the --key text, the first field of the first line of the --key-file, or
// with `--key-file -` the first line of `in` (standard input), blanks around it removed.
// Throws UsageError for a key that is not decimal digits; FileProblem when the file fails.
std::string resolveKey(const Options& options, std::istream& in);

// A name in the system's Windows-style form (a drive letter and a colon, or "\\server"),
// which is found through the drive map rather than as a host path.
bool isWindowsStyle(const std::string& shown);

// A file named on the command line, with its name in the library's Windows-style form.
struct NamedFile {
    std::string shown;            // as the user wrote it
    std::filesystem::path host;   // absolute
    std::string library;          // e.g. C:\home\user\report.doc
};

// Names a host path, or a Windows-style path through the drive map, for the library. Throws
// FileProblem when the name cannot be carried (a double quote, a trailing blank, an unmapped
// drive, or a drive map or letter case that would reach another file).
NamedFile nameFile(const std::string& shown);

// Checks that an input exists and is a file that can be opened (for writing too when
// `write`). Throws FileProblem with the run-time error number of the failure.
void checkInput(const NamedFile& file, bool write);

// Checks that an output can be made: its folder exists, and it does not exist yet unless
// `force` (the library then writes over it). Throws FileProblem.
void prepareOutput(const NamedFile& file, bool force);

// Refuses when a scratch file of the library with this bare name lies in the current folder,
// since the operation would overwrite or delete it. Throws FileProblem.
void checkScratchFree(const char* name);

// Refuses a file that the library cannot replace through a scratch file of the current folder,
// because it lies on another file system. Throws FileProblem.
void checkReplaceable(const NamedFile& file);

// FILE [OUT] of a command that writes OUT, or replaces FILE through expand.dat when OUT is
// missing or names FILE itself; checked as the chosen way needs.
struct FileOrOutput {
    NamedFile input;
    std::optional<NamedFile> output;  // only when it is another file
    std::string cmd;                  // the library's command string
    const NamedFile& shownOnFailure() const { return output ? *output : input; }
};
FileOrOutput chooseFileOrOutput(const std::vector<std::string>& operands, bool force);

// A name for the library's command string, enclosed in double quotes.
std::string inQuotes(const std::string& libraryName);

// Size of a file, 0 when it cannot be read.
uint64_t sizeOf(const std::filesystem::path& host);

}  // namespace varkel::tools
