#include "Options.h"

#include "File.h"
#include "VbError.h"
#include "WinPath.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace varkel::tools {
namespace fs = std::filesystem;
using platform::vbErrorText;

void report(std::ostream& err, const FileProblem& problem) {
    err << "vrk: " << problem.name << ": ";
    if (problem.number != 0)
        err << vbErrorText(problem.number) << " (error " << problem.number << ")\n";
    else
        err << problem.message << '\n';
}

void report(std::ostream& err, const std::string& name, int32_t number) { report(err, FileProblem{name, number, {}}); }

Options parseOptions(const std::vector<std::string>& args, unsigned allowed) {
    Options o;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            o.operands.push_back(a);
            continue;
        }
        std::string name = a;
        std::optional<std::string> inlineValue;
        if (a.rfind("--", 0) == 0) {
            const size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                inlineValue = a.substr(eq + 1);
            }
        }
        const auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (++i >= args.size()) throw UsageError(name + " needs a value");
            return args[i];
        };
        const auto allow = [&](unsigned option) {
            if ((allowed & option) == 0) throw UsageError("unknown option '" + name + "'");
        };
        if (name == "--") {
            optionsEnded = true;
        } else if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--key") {
            allow(kKeyOption);
            o.key = value();
        } else if (name == "--key-file") {
            allow(kKeyOption);
            o.keyFile = value();
        } else if (name == "--keep-keys") {
            allow(kKeepKeysOption);
            o.keepKeys = true;
        } else if (name == "-o" || name == "--output") {
            allow(kOutputOption);
            o.output = value();
        } else if (name == "-f" || name == "--force") {
            allow(kForceOption);
            o.force = true;
        } else if (name == "--text") {
            allow(kTextOption);
            o.text = true;
        } else if (name == "-q" || name == "--quiet") {
            o.quiet = true;
        } else {
            throw UsageError("unknown option '" + name + "'");
        }
        if (inlineValue &&
            (name == "--help" || name == "--keep-keys" || name == "--force" || name == "--text" || name == "--quiet"))
            throw UsageError(name + " takes no value");
    }
    if (o.help) return o;
    if ((allowed & kKeyOption) != 0) {
        if (o.key && o.keyFile) throw UsageError("give either --key or --key-file, not both");
        if (!o.key && !o.keyFile) throw UsageError("a key is needed: --key DIGITS or --key-file PATH");
    }
    return o;
}

namespace {

bool isKey(const std::string& key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The first line of standard input, without its line end and the blanks around it. Someone
// at a terminal is asked for it, so that the command does not seem to hang.
std::string keyFromInput(std::istream& in) {
    const std::string shown = "standard input";
    if (&in == &std::cin && ::isatty(STDIN_FILENO) == 1) std::cerr << "vrk: key (then Enter): " << std::flush;
    std::string line;
    if (!std::getline(in, line)) throw FileProblem{shown, 0, "no key was given (--key-file - reads its first line)"};
    const size_t first = line.find_first_not_of(" \t\r");
    const size_t last = line.find_last_not_of(" \t\r");
    const std::string key = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    if (!isKey(key)) throw FileProblem{shown, 0, "the first line is not a key of decimal digits"};
    return key;
}

}  // namespace

std::string resolveKey(const Options& options, std::istream& in) {
    std::string key;
    if (options.key) {
        key = *options.key;
    } else if (*options.keyFile == "-") {
        return keyFromInput(in);
    } else {
        const std::string& shown = *options.keyFile;
        try {
            const NamedFile file = nameFile(shown);
            checkInput(file, false);
            platform::TextReader reader(file.library);
            if (reader.eof()) throw FileProblem{shown, 0, "the key file is empty"};
            key = reader.inputField();
        } catch (const platform::VbError& e) {
            throw FileProblem{shown, e.number(), {}};
        }
        if (!isKey(key)) throw FileProblem{shown, 0, "the first field is not a key of decimal digits"};
        return key;
    }
    if (!isKey(key)) throw UsageError("a key is a string of decimal digits");
    return key;
}

bool isWindowsStyle(const std::string& shown) {
    const bool drive = shown.size() >= 2 && shown[1] == ':' && std::isalpha(static_cast<unsigned char>(shown[0]));
    return drive || shown.rfind("\\\\", 0) == 0;
}

NamedFile nameFile(const std::string& shown) {
    if (shown.empty()) throw FileProblem{"''", platform::kBadFileName, {}};
    NamedFile f{shown, {}, {}};
    try {
        f.host = (isWindowsStyle(shown) ? platform::hostPath(shown) : fs::absolute(fs::path(shown))).lexically_normal();
    } catch (const platform::VbError& e) {
        throw FileProblem{shown, e.number(), {}};
    }
    if (shown.find('"') != std::string::npos) throw FileProblem{shown, 0, "a name with a double quote cannot be passed to the library"};
    if (f.host.filename().empty() || f.host.filename().string().back() == ' ')
        throw FileProblem{shown, 0, "a name that ends in a blank cannot be passed to the library"};
    try {
        f.library = platform::windowsPath(f.host);
        if (platform::hostPath(f.library).lexically_normal() != f.host)
            throw FileProblem{shown, 0,
                              "its Windows-style name " + f.library +
                                  " would reach another file (letter case or drive map)"};
    } catch (const platform::VbError& e) {
        throw FileProblem{shown, e.number(), {}};
    }
    return f;
}

void checkInput(const NamedFile& file, bool write) {
    struct stat st {};
    if (::stat(file.host.c_str(), &st) != 0) {
        const int error = errno;
        const bool folderMissing = error == ENOENT && !fs::is_directory(file.host.parent_path());
        throw FileProblem{file.shown, platform::vbNumberForErrno(error, folderMissing), {}};
    }
    if (S_ISDIR(st.st_mode)) throw FileProblem{file.shown, 0, "is a folder, not a file"};
    if (!S_ISREG(st.st_mode)) throw FileProblem{file.shown, 0, "is not an ordinary file"};
    const int fd = ::open(file.host.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) throw FileProblem{file.shown, platform::vbNumberForErrno(errno), {}};
    ::close(fd);
}

void prepareOutput(const NamedFile& file, bool force) {
    if (!fs::is_directory(file.host.parent_path())) throw FileProblem{file.shown, platform::kPathNotFound, {}};
    struct stat st {};
    if (::lstat(file.host.c_str(), &st) != 0) return;
    if (!force) throw FileProblem{file.shown, 0, "already exists (use --force to replace it)"};
    if (!S_ISREG(st.st_mode)) throw FileProblem{file.shown, 0, "is not an ordinary file"};
}

void checkScratchFree(const char* name) {
    // The library finds the name without regard to letter case.
    if (platform::fileExists(name))
        throw FileProblem{name, 0, "a file of this name in the current folder would be overwritten; move it away first"};
}

FileOrOutput chooseFileOrOutput(const std::vector<std::string>& operands, bool force) {
    FileOrOutput chosen{nameFile(operands.at(0)), std::nullopt, {}};
    chosen.cmd = inQuotes(chosen.input.library);
    if (operands.size() == 2) {
        NamedFile output = nameFile(operands[1]);
        if (output.host != chosen.input.host) chosen.output = std::move(output);
    }
    if (chosen.output) {
        checkInput(chosen.input, false);
        prepareOutput(*chosen.output, force);
        chosen.cmd += ' ' + inQuotes(chosen.output->library);
    } else {
        checkInput(chosen.input, true);
        checkReplaceable(chosen.input);
        checkScratchFree("expand.dat");
    }
    return chosen;
}

void checkReplaceable(const NamedFile& file) {
    struct stat here {}, there {};
    if (::stat(".", &here) != 0 || ::stat(file.host.parent_path().c_str(), &there) != 0 || here.st_dev != there.st_dev)
        throw FileProblem{file.shown, 0,
                          "lies on another file system than the current folder, so it cannot be replaced; give an "
                          "output name or run vrk from its folder"};
}

std::string inQuotes(const std::string& libraryName) { return '"' + libraryName + '"'; }

uint64_t sizeOf(const fs::path& host) {
    std::error_code ec;
    const uint64_t size = fs::file_size(host, ec);
    return ec ? 0 : size;
}

}  // namespace varkel::tools
