#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/seams.h"

// The window's seams answered from a script, without any toolkit: what the
// window tests use in place of real dialogs and boxes.
namespace kovarim::window::scripted {

// File dialogs that answer from a script and remember what they were asked.
class ScriptedDialogs : public FileDialogs {
  public:
    struct Call {
        std::string kind; // "open" or "save"
        std::string filter;
        std::string proposed;
    };
    std::deque<std::optional<std::string>> answers; // nothing: the user cancels
    std::vector<Call> calls;

    std::optional<std::string> Open(const std::string &filter) override {
        calls.push_back({"open", filter, {}});
        return Next();
    }
    std::optional<std::string> Save(const std::string &filter,
                                    const std::string &proposed) override {
        calls.push_back({"save", filter, proposed});
        return Next();
    }

  private:
    std::optional<std::string> Next() {
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Message boxes that remember what they showed and answer OK unless told.
class ScriptedBoxes : public MessageBoxes {
  public:
    struct Shown {
        std::string text;
        std::string caption; // of a box with Cancel; the others bear the program's title
        bool withCancel;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;
    std::function<void()> onShow; // runs as a box is shown

    void Ok(const std::string &text) override {
        if (onShow)
            onShow();
        shown.push_back({text, {}, false});
    }
    bool OkCancel(const std::string &text, const std::string &caption) override {
        if (onShow)
            onShow();
        shown.push_back({text, caption, true});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace kovarim::window::scripted
