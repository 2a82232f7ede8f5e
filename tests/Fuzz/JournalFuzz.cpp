// The journals of the console's many-document commands (key conversion, folder encryption) as
// arbitrary bytes: each is read back whole or refused with an error number.
#include "Conversion.h"
#include "FolderEncryption.h"
#include "FuzzSupport.h"

using namespace varkel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::enterScratchFolder();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile(admin::kJournalFile, bytes);
    fuzz::writeFile(admin::kEncryptJournalFile, bytes);
    fuzz::tolerateVbError([] {
        const auto journal = admin::findInterruptedConversion();
        if (!journal) fuzz::finding();  // the journal file is there
        if (journal->converted.size() != journal->documents.size()) fuzz::finding();
        if (journal->networkPath.empty() || journal->oldKey.empty() || journal->newKey.empty()) fuzz::finding();
    });
    fuzz::tolerateVbError([] {
        const auto journal = admin::findInterruptedEncryption();
        if (!journal) fuzz::finding();
        if (journal->encrypted.size() != journal->documents.size()) fuzz::finding();
        if (journal->networkPath.empty() || journal->key.empty()) fuzz::finding();
    });
    return 0;
}
