// Command splitting and the legacy number reading, from arbitrary text.
#include "Command.h"
#include "FuzzSupport.h"
#include "Module.h"
#include "Numbers.h"

#include <cmath>

using namespace varkel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const cipher::FileNames names = cipher::splitFileCommand(text);
    // The names come from the command, blanks at its end removed.
    if (names.input.size() + names.output.size() > text.size() * 2) fuzz::finding();
    if (!text.empty() && text.find(' ') == std::string::npos && text.front() != '"' && names.input != text)
        fuzz::finding();

    static cipher::ModuleState m;
    fuzz::tolerateVbError([&] {
        cipher::splitCommandWords(m, text);
        size_t total = 0;
        for (const auto& word : m.CommandWords) total += word.size();
        if (total > text.size()) fuzz::finding();
    });

    const double value = platform::val(text);
    if (std::isnan(value)) fuzz::finding();
    const bool number = platform::isNumber(text);
    if (number && text.find_first_of("0123456789") == std::string::npos) fuzz::finding();
    fuzz::tolerateVbError([&] { platform::toInteger(value); });
    fuzz::tolerateVbError([&] { platform::toLong(value); });
    return 0;
}
