// The conversion journal as arbitrary bytes: read back, or refused with an error number.
#include "Conversion.h"
#include "FuzzSupport.h"

using namespace varkel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::enterScratchFolder();
    fuzz::writeFile(admin::kJournalFile, std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::tolerateVbError([] {
        const auto journal = admin::findInterruptedConversion();
        if (!journal) fuzz::finding();  // the journal file is there
        if (journal->converted.size() != journal->documents.size()) fuzz::finding();
        if (journal->networkPath.empty() || journal->oldKey.empty() || journal->newKey.empty()) fuzz::finding();
    });
    return 0;
}
