// Gives many documents a new content: one document after the other in the library, several at a
// time on the network share.
//
// On a network share every look at a file and every change to it is a round trip to the server,
// and most of a document's time goes on waiting for them. So worker threads read the next
// documents and put finished ones in place, while the calling thread runs the library, which must
// only ever be called from that one thread. Each document goes through these steps:
//   worker:          read whole. A missing document is passed over; a link, a special file or a
//                    large document is handed to `byName` instead, which does all of its work;
//   calling thread:  `newContent` makes the new content;
//   worker:          the new content is written into the scratch file beside the document
//                    (document + kScratchSuffix) and flushed, `written` runs (the command's
//                    journal mark), the copy takes the document's place by one rename, and
//                    `placed` runs. A document whose copy cannot be written has failed, as one
//                    that cannot be read has; a failure after its mark ends the run, and the
//                    next start finishes the document from the command's journal;
//   calling thread:  `finished` runs, in the order of the documents.
// The callbacks run one at a time, never two at once, so they need no locks of their own.
#pragma once

#include "VbError.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varkel::admin {

struct PipelineOptions {
    size_t workers = 4;                      // threads for the share; 0: every step on the calling thread
    size_t ahead = 4;                        // documents read ahead, and documents being written back
    uint64_t largest = uint64_t{8} << 20;    // larger documents are done by name
};

// Raised by `newContent` or `byName` when the library could not make a document's new content.
struct DocumentFailed {
    platform::VbError error;
};

struct PipelineSteps {
    // The new content of document `index` from its content, which it may overwrite.
    std::function<std::string(size_t index, std::string& content)> newContent;
    // All the work for a document that is done by name.
    std::function<void(size_t index)> byName;
    std::function<void(size_t index)> written;
    std::function<void(size_t index)> placed;
    std::function<void(size_t index)> finished;
    // A document could not be read or its copy written, or `newContent` or `byName` raised
    // DocumentFailed: true to go on with the other documents, false to start no more.
    std::function<bool(size_t index, const platform::VbError& error)> failed;
};

// Takes `order` (indices into `documents`) through the steps. When `failed` says to stop, no
// further document is started; those already under way are finished, and the others are left
// as they are. Any other failure ends the run with that error, once the work in hand has ended.
void runPipeline(const std::vector<std::string>& documents, const std::vector<size_t>& order,
                 const PipelineSteps& steps, const PipelineOptions& options = {});

}  // namespace varkel::admin
