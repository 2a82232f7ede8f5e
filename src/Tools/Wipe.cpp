// vrk wipe / vrk shutdown: destroying files and key material.
#include "Commands.h"
#include "Session.h"

#include <ostream>

namespace varkel::tools {
namespace {

const char* const kWipeHelp =
    "usage: vrk wipe [-q] FILE...\n"
    "\n"
    "Overwrites each FILE with blanks, flushes it to disk and deletes it (five passes). This\n"
    "cannot be undone. On file systems that keep old copies of data (copy-on-write, snapshots,\n"
    "flash wear levelling) the overwrite may not reach every earlier copy.\n";

const char* const kShutdownHelp =
    "usage: vrk shutdown\n"
    "\n"
    "Overwrites and deletes the key files in the current folder (k1.* to k5.*, k6.dat), as\n"
    "left by --keep-keys or by an interrupted run. Any program of the system working in this\n"
    "folder loses its key set-up too. Vrkdec.dat and decrypted files are not touched.\n";

}  // namespace

int runWipe(const Arguments& args, std::ostream& out, std::ostream& err) {
    return runSubcommand("wipe", kWipeHelp, args, 0, out, err, [&](const Options& o) {
        if (o.operands.empty()) throw UsageError("no file given");
        std::vector<NamedFile> files;
        bool ok = true;
        for (const std::string& shown : o.operands) {
            try {
                NamedFile file = nameFile(shown);
                // The library makes a missing file and deletes it again without a word.
                checkInput(file, true);
                files.push_back(std::move(file));
            } catch (const FileProblem& problem) {
                report(err, problem);
                ok = false;
            }
        }
        if (files.empty()) return 1;
        const int status = runWithoutKeys([&](_SDK& sdk) {
            return forEachFile(
                files.size(), o.quiet, err, [&](size_t i) -> const NamedFile& { return files[i]; },
                [&](size_t i) {
                    std::string cmd = files[i].library;
                    return sdk.VrkKillFile(cmd);
                },
                [&](size_t i, int32_t result) {
                    if (result != 0) report(err, files[i].shown, result);
                    return result == 0;
                });
        });
        return ok ? status : 1;
    });
}

int runShutdown(const Arguments& args, std::ostream& out, std::ostream& err) {
    return runSubcommand("shutdown", kShutdownHelp, args, 0, out, err, [&](const Options& o) {
        if (!o.operands.empty()) throw UsageError("takes no arguments");
        return runWithoutKeys([&](_SDK& sdk) { return destroyKeys(sdk, err); });
    });
}

}  // namespace varkel::tools
