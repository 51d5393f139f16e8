#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include "app/common_dialog.h"
#include "app/message_boxes.h"

namespace kovarim::app::scripted {

// File dialogs that answer from a script and remember what they were asked.
class ScriptedDialogs : public FileDialogBackend {
  public:
    struct Call {
        QString kind; // "open" or "save"
        QString filter;
        QString proposed;
    };
    std::deque<std::optional<QString>> answers; // nothing: the user cancels
    std::vector<Call> calls;

    std::optional<QString> Open(const QString &filter) override {
        calls.push_back({QStringLiteral("open"), filter, {}});
        return Next();
    }
    std::optional<QString> Save(const QString &filter, const QString &proposed) override {
        calls.push_back({QStringLiteral("save"), filter, proposed});
        return Next();
    }

  private:
    std::optional<QString> Next() {
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
        QString text, title;
        bool withCancel;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;
    std::function<void()> onShow; // runs as a box is shown

    void Ok(const QString &text, const QString &title) override {
        if (onShow)
            onShow();
        shown.push_back({text, title, false});
    }
    bool OkCancel(const QString &text, const QString &title) override {
        if (onShow)
            onShow();
        shown.push_back({text, title, true});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace kovarim::app::scripted
