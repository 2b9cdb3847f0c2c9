// SPDX-License-Identifier: GPL-3.0-or-later
// The refinement details window as widgets, on the offscreen platform: the menu item, the
// table's rows and marks, the chart's series, the options' controls, captions and layout.
#include "refinement_details_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <memory>

#include "hkl_table_window.h"
#include "main_commands.h"
#include "main_window.h"
#include "numtext.h"
#include "qt_ui.h"
#include "scripted_ui.h"
#include "table_builder.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

class DetailsWidgets : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<MainWindow>(ui, dir.Path("dorvalix"));
        form->Run(English2Click);
        form10 = std::make_unique<RefinementDetailsWindow>(ui, form->State());
        QObject::connect(form.get(), &MainWindow::StateShown, form10.get(),
                         [this] { form10->Follow(); });
    }
    void TearDown() override {
        form10.reset();
        form.reset();
    }
    MainState& Main() { return form->State(); }
    void Execute() {
        test::FillMonoclinicExample(Main().calc);
        form->Run(N4Click);
        ASSERT_TRUE(Main().calc.resultValid);
    }
    void ExecuteWithOutlier() {
        test::FillCubicWithOutlier(Main().calc);
        form->Run(N4Click);
        ASSERT_TRUE(Main().calc.resultValid);
    }
    QAbstractItemModel* Table() const { return form10->ReflectionGrid->model(); }
    QVariant Data(int row, int col, int role) const { return Table()->index(row, col).data(role); }

    test::TempDir dir;
    test::ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<RefinementDetailsWindow> form10;
};

TEST_F(DetailsWidgets, MenuItemIsEnabledWhileTheResultDescribesTheTable) {
    QAction* item = form->Action(Control::Details1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Refinement Details...");  // R underlined
    EXPECT_TRUE(form->Menu(Control::N3)->actions().contains(item));
    EXPECT_FALSE(item->isEnabled());
    Execute();
    EXPECT_TRUE(item->isEnabled());
    Main().calc.table.Cell(1, 1) = "3";  // an index edited in the grid
    form->SyncFromState();
    EXPECT_FALSE(item->isEnabled());
    form->Run(Japanese1Click);
    EXPECT_EQ(item->text(), "精密化の詳細...");
}

TEST_F(DetailsWidgets, TheMenuItemOpensTheWindowModeless) {
    QtUi qtUi("Dorvalix");
    MainWindow main(qtUi, dir.Path("dorvalix"));
    RefinementDetailsWindow details(qtUi, main.State(), &main);
    qtUi.SetWindowOpener(SecondaryWindow::TForm10, [&] { details.Open(); });
    test::FillMonoclinicExample(main.State().calc);
    main.Run(N4Click);
    main.Action(Control::Details1)->trigger();  // returns at once
    EXPECT_TRUE(details.isVisible());
    EXPECT_TRUE(details.isWindow());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(details.ReflectionGrid->model()->rowCount(), 7);
}

TEST_F(DetailsWidgets, TableRowsAndTheirMarks) {
    Execute();
    form10->Open();
    ASSERT_EQ(Table()->rowCount(), 7);
    ASSERT_EQ(Table()->columnCount(), 14);
    QStringList headers;
    for (int c = 0; c < 14; ++c)
        headers << Table()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(headers, (QStringList{"Row", "h", "k", "l", "d obs (Å)", "d calc (Å)", "Δd (Å)",
                                    "2θ obs (°)", "2θ calc (°)", "Δ2θ (°)", "ΔQ (Å⁻²)", "Leverage",
                                    "Studentised residual", "Cook's distance"}));
    QStringList first;
    for (int c = 0; c < 14; ++c)
        first << Data(0, c, Qt::DisplayRole).toString();
    EXPECT_EQ(first, (QStringList{"1", "2", "2", "0", "3.23", "3.23483", "-0.00483", "27.6156",
                                  "27.5735", "0.0421", "0.000286", "0.1027", "1.6090", "0.0741"}));
    // Lattice I: the four lines with h + k + l odd are drawn blue and italic.
    form10->LatticeBox->setCurrentIndex(static_cast<int>(Centring::I));
    emit form10->LatticeBox->activated(static_cast<int>(Centring::I));
    EXPECT_EQ(Main().settings.lattice, Centring::I);
    for (int r = 0; r < 7; ++r) {
        const bool absent = r == 1 || r == 2 || r == 4 || r == 5;
        const QVariant foreground = Data(r, 0, Qt::ForegroundRole);
        EXPECT_EQ(foreground.isValid(), absent) << r;
        if (absent) {
            EXPECT_EQ(foreground.value<QBrush>().color(), kAbsentText);
            EXPECT_TRUE(Data(r, 5, Qt::FontRole).value<QFont>().italic());
        }
        EXPECT_FALSE(Data(r, 0, Qt::BackgroundRole).isValid()) << r;  // no outlier here
    }
    EXPECT_EQ(form10->LegendAbsent->text(), "Absent under lattice I");
    EXPECT_EQ(form10->LegendOutlier->palette().color(QPalette::Window), kOutlierBackground);
}

TEST_F(DetailsWidgets, OutlierRowIsShadedAndItsMarkerStandsApart) {
    ExecuteWithOutlier();
    form10->Open();
    ASSERT_EQ(Table()->rowCount(), 20);
    // Outliers and influential lines are shaded alike; the misread fourth line is one.
    int shaded = 0;
    for (int r = 0; r < 20; ++r) {
        const DetailsRow& row = form10->State().rows[static_cast<std::size_t>(r)];
        const QVariant background = Data(r, 12, Qt::BackgroundRole);
        EXPECT_EQ(background.isValid(), row.outlier || row.influential) << r;
        if (background.isValid()) {
            ++shaded;
            EXPECT_EQ(background.value<QBrush>().color(), kOutlierBackground);
        }
    }
    EXPECT_TRUE(form10->State().rows[3].outlier);
    EXPECT_EQ(form10->OutlierSeries->count(), shaded);
    EXPECT_EQ(form10->PointSeries->count(), 20 - shaded);
    EXPECT_NE(form10->OutlierSeries->markerShape(), form10->PointSeries->markerShape());
    EXPECT_NE(form10->OutlierSeries->color(), form10->PointSeries->color());
    // The misread line's marker is among them: at its 2θ, with its residual.
    const std::vector<PlotPoint>& outliers = form10->State().plot.outliers;
    const auto misread = std::find_if(outliers.begin(), outliers.end(), [](const PlotPoint& p) {
        return p.tip.starts_with("3 1 1") && p.tip.find("\noutlier") != std::string::npos;
    });
    ASSERT_NE(misread, outliers.end());
    EXPECT_EQ(form10->OutlierSeries->at(static_cast<int>(misread - outliers.begin())),
              QPointF(misread->x, misread->y));
}

TEST_F(DetailsWidgets, ChartOfTheWorkedExampleAndItsRedraw) {
    Execute();
    form10->Open();
    QChart* chart = form10->Chart;
    EXPECT_EQ(form10->PointSeries->count(), 7);
    EXPECT_EQ(form10->OutlierSeries->count(), 0);
    const ResidualPlot& plot = form10->State().plot;
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(form10->PointSeries->at(i), QPointF(plot.points[static_cast<std::size_t>(i)].x,
                                                      plot.points[static_cast<std::size_t>(i)].y));
    }
    // The zero line spans the markers, and the legend names only the two series of markers.
    ASSERT_EQ(form10->ZeroLine->count(), 2);
    EXPECT_EQ(form10->ZeroLine->at(0).y(), 0);
    EXPECT_LT(form10->ZeroLine->at(0).x(), 0);
    EXPECT_GT(form10->ZeroLine->at(1).x(), 180);
    for (QLegendMarker* marker : chart->legend()->markers(form10->ZeroLine))
        EXPECT_FALSE(marker->isVisible());
    EXPECT_EQ(form10->PointSeries->name(), "Reflections");
    EXPECT_EQ(form10->OutlierSeries->name(), "Outliers, influential");
    // Kinds of marker the plot does not hold are not in the legend.
    for (QScatterSeries* empty :
         {form10->OutlierSeries, form10->ExcludedSeries, form10->AbsentSeries}) {
        for (QLegendMarker* marker : chart->legend()->markers(empty))
            EXPECT_FALSE(marker->isVisible()) << empty->objectName().toStdString();
    }
    EXPECT_EQ(form10->XAxis->titleText(), "2θ obs (°)");
    EXPECT_EQ(form10->YAxis->titleText(), "ΔQ obs − calc (Å⁻²)");
    // The axes hold every marker, the y axis symmetric about the zero line.
    EXPECT_EQ(form10->YAxis->min(), -form10->YAxis->max());
    for (int i = 0; i < 7; ++i) {
        const QPointF p = form10->PointSeries->at(i);
        EXPECT_GT(p.x(), form10->XAxis->min());
        EXPECT_LT(p.x(), form10->XAxis->max());
        EXPECT_LT(std::fabs(p.y()), form10->YAxis->max());
    }
    EXPECT_EQ(form10->PlotView->rubberBand(), QChartView::RectangleRubberBand);

    // Another fit: the plot is drawn anew, in 2θ.
    QTest::mouseClick(form10->FitZeroShift, Qt::LeftButton);
    EXPECT_EQ(form10->State().fit, DetailsFitChoice::TwoThetaZeroShift);
    EXPECT_EQ(form10->YAxis->titleText(), "Δ2θ obs − calc (°)");
    ASSERT_EQ(form10->PointSeries->count() + form10->OutlierSeries->count(), 7);
    EXPECT_EQ(form10->PointSeries->at(0).y(), plot.points[0].y);
    EXPECT_GT(std::fabs(plot.points[0].y), 1e-3);  // degrees now, not Å⁻²
    EXPECT_EQ(form10->CellText->text().split('\n').first(), "a = 9.78(1) Å");

    // Zoom in, then back.
    const double xMin = form10->XAxis->min();
    chart->zoomIn(QRectF(chart->plotArea().center(), chart->plotArea().size() / 4));
    EXPECT_GT(form10->XAxis->min(), xMin);
    QTest::mouseClick(form10->ResetZoomButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(form10->XAxis->min(), xMin);
}

TEST_F(DetailsWidgets, HoveringAMarkerShowsItsReflection) {
    Execute();
    form10->Open();
    form10->show();
    const QPointF marker = form10->PointSeries->at(2);
    emit form10->PointSeries->hovered(marker, true);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text().split('\n').first(), "3 1 1   row 3");
    EXPECT_TRUE(QToolTip::text().contains("ΔQ = "));
    QToolTip::hideText();
}

TEST_F(DetailsWidgets, HeaderClicksSort) {
    Execute();
    form10->Open();
    form10->show();
    QHeaderView* header = form10->ReflectionGrid->horizontalHeader();
    const int x = header->sectionViewportPosition(12) + header->sectionSize(12) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    QStringList rows;
    for (int r = 0; r < 7; ++r)
        rows << Data(r, 0, Qt::DisplayRole).toString();
    EXPECT_EQ(rows, (QStringList{"4", "5", "6", "3", "7", "2", "1"}));
    EXPECT_EQ(Table()->headerData(12, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Studentised residual ▲");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    EXPECT_EQ(Data(0, 0, Qt::DisplayRole).toString(), "1");
    EXPECT_EQ(Table()->headerData(12, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Studentised residual ▼");
    EXPECT_EQ(Table()->headerData(11, Qt::Horizontal, Qt::DisplayRole).toString(), "Leverage");
}

TEST_F(DetailsWidgets, FollowsTheMainWindowAndEmptiesItself) {
    Execute();
    form10->Open();
    EXPECT_FALSE(form10->EmptyNote->isVisibleTo(form10.get()));
    EXPECT_TRUE(form10->CifButton->isEnabled());
    // An edit in the grid, then any command of the main window: the window is emptied.
    Main().calc.table.Cell(0, 2) = "2.6";
    form->Run(N16Click);  // Sort
    EXPECT_EQ(Table()->rowCount(), 0);
    EXPECT_EQ(form10->PointSeries->count(), 0);
    EXPECT_TRUE(form10->EmptyNote->isVisibleTo(form10.get()));
    EXPECT_EQ(form10->EmptyNote->text(),
              "No details: execute the calculation for the table as it stands.");
    for (QWidget* w :
         std::initializer_list<QWidget*>{form10->CifButton, form10->CsvButton, form10->PlotButton})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    form->Run(N4Click);
    EXPECT_EQ(Table()->rowCount(), 7);
    EXPECT_EQ(Data(1, 4, Qt::DisplayRole).toString(), "2.6");
}

TEST_F(DetailsWidgets, OptionControlsChangeTheSharedSettings) {
    Execute();
    form10->Open();
    EXPECT_EQ(form10->WavelengthBox->count(), 9);
    EXPECT_EQ(form10->WavelengthBox->currentIndex(), 0);
    EXPECT_EQ(form10->WavelengthBox->itemText(0), "Cu-Ka  1.54178 Å");
    EXPECT_EQ(form10->WavelengthBox->itemText(8), "typed value");
    emit form10->WavelengthBox->activated(6);
    EXPECT_EQ(Main().settings.lamda, 0.710678L);
    EXPECT_EQ(Main().settings.xRay, "Mo-Ka");
    EXPECT_EQ(form10->WavelengthEdit->text(), "0.710678");
    form10->WavelengthEdit->setText("1.5406");
    form10->WavelengthEdit->setModified(true);
    emit form10->WavelengthEdit->editingFinished();
    EXPECT_EQ(Main().settings.lamda, 1.5406L);
    EXPECT_EQ(Main().settings.xRay, " Set W.L.");
    EXPECT_EQ(form10->WavelengthBox->currentIndex(), 8);
    EXPECT_EQ(form10->LatticeBox->count(), 7);
    EXPECT_EQ(form10->LatticeBox->itemText(5), "F  all-face centred");
    EXPECT_TRUE(form10->FitQ->isChecked());
}

TEST_F(DetailsWidgets, CaptionsInBothLanguagesFitTheirControls) {
    Execute();
    form10->Open();
    form10->show();
    for (const MainCommand language : {English2Click, Japanese1Click}) {
        form->Run(language);
        QApplication::processEvents();
        const bool ja = language == Japanese1Click;
        EXPECT_EQ(form10->windowTitle(), ja ? "精密化の詳細" : "Refinement Details");
        EXPECT_EQ(form10->CopyButton->text(), ja ? "コピー" : "&Copy");
        EXPECT_EQ(form10->OptionsBox->title(), ja ? "計算条件" : "Options");
        // Nothing is cut off: each control is at least as wide as its text needs.
        for (QAbstractButton* b : form10->findChildren<QAbstractButton*>()) {
            if (!b->isVisibleTo(form10.get()) || b->text().isEmpty()) continue;
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
        }
        for (QLabel* l : form10->findChildren<QLabel*>()) {
            if (!l->isVisibleTo(form10.get()) || l->wordWrap() || l->text().isEmpty()) continue;
            EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
        }
        for (QComboBox* c : {form10->WavelengthBox, form10->LatticeBox})
            EXPECT_GE(c->width(), c->sizeHint().width()) << c->objectName().toStdString();
    }
}

// Every control is reached by Tab (the table lets it through), the English buttons carry
// their letters, Escape closes the window.
TEST_F(DetailsWidgets, KeyboardReachesEveryControlAndEscapeCloses) {
    Execute();
    form10->Open();
    form10->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form10.get()));
    form10->WavelengthBox->setFocus();
    QSet<QWidget*> reached;
    for (int i = 0; i < 40 && QApplication::focusWidget(); ++i) {
        reached.insert(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             form10->ReflectionGrid, form10->CopyButton, form10->CifButton, form10->CsvButton,
             form10->PlotButton, form10->ResetZoomButton, form10->CloseButton, form10->LatticeBox})
        EXPECT_TRUE(reached.contains(w)) << w->objectName().toStdString();
    EXPECT_EQ(form10->CifButton->text(), "Save C&IF...");
    EXPECT_EQ(form10->CloseButton->text(), "C&lose");
    EXPECT_EQ(form10->FitZeroShift->text(), "on 2θ with &zero shift");
    form10->ReflectionGrid->setFocus();
    QTest::keyClick(form10->ReflectionGrid, Qt::Key_Escape);
    EXPECT_FALSE(form10->isVisible());
}

// An empty plot shows no axes and no legend.
TEST_F(DetailsWidgets, AnEmptyPlotShowsNoAxesNorLegend) {
    form10->Open();
    EXPECT_TRUE(form10->State().plot.Empty());
    EXPECT_FALSE(form10->XAxis->isVisible());
    EXPECT_FALSE(form10->YAxis->isVisible());
    EXPECT_FALSE(form10->Chart->legend()->isVisible());
    Execute();
    EXPECT_TRUE(form10->XAxis->isVisible());
    EXPECT_TRUE(form10->Chart->legend()->isVisible());
}

// The window opens beside the main window where the screen has room.
TEST(DetailsPlacement, BesideTheMainWindow) {
    const QRect screen(0, 0, 1920, 1080);
    const struct {
        QRect main;
        QSize frame;
        QPoint at;
    } cases[] = {
        {{100, 50, 660, 640}, {1120, 800}, {760, 50}},    // room on the right
        {{900, 50, 660, 640}, {800, 700}, {100, 50}},     // only on the left
        {{600, 50, 660, 640}, {1120, 800}, {800, 50}},    // no room: right-aligned, over it
        {{100, 600, 660, 400}, {1120, 800}, {760, 280}},  // kept within the screen's height
    };
    for (const auto& c : cases)
        EXPECT_EQ(BesidePosition(screen, c.main, c.frame), c.at) << c.main.x() << "," << c.main.y();
}

TEST_F(DetailsWidgets, PlotRendersAsPngAndSvg) {
    Execute();
    form10->Open();
    form10->show();
    const std::string png = form10->RenderPlot(PlotFormat::Png);
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const QImage image = QImage::fromData(QByteArray::fromStdString(png), "PNG");
    EXPECT_EQ(image.size(), form10->PlotView->size() * 2);
    const std::string svg = form10->RenderPlot(PlotFormat::Svg);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

}  // namespace
}  // namespace dorvalix
