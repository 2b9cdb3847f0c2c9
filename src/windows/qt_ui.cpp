// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_ui.h"
#include "qt_print_job.h"
#include "widget_style.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <exception>

namespace dorvalix {

namespace {

std::string FromQ(const QString& text) {
    return text.toStdString();
}

// The platform's own texts of a question box, the same in both languages.
constexpr const char* kQuestionTitle = "警告";

std::string RunFileDialog(QWidget* parent, const FileDialogOptions& options, bool save) {
    QFileDialog dialog(parent, ToQ(options.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(ToQ(options.filterDescription) + " (" + ToQ(options.filterPattern) + ")");
    if (!options.defaultSuffix.empty()) dialog.setDefaultSuffix(ToQ(options.defaultSuffix));
    if (!options.initialName.empty()) dialog.selectFile(ToQ(options.initialName));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : FromQ(files.front());
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& title, const QString& text,
                                            QWidget* parent) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QuestionButtons buttons, const QString& text,
                                             QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, kQuestionTitle, text,
                                             QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    const bool ok = buttons == QuestionButtons::OkCancel;
    QPushButton* accept =
        box->addButton(ok ? "OK" : "はい(&Y)", ok ? QMessageBox::AcceptRole : QMessageBox::YesRole);
    QPushButton* reject = box->addButton(ok ? "キャンセル" : "いいえ(&N)",
                                         ok ? QMessageBox::RejectRole : QMessageBox::NoRole);
    box->setDefaultButton(accept);
    box->setEscapeButton(reject);
    return box;
}

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& title, const QString& text,
                                          QWidget* parent) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

QtUi::QtUi(QString programTitle) : title_(std::move(programTitle)) {}

QtUi::~QtUi() = default;

void QtUi::SetWindowOpener(SecondaryWindow window, std::function<void()> open) {
    openers_[window] = std::move(open);
}

void QtUi::ShowMessage(const std::string& text) {
    MakeMessageBox(title_, ToQ(text), parent_)->exec();
}

bool QtUi::AskOkCancel(const std::string& text) {
    auto box = MakeQuestionBox(QuestionButtons::OkCancel, ToQ(text), parent_);
    box->exec();
    return box->clickedButton() == box->defaultButton();
}

bool QtUi::AskYesNo(const std::string& text) {
    auto box = MakeQuestionBox(QuestionButtons::YesNo, ToQ(text), parent_);
    box->exec();
    return box->clickedButton() == box->defaultButton();
}

void QtUi::ShowError(const std::string& text) {
    MakeErrorBox(title_, ToQ(text), parent_)->exec();
}

std::string QtUi::OpenFileName(const FileDialogOptions& options) {
    return RunFileDialog(parent_, options, false);
}

std::string QtUi::SaveFileName(const FileDialogOptions& options) {
    return RunFileDialog(parent_, options, true);
}

std::string QtUi::InputText(const std::string& title, const std::string& prompt,
                            const std::string& initial) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent_, ToQ(title), ToQ(prompt),
                                                 QLineEdit::Normal, ToQ(initial), &ok);
    return ok ? FromQ(answer) : std::string();
}

std::optional<std::size_t> QtUi::ChooseItem(const std::string& title, const std::string& prompt,
                                            const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items)
        list << ToQ(item);
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent_, ToQ(title), ToQ(prompt), list, 0, false, &ok);
    if (!ok) return std::nullopt;
    const qsizetype at = list.indexOf(chosen);
    if (at < 0) return std::nullopt;
    return static_cast<std::size_t>(at);
}

void QtUi::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(ToQ(text));
}

std::string QtUi::ClipboardText() {
    return FromQ(QGuiApplication::clipboard()->text());
}

std::optional<std::string> QtUi::ClipboardSylk() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return std::nullopt;
    // Spreadsheet programs offer their cells under names such as
    // application/x-openoffice-sylk;windows_formatname="Sylk".
    for (const QString& format : mime->formats()) {
        if (!format.contains("sylk", Qt::CaseInsensitive)) continue;
        const QByteArray bytes = mime->data(format);
        const qsizetype end = bytes.indexOf('\0');
        return bytes.left(end < 0 ? bytes.size() : end).toStdString();
    }
    return std::nullopt;
}

void QtUi::Beep() {
    if (!beeper_.Start()) QApplication::beep();
}

void QtUi::OpenUrl(const std::string& url) {
    if (!url.empty()) QDesktopServices::openUrl(QUrl(ToQ(url)));
}

void QtUi::ShowWindow(SecondaryWindow window) {
    const auto it = openers_.find(window);
    if (it != openers_.end() && it->second) it->second();
}

void QtUi::BeginProgress(int maximum) {
    if (progress_.begin) progress_.begin(maximum);
}

void QtUi::SetProgress(int position) {
    if (progress_.set) progress_.set(position);
}

void QtUi::EndProgress() {
    if (progress_.end) progress_.end();
}

// The printer is looked up when first needed, not at start: asking the print system can
// take a while.
QPrinter& QtUi::Printer() {
    if (!printer_) printer_ = MakeCurrentPrinter();
    return *printer_;
}

std::optional<std::string> QtUi::PrinterName() {
    return PrinterNameOf(Printer());
}

std::unique_ptr<PrintJob> QtUi::StartPrintJob() {
    return StartQtPrintJob(Printer());
}

std::unique_ptr<PrintJob> QtUi::StartPdfJob(const std::string& path) {
    return StartQtPdfJob(path);
}

void QtUi::ShowPrinterSetup(const std::string& title) {
    QPrintDialog dialog(&Printer(), parent_);
    dialog.setWindowTitle(ToQ(title));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    // The dialog sets the printer up for later jobs and prints nothing: its button says OK.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText("OK");
    }
    dialog.exec();
}

void QtUi::BeginBusy() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUi::EndBusy() {
    QApplication::restoreOverrideCursor();
}

bool QtUi::RunCancellable(const std::string& title, const std::string& cancel,
                          const std::function<void(const ProgressReport&)>& work) {
    // Work shorter than this shows only the busy pointer.
    constexpr int kProgressAfterMs = 500;
    constexpr int kRefreshMs = 50;
    std::atomic<bool> cancelled{false};
    std::atomic<int> permille{0};
    std::exception_ptr failure;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work([&](double fraction) {
                if (fraction >= 0 && fraction <= 1)
                    permille.store(static_cast<int>(fraction * 1000), std::memory_order_relaxed);
                return !cancelled.load();
            });
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    BeginBusy();
    bool busy = true;
    {
        // The user's input waits (it is not lost) while only the pointer tells of the work.
        QEventLoop wait;
        QObject::connect(thread.get(), &QThread::finished, &wait, &QEventLoop::quit);
        QTimer::singleShot(kProgressAfterMs, &wait, &QEventLoop::quit);
        thread->start();
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!thread->isFinished()) {
        QProgressDialog dialog(ToQ(title), ToQ(cancel), 0, 1000, parent_);
        dialog.setObjectName("ProgressDialog");
        dialog.setWindowTitle(title_);
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        dialog.setMinimumDuration(0);
        dialog.setMinimumWidth(360);
        QEventLoop wait;
        QObject::connect(thread.get(), &QThread::finished, &wait, &QEventLoop::quit);
        QObject::connect(&dialog, &QProgressDialog::canceled, &wait, [&] {
            cancelled = true;
            wait.quit();
        });
        QTimer refresh;
        QObject::connect(&refresh, &QTimer::timeout, &dialog,
                         [&] { dialog.setValue(permille.load(std::memory_order_relaxed)); });
        refresh.start(kRefreshMs);
        // The bar tells of the work now: the pointer over its Cancel button is the usual one.
        EndBusy();
        busy = false;
        dialog.show();
        if (!thread->isFinished()) wait.exec();
        dialog.hide();
        if (!thread->isFinished()) {
            // Cancelled, or the program is closing down: the work ends at its next step,
            // under the busy pointer with the user's input held back.
            cancelled = true;
            BeginBusy();
            busy = true;
            QEventLoop rest;
            QObject::connect(thread.get(), &QThread::finished, &rest, &QEventLoop::quit);
            if (!thread->isFinished()) rest.exec(QEventLoop::ExcludeUserInputEvents);
        }
    }
    thread->wait();
    if (busy) EndBusy();
    if (failure) std::rethrow_exception(failure);
    return !cancelled;
}

}  // namespace dorvalix
