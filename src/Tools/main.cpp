// vrk: the cipher library from a shell.
#include "Call.h"
#include "Commands.h"
#include "VarkelVersion.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

void usage(std::ostream& out) {
    out << "usage: vrk [-q] COMMAND [ARGS]\n"
           "       vrk --version\n"
           "\n"
           "commands:\n";
    for (const auto& command : varkel::tools::subcommands()) {
        std::string name = command.name;
        name.resize(16, ' ');
        out << "  " << name << command.summary << '\n';
    }
    out << "  call [--hex] OP [ARG] [OP [ARG]]...\n"
           "                  run library operations on one object, one line of outcome each\n"
           "\n"
           "'vrk COMMAND --help' describes a command. -q (--quiet) leaves out the progress line and\n"
           "the reports on standard output. Exit status: 0 success, 1 an operation failed, 2 usage\n"
           "error, 130 interrupted.\n";
}

bool isQuiet(const std::string& arg) { return arg == "-q" || arg == "--quiet"; }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // `vrk -q COMMAND ...` is `vrk COMMAND -q ...`.
    const bool quiet = !args.empty() && isQuiet(args[0]);
    if (quiet) args.erase(args.begin());
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        usage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::cout << "vrk (Varkel) " << varkel::kVersion << '\n';
        return 0;
    }
    try {
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (args[0] == "call") {
            if (quiet) {
                std::cerr << "vrk: -q does not apply to 'vrk call', whose output is its result\n";
                return 2;
            }
            return varkel::tools::runCall(rest, std::cout, std::cerr);
        }
        if (quiet) rest.insert(rest.begin(), "-q");
        for (const auto& command : varkel::tools::subcommands())
            if (args[0] == command.name) return command.run(rest, std::cout, std::cerr);
        std::cerr << "vrk: unknown command '" << args[0] << "'\n";
        usage(std::cerr);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "vrk: " << e.what() << '\n';
        return 1;
    }
}
