// A document's whole content, read for a command that gives the document a new content, and
// the way that new content takes its place.
//
// What the command needs afterwards (where the file lies, whose it is) is kept with the content,
// so the new content takes the document's place without the document being looked up again: on
// a network share every look is a round trip to the server. These functions hold no state of
// their own, so several threads may use them at once on different documents.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace varkel::platform {

struct DocumentContent {
    enum class Kind {
        Read,     // `bytes` holds the whole content
        Missing,  // no file of that name
        Other,    // a link, a special file, or larger than asked for: to be handled by name
    };
    Kind kind = Kind::Missing;
    std::string bytes;
    std::filesystem::path host;     // the file itself
    std::filesystem::path scratch;  // beside it: its name as given followed by kScratchSuffix
    uint32_t owner = 0;
    uint32_t group = 0;
    uint32_t mode = 0;
};

// Reads the document whole when it is a regular file, not a link, of at most `maxBytes`.
// Failures to read it raise VbError.
DocumentContent readDocument(std::string_view winPath, uint64_t maxBytes);

// A complete copy of a document's new content in a scratch file beside it.
struct ScratchCopy {
    std::filesystem::path host;
    std::filesystem::path document;  // the file it replaces
};

// Writes `content` into the document's scratch file (emptied, or created; never reached through
// a link) with the document's owner (as far as this user may give it), group and permission
// bits, and flushes it to disk. That is the file hostPath gives for the document's name followed
// by kScratchSuffix.
ScratchCopy writeScratch(const DocumentContent& document, std::string_view content);

// The scratch copy takes the document's place by one rename.
void putInPlace(const ScratchCopy& copy);

// Removes what is left of a scratch copy that could not be written, if anything.
void removeScratch(const DocumentContent& document) noexcept;

// Overwrites the bytes of a string that held plaintext before it is released.
void wipe(std::string& bytes);

}  // namespace varkel::platform
