#include "Call.h"

#include "VarkelSDK.h"

#include <cstring>
#include <optional>
#include <ostream>

namespace varkel::tools {
namespace {

struct Step {
    const SdkOperation* operation;
    std::string argument;
};

const SdkOperation* findOperation(const std::string& name) {
    for (const auto& op : kSdkOperations)
        if (name == op.name) return &op;
    return nullptr;
}

// An argument of two double quotes also stands for the empty string.
std::string unquote(const std::string& arg) { return arg == "\"\"" ? std::string() : arg; }

std::string shown(const std::string& value, bool hex) {
    if (value.empty()) return "\"\"";
    return hex ? toHex(value) : value;
}

const char* const kCallUsage = "usage: vrk call [--hex] OP [ARG] [OP [ARG]]...\n";

void callHelp(std::ostream& out) {
    out << kCallUsage
        << "\n"
           "Runs the named operations in order on one library object in one thread, in the current\n"
           "folder. An operation that takes a string consumes the next argument as the initial value\n"
           "of its string (\"\" is the empty string); with --hex arguments and results are hexadecimal\n"
           "bytes. Each operation prints one line 'OP STATUS VALUE' on standard output: STATUS is 0 or\n"
           "the run-time error number, VALUE the string after the call (\"\" when empty) or - for an\n"
           "operation without one. It stops after the first failure.\n"
           "Exit status: 0 all succeeded, 1 one failed, 2 usage error.\n"
           "\n"
           "operations (STRING: takes a string):\n";
    for (const auto& op : kSdkOperations) out << "  " << op.name << (op.takesString() ? " STRING" : "") << '\n';
}

}  // namespace

std::string toHex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

bool fromHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2 != 0) return false;
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        callHelp(out);
        return 0;
    }
    size_t i = 0;
    const bool hex = i < args.size() && args[i] == "--hex";
    if (hex) ++i;
    std::vector<Step> steps;
    for (; i < args.size(); ++i) {
        const SdkOperation* op = findOperation(args[i]);
        if (op == nullptr) {
            err << "vrk call: unknown operation '" << args[i] << "'\n";
            return 2;
        }
        Step step{op, {}};
        if (op->takesString()) {
            if (++i >= args.size()) {
                err << "vrk call: " << op->name << " needs a string argument\n";
                return 2;
            }
            step.argument = unquote(args[i]);
            std::string bytes;
            if (hex && !fromHex(step.argument, bytes)) {
                err << "vrk call: '" << args[i] << "' is not hexadecimal\n";
                return 2;
            }
            if (hex) step.argument = std::move(bytes);
        }
        steps.push_back(std::move(step));
    }
    if (steps.empty()) {
        err << kCallUsage;
        return 2;
    }

    SdkObject sdk;
    for (Step& step : steps) {
        const SdkOperation& op = *step.operation;
        const int32_t status = op.takesString() ? ((*sdk).*op.withString)(step.argument) : ((*sdk).*op.noArgument)();
        out << op.name << ' ' << status << ' ' << (op.takesString() ? shown(step.argument, hex) : "-") << '\n';
        if (status != 0) return 1;
    }
    return 0;
}

}  // namespace varkel::tools
