// What a document cycle needs from the window it runs in.
#pragma once

#include <cstdint>
#include <string>

namespace varkel::user {

// What the cycle needs from the window.
class CycleHost {
public:
    virtual ~CycleHost() = default;
    virtual void AddToList(const std::string& text) = 0;   // one status line
    virtual void message(const std::string& text) = 0;     // a message box with OK
    virtual bool ask(const std::string& question) = 0;     // Yes and No, No by default; true for Yes
    virtual bool Inst(int32_t pid) = 0;                    // whether the application still runs
    // While on, the window shows its application buttons disabled.
    virtual void waiting(bool on) = 0;
    // During the wait: repaint and answer, take no input but the Finished Editing window's.
    virtual void keepPainting() = 0;
    // The Finished Editing window: shows it with `text` (or gives it the new text).
    virtual void showFinishedEditing(const std::string& text) = 0;
    // Whether its button was pressed since the last question.
    virtual bool finishedEditingPressed() = 0;
    virtual void closeFinishedEditing() = 0;
    // The launcher was asked to end: the wait stops and the cycle is brought to its end.
    virtual bool endRequested() = 0;
};

}  // namespace varkel::user
