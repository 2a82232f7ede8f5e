// vrk: the cipher library from a shell.
#include "Call.h"
#include "Commands.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

void usage(std::ostream& out) {
    out << "usage: vrk COMMAND [ARGS]\n"
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
           "'vrk COMMAND --help' describes a command. Exit status: 0 success, 1 an operation\n"
           "failed, 2 usage error.\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        usage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    try {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (args[0] == "call") return varkel::tools::runCall(rest, std::cout, std::cerr);
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
