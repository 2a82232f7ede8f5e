#include "LockHolders.h"

#include "File.h"
#include "Process.h"
#include "SystemFileNames.h"
#include "SystemFiles.h"

#include <algorithm>
#include <charconv>

namespace varkel::shared {
using namespace varkel::platform;

namespace {

std::string recordFile(const std::string& networkPath) { return networkPath + kHoldersFile; }

template <typename Number>
bool number(std::string_view text, Number& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

std::optional<LockHolder> parse(std::string_view line) {
    if (line.size() < 2 || line[0] != '"') return std::nullopt;
    const size_t close = line.find('"', 1);
    if (close == std::string_view::npos || close + 1 >= line.size() || line[close + 1] != ',') return std::nullopt;
    LockHolder h;
    h.document = std::string(line.substr(1, close - 1));
    std::vector<std::string_view> fields;
    for (std::string_view rest = line.substr(close + 2);;) {
        const size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (fields.size() != 5) return std::nullopt;
    h.user = std::string(fields[0]);
    h.host = std::string(fields[1]);
    if (!number(fields[2], h.pid) || !number(fields[3], h.began) || !number(fields[4], h.beat)) return std::nullopt;
    return h;
}

std::string format(const LockHolder& h) {
    return "\"" + h.document + "\"," + h.user + "," + h.host + "," + std::to_string(h.pid) + "," +
           std::to_string(h.began) + "," + std::to_string(h.beat);
}

// Replaces the record whole, so that a reader never sees part of it.
void writeHolders(const std::string& networkPath, const std::vector<LockHolder>& holders) {
    const std::string file = recordFile(networkPath);
    if (holders.empty()) {
        if (fileExists(file)) deleteFile(file);
        return;
    }
    std::vector<std::string> lines;
    for (const LockHolder& h : holders) lines.push_back(format(h));
    const std::string scratch = file + kScratchSuffix;
    writeLines(scratch, lines);
    replaceFile(scratch, file);
}

// Names without commas, so that the record's fields stay apart.
std::string field(std::string text) {
    std::replace(text.begin(), text.end(), ',', ' ');
    return text;
}

std::string age(int64_t seconds) {
    if (seconds < 60) return "under a minute";
    return std::to_string(seconds / 60) + " min";
}

}  // namespace

std::vector<LockHolder> readHolders(const std::string& networkPath) {
    const std::string file = recordFile(networkPath);
    std::vector<LockHolder> holders;
    if (!fileExists(file)) return holders;
    for (const std::string& line : readLines(file))
        if (auto h = parse(line)) holders.push_back(std::move(*h));
    return holders;
}

void addHolders(const std::string& networkPath, const std::vector<std::string>& documents, int64_t now) {
    std::vector<LockHolder> holders = readHolders(networkPath);
    // Records of locks that are no longer listed (removed by hand, or by a recovery that could
    // not reach the record) go, so that the record does not grow.
    const std::string locked = networkPath + kLockedFile;
    const std::vector<std::string> listed = fileExists(locked) ? readLines(locked) : std::vector<std::string>{};
    std::erase_if(holders, [&](const LockHolder& h) {
        return std::find(listed.begin(), listed.end(), h.document) == listed.end();
    });
    for (const std::string& document : documents)
        holders.push_back({document, field(userName()), field(hostName()), currentProcessId(), now, now});
    writeHolders(networkPath, holders);
}

void dropHolders(const std::string& networkPath, const std::vector<std::string>& documents) {
    std::vector<LockHolder> holders = readHolders(networkPath);
    const auto removed = std::remove_if(holders.begin(), holders.end(), [&](const LockHolder& h) {
        return std::find(documents.begin(), documents.end(), h.document) != documents.end();
    });
    if (removed == holders.end()) return;
    holders.erase(removed, holders.end());
    writeHolders(networkPath, holders);
}

void dropAllHolders(const std::string& networkPath) { writeHolders(networkPath, {}); }

bool beat(const std::string& networkPath, const std::string& document, int64_t now) {
    std::vector<LockHolder> holders = readHolders(networkPath);
    bool found = false;
    for (LockHolder& h : holders) {
        if (h.document != document || h.host != field(hostName()) || h.pid != currentProcessId()) continue;
        h.beat = now;
        found = true;
    }
    if (found) writeHolders(networkPath, holders);
    return found;
}

std::vector<LockView> describeLocks(const std::vector<std::string>& entries, const std::vector<LockHolder>& holders,
                                    int64_t now, HolderTimes times) {
    std::vector<LockView> views;
    for (const std::string& entry : entries) {
        LockView view{entry, std::nullopt, false, entry + " \x97 holder unknown"};
        const auto latest = std::find_if(holders.rbegin(), holders.rend(),
                                         [&](const LockHolder& h) { return sameEntry(h.document, entry, Case::Exact); });
        if (latest != holders.rend()) {
            const LockHolder& h = *latest;
            const bool gone = h.host == field(hostName()) && !processAlive(h.pid);
            view.stale = gone || now - h.beat > times.stale.count();
            view.holder = h;
            view.text = entry + " \x97 " + h.user + " on " + h.host + ", " + age(std::max<int64_t>(0, now - h.began)) +
                        (view.stale ? ", stale" : "");
        }
        views.push_back(std::move(view));
    }
    return views;
}

}  // namespace varkel::shared
