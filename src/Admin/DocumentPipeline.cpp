#include "DocumentPipeline.h"

#include "DocumentContent.h"
#include "WinPath.h"
#include "WorkerPool.h"

#include <algorithm>
#include <deque>
#include <future>
#include <mutex>
#include <optional>

namespace varkel::admin {
namespace {

using platform::DocumentContent;

class Pipeline {
public:
    Pipeline(const std::vector<std::string>& documents, const std::vector<size_t>& order, const PipelineSteps& steps,
             const PipelineOptions& options)
        : documents_(documents), order_(order), steps_(steps), options_(options), pool_(options.workers) {}

    // Whatever happens, no worker is left using this object's members.
    ~Pipeline() { settle(); }

    void run() {
        while (!stopped_) {
            readAhead();
            if (reading_.empty()) break;
            const size_t index = reading_.front().index;
            std::optional<DocumentContent> content = take(reading_.front().content);
            reading_.pop_front();
            if (!content) {
                documentFailed(index);
            } else if (content->kind == DocumentContent::Kind::Other) {
                doByName(index);
            } else if (content->kind == DocumentContent::Kind::Read) {
                writeBack(index, std::move(*content));
            }  // else missing: gone since the command began
        }
        finishWritten(0);
    }

private:
    struct Reading {
        size_t index;
        std::future<DocumentContent> content;
    };
    struct Writing {
        size_t index;
        std::future<void> done;
    };

    void readAhead() {
        while (reading_.size() < std::max<size_t>(options_.ahead, 1) && next_ < order_.size()) {
            const size_t index = order_[next_++];
            reading_.push_back({index, pool_.submit([document = documents_[index], largest = options_.largest] {
                                    return platform::readDocument(document, largest);
                                })});
        }
    }

    // The content read, or nothing when it could not be read (`error_` says why).
    std::optional<DocumentContent> take(std::future<DocumentContent>& reading) {
        try {
            return reading.get();
        } catch (const platform::VbError& error) {
            error_ = error;
            return std::nullopt;
        }
    }

    // After `error_`: the command says whether to go on with the documents not yet started.
    void documentFailed(size_t index) {
        const std::lock_guard lock(steps_mutex_);
        if (!steps_.failed(index, *error_)) stopped_ = true;
    }

    // A document done by name comes after the ones before it are finished, so that they are
    // finished in their order.
    void doByName(size_t index) {
        finishWritten(0);
        if (stopped_) return;
        try {
            const std::lock_guard lock(steps_mutex_);
            steps_.byName(index);
        } catch (const DocumentFailed& failed) {
            error_ = failed.error;
            documentFailed(index);
            return;
        }
        finished(index);
    }

    void writeBack(size_t index, DocumentContent content) {
        std::string newContent;
        try {
            const std::lock_guard lock(steps_mutex_);
            newContent = steps_.newContent(index, content.bytes);
        } catch (const DocumentFailed& failed) {
            platform::wipe(content.bytes);
            error_ = failed.error;
            documentFailed(index);
            return;
        } catch (...) {
            platform::wipe(content.bytes);  // it may be plaintext
            throw;
        }
        platform::wipe(content.bytes);
        writing_.push_back({index, pool_.submit([this, index, document = std::move(content),
                                                  bytes = std::move(newContent)] { place(index, document, bytes); })});
        finishWritten(options_.ahead);
    }

    // On a worker: the scratch copy, the command's mark, the rename. A scratch copy that
    // cannot be written is the document's failure; once the mark is made, a failure is not:
    // the next start finishes the rename from the journal.
    void place(size_t index, const DocumentContent& document, const std::string& bytes) {
        platform::ScratchCopy copy;
        try {
            copy = platform::writeScratch(document, bytes);
        } catch (const platform::VbError& error) {
            platform::removeScratch(document);
            throw DocumentFailed{error};
        }
        {
            const std::lock_guard lock(steps_mutex_);
            steps_.written(index);
        }
        platform::putInPlace(copy);
        const std::lock_guard lock(steps_mutex_);
        steps_.placed(index);
    }

    // Finishes written documents, oldest first, until no more than `keep` are in hand. Those
    // already under way are finished even after a stop: they are in place.
    void finishWritten(size_t keep) {
        while (writing_.size() > keep) {
            Writing oldest = std::move(writing_.front());
            writing_.pop_front();
            try {
                oldest.done.get();
            } catch (const DocumentFailed& failed) {
                error_ = failed.error;
                documentFailed(oldest.index);
                continue;
            }
            finished(oldest.index);
        }
    }

    void finished(size_t index) {
        const std::lock_guard lock(steps_mutex_);
        steps_.finished(index);
    }

    // Waits for every task in hand; what they read is wiped, what they fail with is dropped.
    void settle() {
        for (auto& r : reading_) {
            try {
                DocumentContent content = r.content.get();
                platform::wipe(content.bytes);
            } catch (...) {
            }
        }
        reading_.clear();
        for (auto& w : writing_) {
            try {
                w.done.get();
            } catch (...) {
            }
        }
        writing_.clear();
    }

    const std::vector<std::string>& documents_;
    const std::vector<size_t>& order_;
    const PipelineSteps& steps_;
    const PipelineOptions& options_;
    std::mutex steps_mutex_;
    std::deque<Reading> reading_;
    std::deque<Writing> writing_;
    size_t next_ = 0;
    bool stopped_ = false;
    std::optional<platform::VbError> error_;
    WorkerPool pool_;  // last: its threads end before the members they use go
};

}  // namespace

void runPipeline(const std::vector<std::string>& documents, const std::vector<size_t>& order,
                 const PipelineSteps& steps, const PipelineOptions& options) {
    Pipeline(documents, order, steps, options).run();
}

}  // namespace varkel::admin
