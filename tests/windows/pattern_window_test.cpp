// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern window as widgets, on the offscreen platform: what lives in the plot (zoom, pan,
// full view, the intensity scale, a click, the tooltip of a tick mark, the markers' colours),
// the wavelength question, the menu item, the captions, and the long work's progress bar with
// its Cancel button.
#include "pattern_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>

#include "errors.h"
#include "main_commands.h"
#include "main_window.h"
#include "qt_ui.h"
#include "scripted_ui.h"
#include "synthetic_pattern.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

// Two lines of Cu Kα1 on a flat background of 200 counts: 28.44° (5000 counts high) and
// 47.30° (3000).
Scan TwoLines() {
    test::Synthetic s;
    s.start = 20;
    s.step = 0.01;
    s.points = 4001;
    s.level = 200;
    s.lines = test::CuSingle();
    s.reflections = {{28.44, 5000}, {47.30, 3000}};
    return test::MakeScan(s);
}

class PatternWidgets : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<MainWindow>(ui, dir.Path("dorvalix"));
        form->Run(English2Click);
        window = std::make_unique<PatternWindow>(ui, form->State());
        window->resize(1280, 820);
        path = dir.Path("two.xy");
        test::WriteText(path, test::XyText(TwoLines()));
    }
    void TearDown() override {
        window.reset();
        form.reset();
    }
    // Opened and fitted with Cu Kα1, the window shown at its size.
    void Open() {
        window->OpenFile(path);
        ASSERT_NE(window->Question, nullptr);  // the file states no wavelength
        // Nothing is chosen before the user chooses.
        EXPECT_EQ(window->Question->LineBox->currentIndex(), -1);
        EXPECT_FALSE(window->Question->OkButton->isEnabled());
        window->Question->LineBox->setCurrentIndex(8);  // a typed value, not typed yet
        EXPECT_FALSE(window->Question->OkButton->isEnabled());
        window->Question->LineBox->setCurrentIndex(1);  // Cu-Ka1
        EXPECT_TRUE(window->Question->OkButton->isEnabled());
        window->Question->accept();
        ASSERT_EQ(window->Question, nullptr);
        ASSERT_EQ(window->State().Peaks().size(), 2u);
        window->show();
        QApplication::processEvents();
    }
    PatternPlot& Plot() { return *window->Plot; }

    test::TempDir dir;
    test::ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<PatternWindow> window;
    std::string path;
};

TEST_F(PatternWidgets, FileMenuItemAndCaptionsInBothLanguages) {
    QAction* item = form->Action(Control::OpenPattern1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Open Pattern...");
    EXPECT_TRUE(form->Menu(Control::N2)->actions().contains(item));
    item->trigger();
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>{SecondaryWindow::TForm11});
    // A file dropped on the main window is handed on by its path.
    EXPECT_TRUE(form->acceptDrops());
    std::vector<std::string> dropped;
    QObject::connect(form.get(), &MainWindow::FileDropped,
                     [&](const std::string& file) { dropped.push_back(file); });
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    EXPECT_EQ(dropped, std::vector<std::string>{path});

    window->Follow();
    EXPECT_EQ(window->SendButton->text(), "Send Peaks to &Table");
    EXPECT_EQ(window->windowTitle(), "Pattern");
    EXPECT_TRUE(window->EmptyNote->isVisibleTo(window.get()));
    form->Run(Japanese1Click);
    window->Follow();
    EXPECT_EQ(item->text(), "回折パターンを開く...");
    EXPECT_EQ(window->SendButton->text(), "ピークを表に送る");
    EXPECT_EQ(window->ShowTicks->text(), "反射位置");
    EXPECT_EQ(window->windowTitle(), "回折パターン");
}

TEST_F(PatternWidgets, DragZoomsShiftDragPansTheWheelZoomsAboutThePointerAndHomeShowsAll) {
    Open();
    const QRect area = Plot().PlotArea();
    EXPECT_DOUBLE_EQ(Plot().ViewFrom(), 20);
    EXPECT_DOUBLE_EQ(Plot().ViewTo(), 60);
    // A rectangle dragged from 30% to 60% of the width, over the lower half.
    const QPoint a(area.left() + area.width() * 3 / 10, area.top() + area.height() / 2);
    const QPoint b(area.left() + area.width() * 6 / 10, area.bottom() - 2);
    const double from = Plot().TwoThetaAt(a.x()), to = Plot().TwoThetaAt(b.x());
    QTest::mousePress(&Plot(), Qt::LeftButton, {}, a);
    QTest::mouseMove(&Plot(), (a + b) / 2);
    QTest::mouseMove(&Plot(), b);
    QTest::mouseRelease(&Plot(), Qt::LeftButton, {}, b);
    EXPECT_NEAR(Plot().ViewFrom(), from, 1e-9);
    EXPECT_NEAR(Plot().ViewTo(), to, 1e-9);
    EXPECT_FALSE(Plot().IntensityFitted());
    EXPECT_LT(Plot().ViewHigh(), 3000);             // the lower half of the counts
    EXPECT_EQ(window->State().Peaks().size(), 2u);  // a drag adds no peak

    // Shift+drag by a tenth of the width to the left: the view moves to higher 2θ.
    const double span = Plot().ViewTo() - Plot().ViewFrom();
    const QPoint c = area.center(), d = c - QPoint(area.width() / 10, 0);
    QTest::mousePress(&Plot(), Qt::LeftButton, Qt::ShiftModifier, c);
    QTest::mouseMove(&Plot(), d);
    QTest::mouseRelease(&Plot(), Qt::LeftButton, Qt::ShiftModifier, d);
    EXPECT_NEAR(Plot().ViewFrom(), from + span * (area.width() / 10) / area.width(), 1e-6);
    EXPECT_NEAR(Plot().ViewTo() - Plot().ViewFrom(), span, 1e-9);

    // The wheel keeps the angle under the pointer where it is.
    const double under = Plot().TwoThetaAt(c.x());
    QWheelEvent wheel(QPointF(c), Plot().mapToGlobal(QPointF(c)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&Plot(), &wheel);
    EXPECT_NEAR(Plot().TwoThetaAt(c.x()), under, 1e-9);
    EXPECT_NEAR(Plot().ViewTo() - Plot().ViewFrom(), span * 0.85, 1e-9);

    QTest::keyClick(&Plot(), Qt::Key_Home);
    EXPECT_DOUBLE_EQ(Plot().ViewFrom(), 20);
    EXPECT_DOUBLE_EQ(Plot().ViewTo(), 60);
    EXPECT_TRUE(Plot().IntensityFitted());
    // The button does the same.
    Plot().ZoomTo(30, 31);
    QTest::mouseClick(window->FullViewButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Plot().ViewTo(), 60);
}

TEST_F(PatternWidgets, TheScaleBoxSwitchesTheIntensityScaleAndWeakFeaturesRiseInTheLogScale) {
    Open();
    const QRect area = Plot().PlotArea();
    // Linear: 1000 counts lie in the lowest fifth of a plot up to 5200.
    auto height = [&](double counts) {
        return (area.top() + area.height() - Plot().YOf(Plot().Scaled(counts))) / area.height();
    };
    EXPECT_LT(height(1000), 0.2);
    window->ScaleBox->setCurrentIndex(2);
    emit window->ScaleBox->activated(2);
    EXPECT_EQ(window->State().scale, IntensityScale::Log);
    EXPECT_EQ(Plot().Content().scale, IntensityScale::Log);
    EXPECT_EQ(Plot().Content().yTitle, "Counts (log scale)");
    EXPECT_NEAR(Plot().Scaled(1000), 3, 1e-12);
    // Log: the range from the least count (about 170) to 5200 spans a decade and a half, and
    // 1000 lies about half way up.
    EXPECT_GT(height(1000), 0.4);
    EXPECT_LT(height(1000), 0.6);
    emit window->ScaleBox->activated(1);
    EXPECT_NEAR(Plot().Scaled(400), 20, 1e-12);
}

TEST_F(PatternWidgets, AClickOnThePlotAddsAPeakThere) {
    Open();
    window->Run([](PatternWindowState& s, Ui& u) { RemovePeakAt(s, u, 1); });
    ASSERT_EQ(window->State().Peaks().size(), 1u);
    const QPoint at(static_cast<int>(std::lround(Plot().XOf(47.32))),
                    Plot().PlotArea().center().y());
    QTest::mouseClick(&Plot(), Qt::LeftButton, {}, at);
    ASSERT_EQ(window->State().Peaks().size(), 2u);
    EXPECT_NEAR(static_cast<double>(window->State().Peaks()[1].twoTheta), 47.30, 0.01);
    EXPECT_EQ(window->PeakGrid->model()->rowCount(), 2);
}

TEST_F(PatternWidgets, ATickMarkShowsItsIndicesAndThePeaksTheirColours) {
    Open();
    // A cubic F cell whose 111 lies on the first line and whose 200 lies on none.
    TickCell cell;
    cell.a = cell.b = cell.c = 5.4309;
    cell.system = 1;
    cell.centring = Centring::F;
    window->Run([cell](PatternWindowState& s, Ui&) { SetTickCell(s, cell); });
    const std::vector<PatternTick>& ticks = window->State().ticks;
    ASSERT_GE(ticks.size(), 3u);
    const QRect strip = Plot().TickStrip();
    const QPoint at(static_cast<int>(std::lround(Plot().XOf(ticks[0].twoTheta))),
                    strip.center().y());
    EXPECT_EQ(Plot().TipAt(at), QString::fromStdString(ticks[0].tip));
    EXPECT_TRUE(Plot().TipAt(at).startsWith("1 1 1\nd = "));
    EXPECT_EQ(Plot().TipAt(at + QPoint(0, 40)), QString());  // off the strip: no tick
    QHelpEvent help(QEvent::ToolTip, at, Plot().mapToGlobal(at));
    QApplication::sendEvent(&Plot(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QString::fromStdString(ticks[0].tip));
    QToolTip::hideText();

    // 28.44° is 111 of that cell (green); 47.30° is 220 with a = 5.4309 Å, but not of a cell
    // 1% larger (red).
    // The inside of a peak's marker, 4 pixels above its tip.
    auto markColour = [&](std::size_t peak) {
        const PeakMark& mark = window->State().marks[peak];
        return Plot().grab().toImage().pixelColor(
            static_cast<int>(std::lround(Plot().XOf(mark.twoTheta))),
            static_cast<int>(std::lround(Plot().YOf(Plot().Scaled(mark.top)) - 8)));
    };
    EXPECT_EQ(markColour(0), kExplainedColour);
    EXPECT_EQ(markColour(1), kExplainedColour);
    cell.a = cell.b = cell.c = 5.4309 * 1.01;
    window->Run([cell](PatternWindowState& s, Ui&) { SetTickCell(s, cell); });
    EXPECT_EQ(markColour(1), kUnexplainedColour);
    // Without tick marks the peaks are neither.
    window->ShowTicks->click();
    EXPECT_FALSE(window->State().showTicks);
    EXPECT_EQ(markColour(1), kPeakColour);
}

// --- Long work ---------------------------------------------------------------------------

TEST(LongWork, ShortWorkShowsNoBarAndLongWorkIsCancelledFromItsBar) {
    QtUi ui("Dorvalix");
    bool sawBar = false;
    // Work of 100 ms: done under the busy pointer alone.
    QTimer::singleShot(50, [&] { sawBar = QApplication::activeModalWidget() != nullptr; });
    EXPECT_TRUE(
        ui.RunCancellable("Fitting the peaks...", "Cancel", [](const Ui::ProgressReport& report) {
            for (int i = 0; i < 10; ++i) {
                QThread::msleep(10);
                report(i / 10.0);
            }
        }));
    EXPECT_FALSE(sawBar);

    // Work that runs until it is cancelled: the bar shows after half a second; Cancel ends it.
    QString label;
    int clicked = 0;
    std::function<void()> press = [&] {
        auto* bar = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (!bar) {
            QTimer::singleShot(50, press);
            return;
        }
        label = bar->labelText();
        for (QPushButton* button : bar->findChildren<QPushButton*>()) {
            if (button->text() == "Cancel") {
                button->click();
                ++clicked;
            }
        }
    };
    QTimer::singleShot(300, press);
    const auto start = std::chrono::steady_clock::now();
    bool stopped = false;
    EXPECT_FALSE(ui.RunCancellable("Reading the pattern...", "Cancel",
                                   [&](const Ui::ProgressReport& report) {
                                       for (int i = 0; i < 3000 && !stopped; ++i) {
                                           QThread::msleep(10);
                                           stopped = !report(0.5);
                                       }
                                   }));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(label, "Reading the pattern...");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // An error of the work reaches the command.
    EXPECT_THROW(ui.RunCancellable("Reading the pattern...", "Cancel",
                                   [](const Ui::ProgressReport&) { throw IoError("x.xy: no"); }),
                 IoError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace dorvalix
