// --help and --version of the two programs, answered on standard output before any window is
// made (so also without a display). The programs take no other arguments of their own; what
// else is given is left to Qt as before.
#pragma once

#include "VarkelVersion.h"

#include <iostream>
#include <optional>
#include <string_view>

namespace varkel::shared {

// Prints the answer and gives the exit status when the command line asks for help or the
// version; nothing otherwise.
inline std::optional<int> answerInformationRequest(int argc, char** argv, std::string_view program,
                                                   std::string_view help) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << "usage: " << program << " [--help | --version]\n\n" << help;
            return 0;
        }
        if (arg == "--version") {
            std::cout << program << " (Varkel) " << kVersion << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace varkel::shared
