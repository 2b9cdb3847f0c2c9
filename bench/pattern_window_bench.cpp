// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern window's plot on the offscreen platform, with a pattern of 100,000 points (5° to
// 125° 2θ, Cu Kα1/Kα2 doublets of 60 reflections): a full redraw with the background, the
// fitted profile, the peaks' markers and 300 tick marks, a zoom into a tenth of the pattern,
// and a pan. The goal: each in less than 50 ms. For comparison, the same counts drawn by a
// Qt Charts line series in a chart view of the same size (why the plot draws itself).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QPixmap>
#include <memory>

#include "fitted_curve.h"
#include "pattern_plot.h"
#include "synthetic_pattern.h"

namespace {

using namespace dorvalix;

constexpr int kWidth = 1200, kHeight = 600;

struct Content {
    PlotContent plot;
    std::vector<double> counts;

    Content() {
        test::Synthetic s;
        s.start = 5;
        s.step = 0.0012;
        s.points = 100000;
        s.level = 300;
        s.lines = test::CuDoublet(0.5);
        for (int k = 0; k < 60; ++k)
            s.reflections.push_back({12 + 1.8 * k, 2000.0 + 37.0 * ((k * 7919) % 100)});
        auto pattern = std::make_shared<Pattern>();
        pattern->format = "xy";
        pattern->scans.push_back(test::MakeScan(s));
        const Scan& scan = pattern->scans.front();
        auto found = std::make_shared<ScanPeaks>(FindPeaks(scan, s.lines, PeakSettings{}));
        plot.profile = FittedCurve(scan, *found, found->peaks);
        for (const FittedPeak& p : found->peaks) {
            plot.marks.push_back(
                {static_cast<double>(p.twoTheta), static_cast<double>(p.height) + 300, false, {}});
        }
        for (int k = 0; k < 300; ++k) {
            PatternTick tick;
            tick.twoTheta = 5.2 + 0.4 * k;
            plot.ticks.push_back(tick);
        }
        plot.pattern = pattern;
        plot.found = found;
        plot.wavelength = s.lines.ka1;
        plot.xTitle = "2θ (°)";
        plot.dTitle = "d (Å)";
        plot.yTitle = "Counts";
        counts = scan.counts;
    }
};

Content& TheContent() {
    static Content content;
    return content;
}

// The plot as the window shows it, drawn into an image of its size.
struct Shown {
    PatternPlot plot;
    QImage image{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};

    Shown() {
        plot.resize(kWidth, kHeight);
        plot.SetContent(TheContent().plot, false);
    }
    void Draw() {
        plot.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
};

void BM_PlotFullView(benchmark::State& s) {
    Shown shown;
    for (auto _ : s) {
        shown.plot.FullView();
        shown.Draw();
    }
}
BENCHMARK(BM_PlotFullView)->Unit(benchmark::kMillisecond);

void BM_PlotFullViewLogScale(benchmark::State& s) {
    PlotContent content = TheContent().plot;
    content.scale = IntensityScale::Log;
    Shown shown;
    shown.plot.SetContent(content, false);
    for (auto _ : s) {
        shown.plot.FullView();
        shown.Draw();
    }
}
BENCHMARK(BM_PlotFullViewLogScale)->Unit(benchmark::kMillisecond);

// A tenth of the pattern, at ten places in turn.
void BM_PlotZoom(benchmark::State& s) {
    Shown shown;
    int k = 0;
    for (auto _ : s) {
        const double from = 5 + 11 * (k++ % 10);
        shown.plot.ZoomTo(from, from + 12);
        shown.Draw();
    }
}
BENCHMARK(BM_PlotZoom)->Unit(benchmark::kMillisecond);

// Panning a zoomed view by 40 pixels at a time, as a drag does.
void BM_PlotPan(benchmark::State& s) {
    Shown shown;
    shown.plot.ZoomTo(40, 70);
    int k = 0;
    for (auto _ : s) {
        shown.plot.Pan((k++ / 20) % 2 ? 40 : -40);
        shown.Draw();
    }
}
BENCHMARK(BM_PlotPan)->Unit(benchmark::kMillisecond);

// New content, as after a peak was added: the plot takes it and draws it.
void BM_PlotNewContent(benchmark::State& s) {
    Shown shown;
    for (auto _ : s) {
        shown.plot.SetContent(TheContent().plot, true);
        shown.Draw();
    }
}
BENCHMARK(BM_PlotNewContent)->Unit(benchmark::kMillisecond);

// The same 100,000 counts as one Qt Charts line series, drawn at the same size.
void BM_QtChartsLineSeries(benchmark::State& s) {
    const Content& content = TheContent();
    const Scan& scan = content.plot.pattern->scans.front();
    auto* chart = new QChart;
    auto* series = new QLineSeries;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(scan.Size()));
    for (std::size_t i = 0; i < scan.Size(); ++i)
        points.append(QPointF(scan.twoTheta[i], scan.counts[i]));
    series->replace(points);
    chart->addSeries(series);
    chart->createDefaultAxes();
    chart->legend()->hide();
    QChartView view(chart);
    view.resize(kWidth, kHeight);
    view.show();
    QApplication::processEvents();
    for (auto _ : s) {
        chart->zoomReset();
        const QPixmap pixmap = view.grab();
        benchmark::DoNotOptimize(pixmap.cacheKey());
    }
}
BENCHMARK(BM_QtChartsLineSeries)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
