// The friendly subcommands of vrk beside `vrk call`.
#pragma once

#include "Options.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace varkel::tools {

using Arguments = std::vector<std::string>;

struct Subcommand {
    const char* name;
    const char* summary;  // one line for `vrk --help`
    int (*run)(const Arguments& args, std::ostream& out, std::ostream& err);
};

// Every subcommand, in the order `vrk --help` lists them.
const std::vector<Subcommand>& subcommands();

int runEncrypt(const Arguments& args, std::ostream& out, std::ostream& err);
int runDecrypt(const Arguments& args, std::ostream& out, std::ostream& err);
int runTextEncrypt(const Arguments& args, std::ostream& out, std::ostream& err);
int runTextDecrypt(const Arguments& args, std::ostream& out, std::ostream& err);
int runExpandEncrypt(const Arguments& args, std::ostream& out, std::ostream& err);
int runExpandDecrypt(const Arguments& args, std::ostream& out, std::ostream& err);
int runScramble(const Arguments& args, std::ostream& out, std::ostream& err);
int runXScramble(const Arguments& args, std::ostream& out, std::ostream& err);
int runWipe(const Arguments& args, std::ostream& out, std::ostream& err);
int runShutdown(const Arguments& args, std::ostream& out, std::ostream& err);

// What --help prints for the key options of a command that sets up a key.
extern const char* const kKeyHelp;

// Parses the options among `allowed`, prints `help` for --help, and runs `body`. A UsageError
// gives the first line of `help` and exit status 2; a FileProblem is reported, exit status 1.
int runSubcommand(const char* name, const char* help, const Arguments& args, unsigned allowed,
                  std::ostream& out, std::ostream& err, const std::function<int(const Options&)>& body);

}  // namespace varkel::tools
