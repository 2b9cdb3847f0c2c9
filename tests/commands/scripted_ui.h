// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the message boxes, dialogs and clipboard: it records every call and
// answers from queues the test fills. A question or dialog nobody scripted fails the test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
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
    Print,  // "printer job", "pdf job <path>", "setup <title>"
    Work,   // a long piece of work that can be cancelled: its title
};

struct UiCall {
    Call call;
    std::string text;  // the message, question, error text, clipboard text, address...
};

// What a print job received: the texts drawn (with the page, font size and colour they were
// drawn in) and how it ended.
struct RecordedPrintJob {
    std::vector<PrintText> texts;
    bool ended = false;
    bool aborted = false;
};

// A printer of fixed measures: the body font (14 pt) is `measures.lineHeight` high, other
// sizes in proportion; every character is `measures.columnWidth` wide.
class ScriptedPrintJob : public PrintJob {
  public:
    ScriptedPrintJob(std::shared_ptr<RecordedPrintJob> record, PrintMeasures measures)
        : record_(std::move(record)), m_(measures) {}
    void SetFontSize(int points) override { points_ = points; }
    void SetColour(PrintColour colour) override { colour_ = colour; }
    int FontHeight() override { return m_.lineHeight * points_ / 14; }
    int TextWidth(const std::string& text) override {
        return m_.columnWidth * static_cast<int>(text.size());
    }
    int PageHeight() override { return m_.pageHeight; }
    void TextOut(int x, int y, const std::string& text) override {
        EXPECT_FALSE(record_->ended || record_->aborted) << "drawn after the job ended";
        record_->texts.push_back({page_, x, y, points_, colour_, text});
    }
    void NewPage() override { ++page_; }
    void EndDoc() override { record_->ended = true; }
    void Abort() override { record_->aborted = true; }

  private:
    std::shared_ptr<RecordedPrintJob> record_;
    PrintMeasures m_;
    int page_ = 1;
    int points_ = 0;
    PrintColour colour_ = PrintColour::Black;
};

class ScriptedUi : public Ui {
  public:
    std::vector<UiCall> calls;
    std::vector<FileDialogOptions> dialogs;
    std::vector<SecondaryWindow> windows;

    std::deque<bool> answers;           // questions: true = OK / Yes
    std::deque<std::string> fileNames;  // file dialogs: empty = cancelled
    std::deque<int> choices;            // ChooseItem: the index chosen, −1 = cancelled
    std::deque<std::string> inputs;     // input boxes: empty = cancelled
    std::string clipboardText;          // the clipboard's plain text
    std::optional<std::string> clipboardSylk;
    std::optional<std::string> printerName = "Office Laser";  // nullopt: none installed
    PrintMeasures printerMeasures{117, 74, 6816};             // an A4 page at 600 dpi, 14 pt text
    bool printJobsStart = true;
    std::vector<std::shared_ptr<RecordedPrintJob>> printJobs;

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
    // A choice answered from `choices` (−1: cancelled); the items are recorded with it.
    std::optional<std::size_t> ChooseItem(const std::string& title, const std::string& prompt,
                                          const std::vector<std::string>& items) override {
        std::string text = title + "|" + prompt;
        for (const std::string& item : items)
            text += "|" + item;
        Record(Call::Input, text);
        if (choices.empty()) {
            ADD_FAILURE() << "unscripted choice " << title;
            return std::nullopt;
        }
        const int choice = choices.front();
        choices.pop_front();
        if (choice < 0) return std::nullopt;
        return static_cast<std::size_t>(choice);
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
    std::optional<std::string> PrinterName() override { return printerName; }
    std::unique_ptr<PrintJob> StartPrintJob() override { return Job("printer job"); }
    std::unique_ptr<PrintJob> StartPdfJob(const std::string& path) override {
        return Job("pdf job " + path);
    }
    void ShowPrinterSetup(const std::string& title) override {
        Record(Call::Print, "setup " + title);
    }
    // The busy pointer: how deep it is nested now, how often it was shown, and the calls
    // made while it showed.
    int busyDepth = 0;
    int busySpells = 0;
    std::vector<Call> callsWhileBusy;
    void BeginBusy() override {
        if (busyDepth++ == 0) ++busySpells;
    }
    void EndBusy() override {
        EXPECT_GT(busyDepth, 0) << "busy pointer ended without a beginning";
        --busyDepth;
    }

    // Long work runs at once under the busy pointer; `cancels` answers, call by call,
    // whether the user cancels it (none left: not cancelled). A cancelled work's progress
    // reports return false.
    std::deque<bool> cancels;
    std::vector<double> fractions;  // every progress the work reported
    bool RunCancellable(const std::string& title, const std::string& cancel,
                        const std::function<void(const ProgressReport&)>& work) override {
        Record(Call::Work, title);
        EXPECT_FALSE(cancel.empty()) << "a cancel button without a caption";
        bool cancelled = false;
        if (!cancels.empty()) {
            cancelled = cancels.front();
            cancels.pop_front();
        }
        BusyScope busy(*this);
        work([&](double fraction) {
            fractions.push_back(fraction);
            return !cancelled;
        });
        return !cancelled;
    }

  private:
    void Record(Call call, const std::string& text) {
        calls.push_back({call, text});
        if (busyDepth > 0) callsWhileBusy.push_back(call);
    }

    std::unique_ptr<PrintJob> Job(const std::string& what) {
        Record(Call::Print, what);
        if (!printJobsStart) return nullptr;
        printJobs.push_back(std::make_shared<RecordedPrintJob>());
        return std::make_unique<ScriptedPrintJob>(printJobs.back(), printerMeasures);
    }

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
