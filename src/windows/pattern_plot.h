// SPDX-License-Identifier: GPL-3.0-or-later
// The plot of the pattern window: counts against 2θ with d on the top axis, the background
// and the fitted profile, the peaks marked at their Kα1 maxima and the tick marks of a cell
// in a strip under the pattern. It paints itself: each pixel column draws the least and the
// greatest count of the points it covers, so a pattern of 100,000 points costs no more than
// its width in pixels once it is summed up. The view (the 2θ range and the intensity range)
// lives here: zoom with a dragged rectangle or the wheel, pan with Shift or the middle
// button, back to the full view with Home or FullView().
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "pattern_window_commands.h"

class QMenu;

namespace dorvalix {

// What the plot draws, copied from the window's state: it keeps the pattern and the
// background alive while a new computation replaces them in the state.
struct PlotContent {
    std::shared_ptr<const Pattern> pattern;
    std::size_t scan = 0;
    std::shared_ptr<const ScanPeaks> found;  // the background; none: not drawn
    std::vector<double> profile;             // background and peaks; empty: not drawn
    std::vector<PeakMark> marks;
    std::vector<PatternTick> ticks;
    IntensityScale scale = IntensityScale::Linear;
    bool showBackground = true;
    bool showTicks = true;
    long double wavelength = 0;  // λ₁ for the d axis; 0: no d axis
    QString xTitle, dTitle, yTitle;
    QString removeCaption, fullViewCaption;  // the context menu's items

    const Scan* CurrentScan() const {
        return pattern && scan < pattern->scans.size() ? &pattern->scans[scan] : nullptr;
    }
};

// Colours of the plot, which the tests and the legend of the window share.
inline const QColor kCountsColour(20, 20, 20);
inline const QColor kBackgroundColour(0, 150, 190);
inline const QColor kProfileColour(230, 120, 0);
inline const QColor kExplainedColour(0, 150, 60);
inline const QColor kUnexplainedColour(215, 25, 25);
inline const QColor kPeakColour(40, 80, 210);
inline const QColor kTickColour(60, 0, 160);

class PatternPlot : public QWidget {
    Q_OBJECT
  public:
    explicit PatternPlot(QWidget* parent = nullptr);

    // New content; the view stays when `keepView` (the same scan, other peaks) and the
    // 2θ range still lies in the scan, otherwise the full view.
    void SetContent(PlotContent content, bool keepView);
    const PlotContent& Content() const { return content_; }

    // The view: 2θ from `from` to `to`; the intensity range in the scale's units (√counts,
    // log₁₀ counts), or fitted to the counts in view.
    void FullView();
    void ZoomTo(double from, double to);
    void ZoomTo(double from, double to, double low, double high);
    void Pan(double pixels);
    double ViewFrom() const { return from_; }
    double ViewTo() const { return to_; }
    double ViewLow() const { return low_; }
    double ViewHigh() const { return high_; }
    bool IntensityFitted() const { return fitY_; }

    // The rectangle the pattern is drawn in, the tick strip under it, and the mapping of
    // pixels to 2θ.
    QRect PlotArea() const;
    QRect TickStrip() const;
    double TwoThetaAt(double x) const;
    double XOf(double twoTheta) const;
    // The height of `counts` in the scale, and the pixel row of such a height.
    double Scaled(double counts) const;
    double YOf(double scaled) const;

    // What the tooltip shows at a point: a tick mark's indices, d and 2θ, or a peak's
    // figures; empty where there is neither.
    QString TipAt(const QPoint& at) const;
    // The peak whose marker is within a few pixels of column x, or none.
    std::optional<std::size_t> PeakNear(double x) const;

    // The peak drawn as chosen (the row chosen in the list).
    void SetChosenPeak(std::optional<std::size_t> peak);

  signals:
    void Clicked(double twoTheta);
    void RemoveRequested(std::size_t peak);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void FitIntensity();
    void DrawCurve(QPainter& painter, const std::vector<double>& values,
                   const QColor& colour) const;
    void DrawAxes(QPainter& painter) const;
    void DrawMarks(QPainter& painter) const;
    void DrawTicks(QPainter& painter) const;

    PlotContent content_;
    double from_ = 0, to_ = 1, low_ = 0, high_ = 1;
    bool fitY_ = true;  // the intensity range follows the counts in view
    double floor_ = 1;  // the least count the log scale shows
    std::optional<std::size_t> chosen_;

    enum class Drag { None, Pending, Zoom, Pan };
    Drag drag_ = Drag::None;
    QPoint pressAt_, dragAt_;
    double panFrom_ = 0, panTo_ = 0, panLow_ = 0, panHigh_ = 0;
    bool ignoreRelease_ = false;  // the release that ends a double click
};

}  // namespace dorvalix
