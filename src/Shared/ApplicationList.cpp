#include "ApplicationList.h"

namespace varkel::shared {

std::optional<ApplicationLine> splitApplicationLine(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    return ApplicationLine{std::string(line.substr(0, colon)), std::string(line.substr(colon + 1))};
}

std::string joinApplicationLine(const ApplicationLine& application) {
    return application.buttonText + ":" + application.location;
}

}  // namespace varkel::shared
