// One launcher's lock traffic for the parallel tests:
//   lock-driver NETWORK-PATH ID CYCLES DOCUMENTS
//   lock-driver NETWORK-PATH ID CYCLES DOCUMENTS spellings
//   lock-driver NETWORK-PATH ID hold     takes the list guard and keeps it until killed
//   lock-driver NETWORK-PATH ID lock DOCUMENT   locks the document as a launcher does and
//                                               keeps it until killed
// Each cycle picks a document, locks it, marks it held (a second holder would find the mark),
// checks that its lock line is still listed, registers it, drops the mark and unlocks it.
// With "spellings", each driver names the documents its own way (by its ID: as listed, in
// another letter case, or through drive C:) and locks the name the launcher makes of that.
// Writes "grants doubleGrants lostLines" to reportID.txt in the network folder. A failure ends
// the driver with its message on standard error and status 1, and no report.
#include "File.h"
#include "LockList.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char* argv[]) {
    using namespace varkel;
    if (argc == 4 && std::string(argv[3]) == "hold") {
        const shared::ListGuard guard(argv[1]);
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (argc == 5 && std::string(argv[3]) == "lock") {
        if (shared::lockDocument(argv[1], argv[4]) != shared::LockResult::Granted) return 1;
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (argc != 5 && argc != 6) return 2;
    const bool spellings = argc == 6 && std::string(argv[5]) == "spellings";
    const std::string net = argv[1];
    const std::string id = argv[2];
    const int cycles = std::atoi(argv[3]);
    const int documents = std::atoi(argv[4]);
    int grants = 0, doubles = 0, lost = 0;
    try {
        for (int c = 0; c < cycles; ++c) {
            const std::string n = std::to_string((c + std::atoi(argv[2])) % documents);
            std::string document = "N:\\Docs\\doc" + n + ".txt";
            if (spellings) {
                const std::string onHost = "C:" + platform::hostPath(net).string() + "/Docs/doc" + n + ".txt";
                const std::string spelt[] = {document, "n:\\docs\\DOC" + n + ".TXT", onHost};
                document = platform::canonicalPath(spelt[std::atoi(argv[2]) % 3], net).path;
            }
            if (shared::lockDocument(net, document) != shared::LockResult::Granted) continue;
            ++grants;
            const std::string mark = net + "held" + n;
            if (!platform::createExclusive(mark, id)) ++doubles;
            if (!shared::containsLine(net + "Locked.dat", document, shared::Case::Exact)) ++lost;
            shared::registerDocument(net, document);
            platform::deleteFile(mark);
            shared::unlockDocument(net, document);
        }
        shared::writeLines(net + "report" + id + ".txt",
                           {std::to_string(grants) + " " + std::to_string(doubles) + " " + std::to_string(lost)});
    } catch (const platform::VbError& e) {
        std::fprintf(stderr, "lock-driver %s: error %d: %s\n", id.c_str(), e.number(), e.what());
        return 1;
    }
    return 0;
}
