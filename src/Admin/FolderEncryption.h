// Encrypting the files of a folder and registering them in the current-files list.
//
// The command survives being killed at any moment and never encrypts a document twice or
// leaves one encrypted but unregistered: the format has no header, so nothing could tell
// afterwards. A journal in the working folder holds the key and the planned documents, and
// marks each document whose encrypted copy is complete. Each document's encrypted content is
// written into a scratch file beside it, which then replaces it in one rename, and it is
// registered together with the documents encrypted just before or after it. The next start of
// the console finishes an interrupted command from the journal.
#pragma once

#include "DocumentPipeline.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::admin {

inline constexpr const char* kEncryptJournalFile = "Encrypt.jnl";  // in the working folder

struct FolderPlan {
    std::vector<std::string> toEncrypt;    // full paths, in listing order
    std::vector<std::string> registered;   // already in the current-files list: left out
    std::vector<std::string> systemFiles;  // the system's own files: left out
};

// The ordinary files of `folder` (which ends in "\"): those to encrypt, those the
// current-files list already names (compared without regard to case) and the system's own.
// Each is named as the lists name a document (as the launcher names one it opens): resolved
// on the host with the letter case on disk, and inside `networkPath` as the network path
// followed by the part inside. So a folder picked under another spelling (another letter case,
// or through drive C:) finds what is listed already and encrypts nothing twice.
FolderPlan planFolder(const std::string& folder, const std::string& networkPath,
                      const std::vector<std::string>& currentFiles);

// What the progress line adds to each name, the message when nothing is left to encrypt, and
// the closing message.
std::string leftOutNote(const FolderPlan& plan);
std::string nothingToEncryptMessage(const std::string& folder, const FolderPlan& plan);
std::string encryptedMessage(const std::string& folder, size_t encrypted, const FolderPlan& plan);

// A path as a file command carries it: in double quotes when it holds a blank.
std::string commandName(const std::string& path);

// Whether `list` holds `path`, compared without regard to case (as the file system does).
bool listedIn(const std::vector<std::string>& list, const std::string& path);

struct EncryptionJournal {
    std::string networkPath;             // ends in "\"
    std::string key;                     // the key the documents are encrypted under
    std::vector<std::string> documents;  // in order
    std::vector<bool> encrypted;         // per document: its encrypted copy is complete
};

struct EncryptionHooks {
    std::function<void(size_t, const std::string&)> progress;  // position from 1, document
    std::function<void(std::string_view)> afterStep;          // after each step that reaches the disk
};

// Writes the journal for the planned documents. Nothing else changes.
EncryptionJournal beginEncryption(const std::string& networkPath, const std::string& key,
                                  const std::vector<std::string>& documents);

// Encrypted documents are registered together, in one change of the current-files list: when
// this many wait, when the first of them has waited this long, and at the end.
struct RegistrationBatch {
    size_t documents = 100;
    std::chrono::milliseconds wait{2000};
};

struct EncryptionOptions {
    RegistrationBatch registrations;
    PipelineOptions pipeline;
    bool plainInMemory = true;  // where the system offers files in memory; else the plain working copy
};

// Encrypts and registers each document the journal has not finished, then removes the
// journal; returns how many documents are encrypted. The library is left set up with the
// journal's key. The documents are read and written back through the pipeline: the library
// encrypts a document read whole from a file in memory (or the plain working copy, wiped at
// once) into the encrypted working copy; a link or a large document it encrypts by name into
// its scratch file.
size_t runEncryption(EncryptionJournal journal, const EncryptionHooks& hooks = {},
                     const EncryptionOptions& options = {});

// The journal of an interrupted folder encryption, if there is one; wipes the remains of a
// journal that a finished command removed. A journal that cannot be read raises VbError.
std::optional<EncryptionJournal> findInterruptedEncryption();

}  // namespace varkel::admin
