#include "Command.h"

#include "Numbers.h"
#include "VbError.h"

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

std::string stripQuotes(std::string_view name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    return std::string(name);
}

}  // namespace

std::string trimTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

FileNames splitFileCommand(std::string_view cmd) {
    const std::string text = trimTrailingBlanks(cmd);
    size_t blank = std::string::npos;
    if (!text.empty() && text.front() == '"') {
        const size_t close = text.find('"', 1);
        if (close != std::string::npos && (close + 1 == text.size() || text[close + 1] == ' ')) {
            const std::string input = text.substr(1, close - 1);
            if (close + 1 == text.size()) return {input, input};
            return {input, stripQuotes(std::string_view(text).substr(close + 2))};
        }
    }
    blank = text.find(' ');
    if (blank == std::string::npos) return {text, text};
    return {text.substr(0, blank), stripQuotes(std::string_view(text).substr(blank + 1))};
}

void splitCommandWords(ModuleState& m, std::string_view cmd) {
    for (auto& word : m.CommandWords) word.clear();
    const std::string text = trimTrailingBlanks(cmd);
    size_t word = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            if (++word > 12) raise(kSubscriptOutOfRange, "more than twelve words");
            continue;
        }
        if (text[i] == '"' && m.CommandWords[word].empty()) {
            const size_t close = text.find('"', i + 1);
            if (close != std::string::npos) {
                m.CommandWords[word] = text.substr(i + 1, close - i - 1);
                i = close;
                continue;
            }
        }
        m.CommandWords[word] += text[i];
    }
    const std::string& second = m.CommandWords[2];
    if (isNumber(second) && val(second) != 0) {
        for (size_t w = 12; w > 2; --w) m.CommandWords[w] = m.CommandWords[w - 1];
        m.CommandWords[2].clear();
    }
}

}  // namespace varkel::cipher
