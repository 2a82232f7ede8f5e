// Which library file serves a class: the registered one, the one beside the program (a build
// tree), or the one of an installation, found from the programs' folder.
#include "Component.h"
#include "TestSupport.h"

#include <optional>
#include <stdexcept>

namespace varkel::platform {
namespace {

namespace fs = std::filesystem;
using test::writeBytes;

constexpr Guid kClass = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr const char* kFile = "libExample.so";

class ComponentLookup : public test::ScratchFolder {
protected:
    // An installation under `prefix` keeps its programs in bin and the library in its component
    // folder; a build keeps both in one folder.
    fs::path programs() const { return root() / "prefix" / "bin"; }
    fs::path installed() const { return (programs() / VARKEL_COMPONENT_FOLDER / kFile).lexically_normal(); }
    fs::path beside() const { return programs() / kFile; }
    fs::path registered() const { return root() / "elsewhere" / kFile; }
    static void place(const fs::path& file) {
        fs::create_directories(file.parent_path());
        writeBytes(file, "library");
    }
};

TEST_F(ComponentLookup, RegisteredFirstThenBesideTheProgramThenTheInstallation) {
    struct Case {
        const char* layout;
        bool registered, registeredExists, beside, installed;
        std::optional<int> chosen;  // 0 registered, 1 beside, 2 installed; none: not found
    };
    const Case cases[] = {
        {"installed only", false, false, false, true, 2},
        {"build tree", false, false, true, true, 1},
        {"registered", true, true, true, true, 0},
        {"registered file gone", true, false, false, true, 2},
        {"nothing", true, false, false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove_all(root() / "prefix", ec);
        fs::remove_all(root() / "elsewhere", ec);
        unregisterComponent(kClass);
        fs::create_directories(programs());
        if (c.registered) registerComponent(kClass, registered());
        if (c.registeredExists) place(registered());
        if (c.beside) place(beside());
        if (c.installed) place(installed());

        if (!c.chosen) {
            try {
                findComponent(kClass, kFile, programs());
                ADD_FAILURE() << c.layout << ": found a library";
            } catch (const std::runtime_error& e) {
                // The message names every place that was tried.
                const std::string what = e.what();
                for (const fs::path& place : {registered(), beside(), installed()})
                    EXPECT_NE(what.find(place.string()), std::string::npos) << what;
            }
            continue;
        }
        const fs::path expected[] = {registered(), beside(), installed()};
        EXPECT_EQ(findComponent(kClass, kFile, programs()), expected[*c.chosen]) << c.layout;
    }
}

TEST_F(ComponentLookup, TheInstallationsFolderLiesBelowThePrefix) {
    // bin/../lib/.../varkel, wherever the prefix is.
    const fs::path relative = installed().lexically_relative(root() / "prefix");
    ASSERT_FALSE(relative.empty());
    EXPECT_NE(*relative.begin(), "..");
    EXPECT_EQ(relative.parent_path().filename(), "varkel");
}

}  // namespace
}  // namespace varkel::platform
