#include "ApplicationDefinitions.h"

#include "SystemFiles.h"

namespace varkel::admin {

namespace {

std::string listPath(const std::string& networkPath) { return networkPath + shared::kApplicationListFile; }

ApplicationSlot slotOf(const std::string& line) {
    if (auto split = shared::splitApplicationLine(line))
        return ApplicationSlot{std::move(split->location), std::move(split->buttonText)};
    return ApplicationSlot{line, {}};
}

}  // namespace

ApplicationSlots readApplicationSlots(const std::string& networkPath) {
    ApplicationSlots definitions;
    if (!shared::FilePresent(listPath(networkPath))) return definitions;
    const std::vector<std::string> lines = shared::readLines(listPath(networkPath));
    for (size_t k = 0; k < lines.size() && k < definitions.size(); ++k) definitions[k] = slotOf(lines[k]);
    return definitions;
}

std::vector<std::string> applicationLines(const ApplicationSlots& definitions) {
    std::vector<std::string> lines;
    for (const ApplicationSlot& slot : definitions)
        if (slot.complete()) lines.push_back(shared::joinApplicationLine({slot.buttonText, slot.location}));
    return lines;
}

std::optional<int> slotThatWouldSplit(const ApplicationSlots& definitions) {
    for (size_t n = 0; n < definitions.size(); ++n) {
        const ApplicationSlot& slot = definitions[n];
        if (slot.complete() && slot.buttonText.find(':') != std::string::npos) return static_cast<int>(n) + 1;
    }
    return std::nullopt;
}

void writeApplicationSlots(const std::string& networkPath, const ApplicationSlots& definitions) {
    shared::writeLines(listPath(networkPath), applicationLines(definitions));
}

}  // namespace varkel::admin
