// The command strings of the file operations.
#pragma once

#include "Module.h"

#include <string>
#include <string_view>

namespace varkel::cipher {

// Removes trailing blanks (character 32).
std::string trimTrailingBlanks(std::string_view text);

struct FileNames {
    std::string input;
    std::string output;  // the input itself when the command names one file
};

// Splits a file command: trailing blanks removed; the input name ends at the first blank and
// the output name is everything after it, or both are the whole command. A name enclosed in
// double quotes may hold blanks: "N:\My Docs\a.doc" out.doc.
FileNames splitFileCommand(std::string_view cmd);

// Splits a command into CommandWords 1..12: each blank starts the next word (two blanks leave
// an empty word); a word enclosed in double quotes may hold blanks. More than twelve words is
// error 9. Word 2 that is wholly a non-zero number is no file name: words 2..11 move up one
// place and word 2 becomes empty.
void splitCommandWords(ModuleState& m, std::string_view cmd);

}  // namespace varkel::cipher
