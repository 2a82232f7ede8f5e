#include "EditingWait.h"

#include <optional>
#include <thread>

namespace varkel::user {
namespace {

using Clock = std::chrono::steady_clock;

// The application buttons are disabled for as long as this lives.
class Waiting {
public:
    explicit Waiting(CycleHost& host) : host_(host) { host_.waiting(true); }
    ~Waiting() { host_.waiting(false); }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    CycleHost& host_;
};

}  // namespace

// Waits until the editing has ended (EditingWatch.h). A program that ended at once and left no
// sign of editing handed the copy to another window: then the user says when editing is done.
// Open files are looked for only once the program's tree has ended, so that a long session
// costs next to nothing.
void waitUntilEditingEnds(EditingWatch& watch, int32_t pid, const EditedCopy& copy, const WaitTimes& times,
                          CycleHost& host, const std::function<void()>& alive) {
    const Waiting waiting(host);
    const Clock::time_point start = Clock::now();
    Clock::time_point lastBeat = start;
    Clock::time_point lastActivity = start;
    std::optional<Clock::time_point> treeEnded;
    FileStamp seen = copy.opened;
    bool signSeen = false;
    bool handedOff = false;
    while (!host.endRequested()) {
        host.keepPainting();
        std::this_thread::sleep_for(times.poll);
        const Clock::time_point now = Clock::now();
        if (now - lastBeat >= times.heartbeat) {
            lastBeat = now;
            alive();
        }
        if (const FileStamp stamp = stampOf(copy.copy); stamp != seen) {
            seen = stamp;
            signSeen = true;
            lastActivity = now;
        }
        if (host.Inst(pid) || watch.programRuns()) {
            lastActivity = now;
            continue;
        }
        if (!treeEnded) treeEnded = now;
        if (handedOff) {
            if (!host.finishedEditingPressed()) continue;
            if (const auto who = stillOpenIn(copy.copy)) {
                host.AddToList(stillOpenMessage(copy.name, *who));
                host.showFinishedEditing(stillOpenMessage(copy.name, *who));
                continue;
            }
            break;
        }
        if (openSigns(copy.copy).open()) {
            signSeen = true;
            lastActivity = now;
            continue;
        }
        if (now - lastActivity < times.settle) continue;
        if (!signSeen && *treeEnded - start < times.handOff) {
            handedOff = true;
            host.AddToList(handOffMessage(copy.name));
            host.showFinishedEditing(handOffMessage(copy.name));
            continue;
        }
        break;
    }
    if (handedOff) host.closeFinishedEditing();
}

std::string handOffMessage(const std::string& name) {
    return name + " is open in another window of the application. Save it, close it there, then press Finished Editing.";
}

std::string stillOpenMessage(const std::string& name, const std::string& who) {
    return name + " is still open in " + who + ". Save it, close it there, then press Finished Editing.";
}

}  // namespace varkel::user
