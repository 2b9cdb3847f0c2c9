// SPDX-License-Identifier: GPL-3.0-or-later
// The Ui of the running program: Qt message boxes, dialogs, clipboard, sound and browser.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "beeper.h"
#include "ui.h"

class QPrinter;

namespace dorvalix {

// The boxes as the program shows them, built apart from showing them.
// A plain message: no icon, one OK button, the program's title.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& title, const QString& text,
                                            QWidget* parent);
// A question: warning icon, title "警告", buttons "OK" / "キャンセル" or "はい(&Y)" /
// "いいえ(&N)"; the first button is the default one, Escape answers with the second.
enum class QuestionButtons { OkCancel, YesNo };
std::unique_ptr<QMessageBox> MakeQuestionBox(QuestionButtons buttons, const QString& text,
                                             QWidget* parent);
// The application's error box: error icon, OK, the program's title.
std::unique_ptr<QMessageBox> MakeErrorBox(const QString& title, const QString& text,
                                          QWidget* parent);

class QtUi : public Ui {
  public:
    explicit QtUi(QString programTitle);
    ~QtUi() override;

    // The window the boxes and dialogs belong to.
    void SetParent(QWidget* parent) { parent_ = parent; }
    QWidget* Parent() const { return parent_; }
    // What shows a secondary window modally; a window without one is not shown.
    void SetWindowOpener(SecondaryWindow window, std::function<void()> open);
    // What shows the progress of a long command; without them nothing is shown.
    struct ProgressHooks {
        std::function<void(int maximum)> begin;
        std::function<void(int position)> set;
        std::function<void()> end;
    };
    void SetProgressHooks(ProgressHooks hooks) { progress_ = std::move(hooks); }

    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void ShowError(const std::string& text) override;
    std::string OpenFileName(const FileDialogOptions& options) override;
    std::string SaveFileName(const FileDialogOptions& options) override;
    std::string InputText(const std::string& title, const std::string& prompt,
                          const std::string& initial) override;
    std::optional<std::size_t> ChooseItem(const std::string& title, const std::string& prompt,
                                          const std::vector<std::string>& items) override;
    void SetClipboardText(const std::string& text) override;
    std::string ClipboardText() override;
    std::optional<std::string> ClipboardSylk() override;
    void Beep() override;
    void OpenUrl(const std::string& url) override;
    void ShowWindow(SecondaryWindow window) override;
    void BeginProgress(int maximum) override;
    void SetProgress(int position) override;
    void EndProgress() override;
    std::optional<std::string> PrinterName() override;
    std::unique_ptr<PrintJob> StartPrintJob() override;
    std::unique_ptr<PrintJob> StartPdfJob(const std::string& path) override;
    void ShowPrinterSetup(const std::string& title) override;
    void BeginBusy() override;
    void EndBusy() override;
    // The work on a thread of its own while the windows are drawn; the busy pointer for
    // half a second, then a progress bar with Cancel (object name "ProgressDialog") in
    // front of every window.
    bool RunCancellable(const std::string& title, const std::string& cancel,
                        const std::function<void(const ProgressReport&)>& work) override;

  private:
    QPrinter& Printer();

    QString title_;
    QPointer<QWidget> parent_;
    std::map<SecondaryWindow, std::function<void()>> openers_;
    ProgressHooks progress_;
    Beeper beeper_;
    std::unique_ptr<QPrinter> printer_;  // the current printer, kept with its settings
};

}  // namespace dorvalix
