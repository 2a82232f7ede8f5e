// `vrk call`: run operations of one SDK object in order and print each outcome.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace varkel::tools {

// Runs `vrk call [--hex] OP [ARG] [OP [ARG]]...`; returns the exit status (0, 1 or 2).
int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string toHex(const std::string& bytes);
// Hexadecimal text to bytes; false on an odd length or a character that is not a hex digit.
bool fromHex(const std::string& hex, std::string& bytes);

}  // namespace varkel::tools
