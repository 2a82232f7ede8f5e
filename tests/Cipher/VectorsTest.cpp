// Known answers computed by a separate model of the cipher library.
//
// Each case of a .vec file starts in an empty working folder with a fresh module state,
// creates its input files, runs its calls in order on one SDK object and compares:
//   case NAME                 a case begins
//   file NAME HEX             an input file to create before the calls
//   call OP ARG               an operation and the initial value of its string ("" empty, - none)
//   expect STATUS VALUE       its status and the string it leaves (after each call)
//   after NAME LENGTH SHA256  a file that must exist at the end
//   values NAME V1 V2 ...     a text scratch file that must hold these values, in any spacing
//   end                       the folder must hold exactly the files named by after and values
// Byte strings are lower-case hexadecimal. The calls stop at the first status that is not 0.
#include "Sdk.h"
#include "Sha256.h"
#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace varkel::cipher {
namespace {

namespace fs = std::filesystem;

struct Call {
    std::string op;
    std::string argument;  // "-" for none
    int32_t status = 0;
    std::string value;     // "-" for none
};

struct Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<Call> calls;
    std::map<std::string, std::pair<uint64_t, std::string>> after;
    std::map<std::string, std::vector<std::string>> values;
};

std::string fromHex(const std::string& text) {
    if (text == "\"\"") return {};
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string toHex(const std::string& bytes) {
    if (bytes.empty()) return "\"\"";
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) text += {digits[c >> 4], digits[c & 15]};
    return text;
}

std::vector<Case> readCases(const fs::path& file) {
    std::ifstream in(file);
    std::vector<Case> cases;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "case") {
            cases.emplace_back();
            words >> cases.back().name;
        } else if (kind == "file") {
            std::string name, hex;
            words >> name >> hex;
            cases.back().files.emplace_back(name, fromHex(hex));
        } else if (kind == "call") {
            Call call;
            words >> call.op >> call.argument;
            cases.back().calls.push_back(call);
        } else if (kind == "expect") {
            words >> cases.back().calls.back().status >> cases.back().calls.back().value;
        } else if (kind == "after") {
            std::string name, digest;
            uint64_t length = 0;
            words >> name >> length >> digest;
            cases.back().after[name] = {length, digest};
        } else if (kind == "values") {
            std::string name, value;
            words >> name;
            while (words >> value) cases.back().values[name].push_back(value);
        }
    }
    return cases;
}

const SdkOperation* operationNamed(const std::string& name) {
    for (const SdkOperation& op : kSdkOperations)
        if (name == op.name) return &op;
    return nullptr;
}

// The numbers of a text file, whatever separates them.
std::vector<std::string> numbersIn(const std::string& text) {
    std::vector<std::string> numbers;
    std::string current;
    for (char c : text + ' ') {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == ',') {
            if (!current.empty()) numbers.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return numbers;
}

class KnownAnswers : public test::ScratchFolder, public ::testing::WithParamInterface<const char*> {
protected:
    // Runs one case in the current folder, on a thread of its own so that the module state is
    // that of a freshly loaded library. Returns the differences found.
    std::vector<std::string> runCase(const Case& c) {
        for (const auto& [name, bytes] : c.files) test::writeBytes(name, bytes);
        std::vector<std::string> differences;
        std::thread([&] {
            auto* sdk = new SDK;
            for (const Call& call : c.calls) {
                const SdkOperation* op = operationNamed(call.op);
                if (op == nullptr) {
                    differences.push_back("unknown operation " + call.op);
                    break;
                }
                std::string value = call.argument == "-" ? std::string() : fromHex(call.argument);
                const int32_t status = op->takesString() ? (sdk->*op->withString)(value) : (sdk->*op->noArgument)();
                const std::string shown = op->takesString() ? toHex(value) : "-";
                if (status != call.status || shown != call.value)
                    differences.push_back(call.op + " gave " + std::to_string(status) + " " + shown + ", expected " +
                                          std::to_string(call.status) + " " + call.value);
                if (status != 0) break;
            }
            sdk->Release();
        }).join();
        std::set<std::string> expected;
        for (const auto& [name, file] : c.after) {
            expected.insert(name);
            const std::string bytes = test::readBytes(name);
            if (!fs::exists(name) || bytes.size() != file.first || test::sha256Hex(bytes) != file.second)
                differences.push_back(name + ": " + std::to_string(bytes.size()) + " bytes with SHA-256 " +
                                      test::sha256Hex(bytes) + ", expected " + std::to_string(file.first) + " " +
                                      file.second);
        }
        for (const auto& [name, numbers] : c.values) {
            expected.insert(name);
            if (numbersIn(test::readBytes(name)) != numbers) differences.push_back(name + " holds other values");
        }
        for (const auto& entry : fs::directory_iterator(fs::current_path()))
            if (!expected.count(entry.path().filename().string()))
                differences.push_back("unexpected file " + entry.path().filename().string());
        return differences;
    }
};

TEST_P(KnownAnswers, EveryCasePasses) {
    const std::vector<Case> cases = readCases(fs::path(VARKEL_VECTORS_DIR) / GetParam());
    ASSERT_FALSE(cases.empty());
    const fs::path work = fs::current_path();
    for (const Case& c : cases) {
        const fs::path folder = work / c.name;
        fs::create_directory(folder);
        fs::current_path(folder);
        for (const std::string& difference : runCase(c)) ADD_FAILURE() << c.name << ": " << difference;
        fs::current_path(work);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, KnownAnswers, ::testing::Values("keysetup.vec", "strings.vec", "files.vec"));

}  // namespace
}  // namespace varkel::cipher
