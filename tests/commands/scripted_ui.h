// A stand-in for the message boxes, dialogs and clipboard: it records every call and
// answers from queues the test fills. A question or dialog nobody scripted fails the test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui.h"

namespace dorvalix::test {

enum class Call {
    Message,
    OkCancel,
    YesNo,
    Error,
    OpenFile,
    SaveFile,
    Input,
    SetClipboard,
    Beep,
    Url,
    Window,
    Progress,
};

struct UiCall {
    Call call;
    std::string text;  // the message, question, error text, clipboard text, address...
};

class ScriptedUi : public Ui {
  public:
    std::vector<UiCall> calls;
    std::vector<FileDialogOptions> dialogs;
    std::vector<SecondaryWindow> windows;

    std::deque<bool> answers;           // questions: true = OK / Yes
    std::deque<std::string> fileNames;  // file dialogs: empty = cancelled
    std::deque<std::string> inputs;     // input boxes: empty = cancelled
    std::string clipboardText;          // the clipboard's plain text
    std::optional<std::string> clipboardSylk;

    // The texts of all calls of one kind, in order.
    std::vector<std::string> Texts(Call call) const {
        std::vector<std::string> out;
        for (const UiCall& c : calls) {
            if (c.call == call) out.push_back(c.text);
        }
        return out;
    }

    void ShowMessage(const std::string& text) override { Record(Call::Message, text); }
    bool AskOkCancel(const std::string& text) override { return Answer(Call::OkCancel, text); }
    bool AskYesNo(const std::string& text) override { return Answer(Call::YesNo, text); }
    void ShowError(const std::string& text) override { Record(Call::Error, text); }
    std::string OpenFileName(const FileDialogOptions& options) override {
        return Dialog(Call::OpenFile, options);
    }
    std::string SaveFileName(const FileDialogOptions& options) override {
        return Dialog(Call::SaveFile, options);
    }
    std::string InputText(const std::string& title, const std::string& prompt,
                          const std::string&) override {
        Record(Call::Input, title + "|" + prompt);
        return Next(inputs, "input box " + title);
    }
    void SetClipboardText(const std::string& text) override {
        Record(Call::SetClipboard, text);
        clipboardText = text;
    }
    std::string ClipboardText() override { return clipboardText; }
    std::optional<std::string> ClipboardSylk() override { return clipboardSylk; }
    void Beep() override { Record(Call::Beep, ""); }
    void OpenUrl(const std::string& url) override { Record(Call::Url, url); }
    void ShowWindow(SecondaryWindow window) override {
        Record(Call::Window, "");
        windows.push_back(window);
    }
    void BeginProgress(int maximum) override {
        Record(Call::Progress, "begin " + std::to_string(maximum));
    }
    void SetProgress(int position) override {
        Record(Call::Progress, "at " + std::to_string(position));
    }
    void EndProgress() override { Record(Call::Progress, "end"); }

  private:
    void Record(Call call, const std::string& text) { calls.push_back({call, text}); }

    bool Answer(Call call, const std::string& text) {
        Record(call, text);
        if (answers.empty()) {
            ADD_FAILURE() << "unscripted question: " << text;
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::string Dialog(Call call, const FileDialogOptions& options) {
        Record(call, options.title);
        dialogs.push_back(options);
        return Next(fileNames, "file dialog " + options.title);
    }

    static std::string Next(std::deque<std::string>& queue, const std::string& what) {
        if (queue.empty()) {
            ADD_FAILURE() << "unscripted " << what;
            return {};
        }
        std::string s = queue.front();
        queue.pop_front();
        return s;
    }
};

}  // namespace dorvalix::test
