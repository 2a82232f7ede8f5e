// Measurements on a network share set up by tests/Share/share-harness.sh (bench/share.sh runs
// it): Encrypt New Folder and a conversion to a new key of many small documents, beside cp of
// the same files up to, down from and on the share, the cipher alone on the same bytes in
// memory, the time each command spends inside the cipher library, and the launcher's time from
// its button to the application's start for a large document. The console works as machine B,
// the launcher as machine A. Prints one table.
//
//   share-bench [DOCUMENTS] [KIB] [LAUNCHER_MIB]     defaults: 2000 64 10
#include "Conversion.h"
#include "Dialogs.h"
#include "FolderEncryption.h"
#include "Library.h"
#include "Form1.h"
#include "SystemFiles.h"
#include "VarkelSDK.h"
#include "WinPath.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kKey = "123456789";
const std::string kNewKey = "987654321";

class PrintedDialogs : public varkel::shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override { std::cerr << "message: " << text.toStdString() << "\n"; }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    bool askNoByDefault(QWidget*, const QString& text, const QString&) override {
        std::cerr << "question answered No: " << text.toStdString() << "\n";
        return false;
    }
    [[noreturn]] void fatal(QWidget*, const QString& text) override {
        std::cerr << "fatal: " << text.toStdString() << "\n";
        std::exit(3);
    }
};

std::string variable(const std::string& name) {
    const char* value = std::getenv(("VARKEL_SHARE_" + name).c_str());
    if (value == nullptr) throw std::runtime_error("VARKEL_SHARE_" + name + " is not set: run bench/share.sh");
    return value;
}

void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

double seconds(const std::function<void()>& work) {
    const auto t0 = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// Works as one machine of the share: its drive map and working folder.
void actAs(const std::string& machine) {
    const fs::path work = variable(machine + "_WORK");
    fs::create_directories(work);
    writeFile(work / "network.dat", "N:\\\r\n");
    ::setenv("XDG_CONFIG_HOME", variable(machine + "_CONFIG").c_str(), 1);
    fs::current_path(work);
}

// The console's calls into the library, timed: the cipher's own share of a command.
class TimedLibrary : public varkel::admin::Library {
public:
    int32_t VrkGenBinaryKeys(std::string& a) override { return timed(a, &Library::VrkGenBinaryKeys); }
    int32_t VrkBinaryFileEnc(std::string& a) override { return timed(a, &Library::VrkBinaryFileEnc); }
    int32_t VrkBinaryFileDec(std::string& a) override { return timed(a, &Library::VrkBinaryFileDec); }
    int32_t VrkKillFile(std::string& a) override { return timed(a, &Library::VrkKillFile); }
    // The time spent in the library since the last call.
    double take() { return std::exchange(seconds_, 0.0); }

private:
    int32_t timed(std::string& arg, int32_t (Library::*call)(std::string&)) {
        const auto t0 = Clock::now();
        const int32_t status = (Library().*call)(arg);
        seconds_ += std::chrono::duration<double>(Clock::now() - t0).count();
        return status;
    }
    double seconds_ = 0;
};

// The cipher alone on the same bytes, in memory (the library's string operations): one pass
// for the encryption; for the conversion a pass back under the old key and one under the new,
// each key set up once.
struct CipherAlone {
    double encryption = 0;
    double conversion = 0;
};
CipherAlone cipherAlone(const fs::path& folder) {
    std::vector<std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    varkel::SdkObject sdk;
    CipherAlone t;
    std::string key = kKey;
    sdk->VrkGenBinaryKeys(key);
    t.encryption = seconds([&] {
        for (auto& bytes : contents) sdk->VrkBEnc(bytes);
    });
    t.conversion = seconds([&] {
        for (auto& bytes : contents) sdk->VrkBDec(bytes);
        std::string other = kNewKey;
        sdk->VrkGenBinaryKeys(other);
        for (auto& bytes : contents) sdk->VrkBEnc(bytes);
    });
    return t;
}

// From the button to the application's start: the application notes the wall clock.
double launcherStart(const fs::path& local, size_t mib) {
    const fs::path server = variable("SERVER");
    fs::create_directories(server / "Docs");
    writeFile(server / "Docs" / "big.bin", randomBytes(mib << 20, 7));
    {
        std::string arg = varkel::platform::windowsPath(server / "Docs" / "big.bin");
        varkel::SdkObject sdk;
        std::string key = kNewKey;
        sdk->VrkGenBinaryKeys(key);
        sdk->VrkBinaryFileEnc(arg);
    }
    const fs::path editor = local / "started.sh";
    writeFile(editor, "#!/bin/sh\ndate +%s.%N > \"$(dirname \"$0\")/started\"\nprintf x >> \"$1\"\n");
    ::chmod(editor.c_str(), 0755);
    writeFile(server / "apps.dat", "Edit:" + varkel::platform::windowsPath(editor) + "\r\n");
    actAs("A");
    varkel::user::Form1 form;
    form.show();
    form.findChild<QLabel*>("Label1")->setText("N:\\Docs\\big.bin");
    double clicked = 0;
    QTimer::singleShot(0, &form, [&] {
        clicked = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        form.Interface(1);
        form.close();
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    });
    QApplication::exec();
    std::ifstream started(local / "started");
    double at = 0;
    if (!(started >> at)) throw std::runtime_error("the application did not start");
    return at - clicked;
}

void row(const std::string& what, double s, const std::string& note = {}) {
    std::printf("| %-62s | %9.2f s | %s\n", what.c_str(), s, note.c_str());
}
std::string ratio(double a, double b, const std::string& of) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2fx %s", a / b, of.c_str());
    return text;
}
std::string percent(double part, double whole) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f %%", 100 * part / whole);
    return text;
}

}  // namespace

int main(int argc, char* argv[]) try {
    const int documents = argc > 1 ? std::atoi(argv[1]) : 2000;
    const size_t kib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    const size_t launcherMib = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PrintedDialogs dialogs;
    varkel::shared::Dialogs::install(&dialogs);

    const fs::path server = variable("SERVER");
    const fs::path mount = variable("B_MOUNT");
    const fs::path local = fs::path(variable("B_WORK")).parent_path() / "bench";
    fs::create_directories(local / "src");
    for (int i = 0; i < documents; ++i)
        writeFile(local / "src" / ("doc" + std::to_string(i) + ".bin"), randomBytes(kib << 10, static_cast<uint32_t>(i)));
    writeFile(server / "key.dat", kKey + "\r\n");
    writeFile(server / "apps.dat", "Edit:C:\\bin\\true\r\n");
    shell("cat '" + (local / "src").string() + "'/* > /dev/null");

    const double up = seconds([&] { shell("cp -r '" + (local / "src").string() + "' '" + (mount / "New").string() + "'"); });
    const double down = seconds([&] { shell("cp -r '" + (mount / "New").string() + "' '" + (local / "down").string() + "'"); });
    // One copy of the files on the share: each read from it and written back to it, as an
    // encryption in place must.
    const double onShare = seconds([&] { shell("cp -r '" + (mount / "New").string() + "' '" + (mount / "Copy").string() + "'"); });
    shell("rm -rf '" + (mount / "Copy").string() + "'");

    actAs("B");
    TimedLibrary library;
    varkel::admin::Library::install(&library);
    size_t encrypted = 0;
    const double encryption = seconds([&] {
        const auto plan = varkel::admin::planFolder("N:\\New\\", "N:\\", {});
        encrypted = varkel::admin::runEncryption(varkel::admin::beginEncryption("N:\\", kKey, plan.toEncrypt));
    });
    if (encrypted != static_cast<size_t>(documents)) throw std::runtime_error("not every document was encrypted");
    const double encryptionInLibrary = library.take();
    varkel::admin::ConversionResult converted;
    const double conversion = seconds([&] {
        auto start = varkel::admin::beginConversion("N:\\", kKey, kNewKey, false);
        if (!start.journal) throw std::runtime_error("the conversion did not start");
        converted = varkel::admin::runConversion(std::move(*start.journal));
    });
    if (converted.converted != documents) throw std::runtime_error("not every document was converted");
    const double conversionInLibrary = library.take();
    varkel::admin::Library::install(nullptr);
    const CipherAlone cipher = cipherAlone(local / "src");

    // Registered, as the console would have it: the launcher asks before opening anything else.
    std::ofstream(server / "Files.dat", std::ios::binary | std::ios::app) << "N:\\Docs\\big.bin\r\n";
    std::vector<double> starts;
    for (int i = 0; i < 3; ++i) starts.push_back(launcherStart(local, launcherMib));
    std::sort(starts.begin(), starts.end());

    std::printf("\n%d documents of %zu KiB on the share (%s mounts); load average %s\n", documents, kib,
                variable("CACHE").c_str(), [] {
                    static std::string load;
                    std::ifstream("/proc/loadavg") >> load;
                    return load.c_str();
                }());
    std::printf("| %-62s | %11s | %s\n| --- | ---: | --- |\n", "Measurement", "Time", "Ratio");
    row("cp of the files up to the share", up);
    row("cp of the files down from the share", down);
    row("cp of the files on the share (read from it, written to it)", onShare);
    row("Encrypt New Folder on the share", encryption,
        ratio(encryption, onShare, "of one copy on the share (target <= 1.5x); ") + ratio(encryption, up, "of a copy up"));
    row("conversion to a new key on the share", conversion,
        ratio(conversion, up + down, "of a copy down and up (target <= 2.5x)"));
    row("the cipher alone on the same bytes, once (encryption)", cipher.encryption,
        percent(cipher.encryption, encryption) + " of the folder encryption (target < 10 %)");
    row("the cipher alone, back and forth (conversion)", cipher.conversion,
        percent(cipher.conversion, conversion) + " of the conversion (target < 10 %)");
    row("the folder encryption's time inside the library", encryptionInLibrary,
        percent(encryptionInLibrary, encryption) + " (files in the working folder, secure deletion)");
    row("the conversion's time inside the library", conversionInLibrary,
        percent(conversionInLibrary, conversion) + " (also two key set-ups a document)");
    row("launcher: button to application started, " + std::to_string(launcherMib) + " MiB (median of 3)", starts[1],
        "runs " + std::to_string(starts[0]).substr(0, 5) + " .. " + std::to_string(starts[2]).substr(0, 5) + " s");
    return 0;
} catch (const std::exception& e) {
    std::cerr << "share-bench: " << e.what() << "\n";
    return 1;
}
