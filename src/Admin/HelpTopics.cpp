#include "HelpTopics.h"

#include "File.h"
#include "VbError.h"

namespace varkel::admin {

std::vector<std::string> readHelpText(const std::string& file) {
    platform::TextReader in(file);
    std::vector<std::string> lines;
    do {
        lines.push_back(in.lineInput());
    } while (!in.eof());
    return lines;
}

}  // namespace varkel::admin
