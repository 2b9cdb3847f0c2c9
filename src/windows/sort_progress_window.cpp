// SPDX-License-Identifier: GPL-3.0-or-later
#include "sort_progress_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace dorvalix {

namespace {

constexpr int kWidth = 368;
constexpr int kHeight = 114;
constexpr int kBarWidth = 289;
constexpr int kBarHeight = 25;
constexpr qint64 kRepaintMs = 40;

}  // namespace

SortProgressWindow::SortProgressWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("TForm9");
    setWindowTitle("SORT");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(false);
    setFixedSize(kWidth, kHeight);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry((kWidth - kBarWidth) / 2, (kHeight - kBarHeight) / 2, kBarWidth,
                              kBarHeight);
    ProgressBar1->setTextVisible(false);
}

void SortProgressWindow::Begin(int maximum) {
    // A range of 0..0 would show a busy bar; a sort of one row shows an empty one.
    ProgressBar1->setRange(0, std::max(maximum, 1));
    ProgressBar1->setValue(0);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }
    show();
    raise();
    Repaint();
}

void SortProgressWindow::SetPosition(int position) {
    ProgressBar1->setValue(std::clamp(position, ProgressBar1->minimum(), ProgressBar1->maximum()));
    // Drawn a few times a second and at the end: a sort reports far more often than an eye
    // can follow, and each drawing costs as much as thousands of its steps.
    if (ProgressBar1->value() == ProgressBar1->maximum() || sinceRepaint_.elapsed() >= kRepaintMs)
        Repaint();
}

void SortProgressWindow::End() {
    hide();
}

void SortProgressWindow::Repaint() {
    // The sort runs on the user-interface thread: the window is drawn here, and nothing the
    // user does is handled until the sort ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
    sinceRepaint_.start();
}

}  // namespace dorvalix
