// How the console replaces a file it has rewritten: the new content is written whole into a
// scratch file beside it, which then takes the old file's place by one rename, so a reader (or
// a crash) sees the old file or the new one, never a part of it. The new file keeps the old
// one's owner, group and permission bits, so the users of the share can still open it.
#pragma once

#include <string>
#include <vector>

namespace varkel::admin {

// Flushes the scratch copy to disk, so that the rename that follows never puts a file that has
// not been written whole in the document's place.
void prepareReplacement(const std::string& scratch);
// The prepared scratch copy takes the document's place, with its owner, group and permission bits.
void replaceDocument(const std::string& scratch, const std::string& document);
// Finishes a replacement that was prepared but not done: the scratch copy, when it is still
// there, takes the document's place.
void completeReplacement(const std::string& document);

// Replaces a list file of the share (Files.dat, key.dat) with `lines` through its scratch
// file; it keeps the old file's mode, and a new one gets the network folder's group and no
// access for others.
void replaceListFile(const std::string& path, const std::vector<std::string>& lines);

// Replaces a working-folder file that holds keys (the key list) with `lines`, readable by
// its owner only, whatever mode the old file had.
void replaceSecretFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace varkel::admin
