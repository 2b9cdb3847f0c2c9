// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands need from the user: message and question boxes, the error box, file
// dialogs, an input box, the clipboard, a beep, the browser, the secondary windows, a
// progress display and the printer. The window gives the commands a Qt implementation; the tests
// give them a scripted one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "print_job.h"

namespace dorvalix {

// A file dialog: title, one filter (description and pattern, "*.lat"), the extension added
// to a name typed without one (empty: none), the name the dialog starts with.
struct FileDialogOptions {
    std::string title;
    std::string filterDescription;
    std::string filterPattern;
    std::string defaultSuffix;
    std::string initialName;
};

// The windows the main window shows on demand, by their form names.
enum class SecondaryWindow {
    TForm2,  // version window, Japanese
    TForm3,  // help window, Japanese
    TForm4,  // calculation principle
    TForm5,  // version window, English
    TForm6,  // help window, English
    TForm7,  // hkl table window
    TForm8,  // cell constant dialog
    // The refinement details window, modeless.
    TForm10,
    // The pattern window, modeless: its open dialog first.
    TForm11,
    // The indexing window, modeless.
    TForm12,
    // The dialog that assigns indices from a known cell, modeless.
    TForm13,
};

class Ui {
  public:
    virtual ~Ui() = default;

    // A message box with an OK button, titled with the program's title.
    virtual void ShowMessage(const std::string& text) = 0;
    // A warning question with OK and Cancel; true for OK.
    virtual bool AskOkCancel(const std::string& text) = 0;
    // A warning question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The application's error box (error icon, OK) showing `text` exactly; the command
    // boundary adds the full stop (ErrorBoxText).
    virtual void ShowError(const std::string& text) = 0;

    // The file chosen, or empty when the dialog was cancelled. The open dialog accepts
    // existing files only; the save dialog asks before overwriting an existing file.
    virtual std::string OpenFileName(const FileDialogOptions& options) = 0;
    virtual std::string SaveFileName(const FileDialogOptions& options) = 0;

    // A text input box; Cancel reads as an empty answer.
    virtual std::string InputText(const std::string& title, const std::string& prompt,
                                  const std::string& initial) = 0;

    // A choice among items (the data blocks of a file, say): the index chosen, or empty when
    // the box was cancelled. Without a box of its own, a Ui offers the first item.
    virtual std::optional<std::size_t> ChooseItem(const std::string& title,
                                                  const std::string& prompt,
                                                  const std::vector<std::string>& items) {
        (void)title;
        (void)prompt;
        if (items.empty()) return std::nullopt;
        return 0;
    }

    // The clipboard: plain text in and out, and the spreadsheet (SYLK) cells a spreadsheet
    // program offers, if any.
    virtual void SetClipboardText(const std::string& text) = 0;
    virtual std::string ClipboardText() = 0;
    virtual std::optional<std::string> ClipboardSylk() = 0;

    // A short tone of 800 Hz for 200 ms; returns at once.
    virtual void Beep() = 0;

    // Asks the desktop to open a web address; the outcome is not reported.
    virtual void OpenUrl(const std::string& url) = 0;

    // Shows one of the secondary windows; a modal one returns when it closes, the modeless
    // refinement details window at once.
    virtual void ShowWindow(SecondaryWindow window) = 0;

    // A progress display for a long command: Begin with the number of steps, positions
    // 0..maximum, then End. Nothing else can be done while it shows.
    virtual void BeginProgress(int maximum) = 0;
    virtual void SetProgress(int position) = 0;
    virtual void EndProgress() = 0;

    // The printer: the name under which the platform lists the current one (nullopt when
    // no printer is installed); a job on it; a job whose pages go to a PDF file at `path`,
    // which is replaced only when the job ends; the printer dialog, whose choice of printer
    // and settings stays for later jobs, titled `title`. A job that cannot start is null.
    virtual std::optional<std::string> PrinterName() = 0;
    virtual std::unique_ptr<PrintJob> StartPrintJob() = 0;
    virtual std::unique_ptr<PrintJob> StartPdfJob(const std::string& path) = 0;
    virtual void ShowPrinterSetup(const std::string& title) = 0;

    // A long piece of work begins and ends: the pointer shows that the program is busy in
    // between. Pairs may nest; the commands show no box in between.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;

    // A long piece of work that the user can cancel. `work` runs away from the windows,
    // which stay drawn, and tells its progress (0 to 1) through the function it is given;
    // the busy pointer shows at first, and after half a second a progress bar titled
    // `title` with a button `cancel`. The function returns false once the user has
    // cancelled, and so does RunCancellable (whatever the work did then is to be thrown
    // away). An exception of the work is thrown on here. The work must not touch the Ui
    // nor anything a window draws. Without windows it runs at once, under the busy pointer.
    using ProgressReport = std::function<bool(double fraction)>;
    virtual bool RunCancellable(const std::string& title, const std::string& cancel,
                                const std::function<void(const ProgressReport&)>& work);
};

// Shows the busy pointer for as long as it lives, however the work ends.
class BusyScope {
  public:
    explicit BusyScope(Ui& ui) : ui_(ui) { ui_.BeginBusy(); }
    ~BusyScope() { ui_.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    Ui& ui_;
};

// The error box's text for an error: the error's text followed by a full stop (none is
// added when the text already ends in one).
std::string ErrorBoxText(const std::string& text);

// Runs one command; an error that ends it (a DorvalixError, or any other exception) is
// shown in the error box and the program goes on. Returns false when the command failed.
bool RunCommand(Ui& ui, const std::function<void()>& command);

}  // namespace dorvalix
