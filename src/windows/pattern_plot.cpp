// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern_plot.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "fonts.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

constexpr int kFontPixels = 12;
// Room around the plot area for the axes, their labels and titles, and the tick strip.
constexpr int kLeft = 78;
constexpr int kRight = 16;
constexpr int kTop = 40;
constexpr int kStrip = 16;  // the tick marks' strip under the plot area
constexpr int kBottom = kStrip + 44;
constexpr int kClickSlack = 4;  // a press and release closer than this is a click
constexpr int kNearPixels = 6;  // how close the pointer must be to a mark or tick
constexpr double kRadian = std::numbers::pi / 180;

// Values of 1, 2 or 5 × 10^k spaced about `count` times over [from, to].
std::vector<double> NiceTicks(double from, double to, int count, double& step) {
    std::vector<double> ticks;
    step = 0;
    if (!(to > from) || count < 1) return ticks;
    const double rough = (to - from) / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (step >= rough) break;
    }
    for (double v = std::ceil(from / step) * step; v <= to + step * 1e-9; v += step)
        ticks.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
    return ticks;
}

// As many decimals as a step needs (0.25 needs two), at most six.
int DecimalsOf(double step) {
    for (int decimals = 0; decimals < 6; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * std::max(1.0, scaled)) return decimals;
    }
    return 6;
}

// A count as an axis writes it: whole numbers in full up to ten million, others to four
// significant digits.
QString CountText(double v) {
    if (std::fabs(v) < 1e7 && std::fabs(v - std::round(v)) < 1e-9 * std::max(1.0, std::fabs(v)))
        return QString::number(static_cast<long long>(std::llround(v)));
    return QString::number(v, 'g', 4);
}

// v rounded to `digits` significant digits.
double RoundSignificant(double v, int digits) {
    if (v == 0 || !std::isfinite(v)) return v;
    const double scale = std::pow(10.0, digits - 1 - std::floor(std::log10(std::fabs(v))));
    return std::round(v * scale) / scale;
}

}  // namespace

PatternPlot::PatternPlot(QWidget* parent) : QWidget(parent) {
    setObjectName("PatternPlot");
    setFont(SansFont(kFontPixels));
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setMinimumSize(420, 260);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PatternPlot::SetContent(PlotContent content, bool keepView) {
    const double from = from_, to = to_, low = low_, high = high_;
    const bool fitted = fitY_;
    const IntensityScale scale = content_.scale;
    content_ = std::move(content);
    floor_ = 1;
    if (const Scan* scan = content_.CurrentScan()) {
        // The log scale starts below the least count above zero.
        double least = 0;
        for (const double c : scan->counts) {
            if (c > 0 && (least == 0 || c < least)) least = c;
        }
        floor_ = least > 0 ? least / 2 : 0.5;
    }
    FullView();
    const Scan* scan = content_.CurrentScan();
    if (keepView && scan && from >= scan->twoTheta.front() - 1e-9 &&
        to <= scan->twoTheta.back() + 1e-9 && to > from) {
        from_ = from;
        to_ = to;
        if (!fitted && scale == content_.scale) {
            fitY_ = false;
            low_ = low;
            high_ = high;
        } else {
            FitIntensity();
        }
    }
    update();
}

void PatternPlot::FullView() {
    const Scan* scan = content_.CurrentScan();
    if (!scan) {
        from_ = 0;
        to_ = 1;
    } else {
        from_ = scan->twoTheta.front();
        to_ = scan->twoTheta.back();
        if (!(to_ > from_)) {
            from_ -= 0.5;
            to_ += 0.5;
        }
    }
    fitY_ = true;
    FitIntensity();
    update();
}

void PatternPlot::ZoomTo(double from, double to) {
    const Scan* scan = content_.CurrentScan();
    if (!scan || !(to > from)) return;
    const double first = scan->twoTheta.front(), last = scan->twoTheta.back();
    const double full = std::max(last - first, 1e-6);
    // Never narrower than a few steps, never wider than the scan.
    const double span = std::clamp(to - from, std::max(4 * MeanStep(*scan), full * 1e-6), full);
    double centre = (from + to) / 2;
    centre = std::clamp(centre, first + span / 2, last - span / 2);
    from_ = centre - span / 2;
    to_ = centre + span / 2;
    if (fitY_) FitIntensity();
    update();
}

void PatternPlot::ZoomTo(double from, double to, double low, double high) {
    ZoomTo(from, to);
    if (high > low) {
        fitY_ = false;
        low_ = low;
        high_ = high;
    }
    update();
}

void PatternPlot::Pan(double pixels) {
    const QRect area = PlotArea();
    if (area.width() <= 0) return;
    const double shift = pixels * (to_ - from_) / area.width();
    ZoomTo(from_ - shift, to_ - shift);
}

QRect PatternPlot::PlotArea() const {
    return QRect(kLeft, kTop, std::max(1, width() - kLeft - kRight),
                 std::max(1, height() - kTop - kBottom));
}

QRect PatternPlot::TickStrip() const {
    const QRect area = PlotArea();
    return QRect(area.left(), area.bottom() + 3, area.width(), kStrip - 4);
}

double PatternPlot::TwoThetaAt(double x) const {
    const QRect area = PlotArea();
    return from_ + (x - area.left()) * (to_ - from_) / area.width();
}

double PatternPlot::XOf(double twoTheta) const {
    const QRect area = PlotArea();
    return area.left() + (twoTheta - from_) * area.width() / (to_ - from_);
}

double PatternPlot::Scaled(double counts) const {
    switch (content_.scale) {
        case IntensityScale::SquareRoot:
            return counts >= 0 ? std::sqrt(counts) : -std::sqrt(-counts);
        case IntensityScale::Log:
            return std::log10(std::max(counts, floor_));
        case IntensityScale::Linear:
            break;
    }
    return counts;
}

double PatternPlot::YOf(double scaled) const {
    const QRect area = PlotArea();
    return area.top() + area.height() - (scaled - low_) * area.height() / (high_ - low_);
}

void PatternPlot::FitIntensity() {
    const Scan* scan = content_.CurrentScan();
    low_ = 0;
    high_ = 1;
    if (!scan) return;
    const std::size_t n = scan->Size();
    const std::size_t first = std::min(LowerIndex(*scan, from_), n - 1);
    const std::size_t last = std::max(first + 1, std::min(LowerIndex(*scan, to_) + 1, n));
    // Every scale keeps the order of the counts: only the least and the greatest are scaled.
    double least = scan->counts[first], most = least;
    auto take = [&](const std::vector<double>& values) {
        if (values.size() != n) return;
        for (std::size_t i = first; i < last; ++i) {
            least = std::min(least, values[i]);
            most = std::max(most, values[i]);
        }
    };
    take(scan->counts);
    if (content_.found && content_.showBackground) take(content_.found->background);
    take(content_.profile);
    least = Scaled(least);
    most = Scaled(most);
    if (content_.scale == IntensityScale::Linear) least = std::min(least, 0.0);
    double span = most - least;
    if (!(span > 0)) span = std::max(1.0, std::fabs(most));
    // Room above for the peaks' markers.
    low_ = least - 0.02 * span;
    high_ = most + 0.1 * span;
}

std::optional<std::size_t> PatternPlot::PeakNear(double x) const {
    std::optional<std::size_t> best;
    double distance = kNearPixels + 1;
    for (std::size_t k = 0; k < content_.marks.size(); ++k) {
        const double d = std::fabs(XOf(content_.marks[k].twoTheta) - x);
        if (d <= kNearPixels && d < distance) {
            best = k;
            distance = d;
        }
    }
    return best;
}

QString PatternPlot::TipAt(const QPoint& at) const {
    const QRect strip = TickStrip().adjusted(0, -3, 0, 3);
    if (content_.showTicks && strip.contains(at)) {
        const PatternTick* best = nullptr;
        double distance = kNearPixels + 1;
        for (const PatternTick& tick : content_.ticks) {
            const double d = std::fabs(XOf(tick.twoTheta) - at.x());
            if (d <= kNearPixels && d < distance) {
                best = &tick;
                distance = d;
            }
        }
        return best ? ToQ(best->tip) : QString();
    }
    if (!PlotArea().contains(at)) return {};
    for (const PeakMark& mark : content_.marks) {
        const double x = XOf(mark.twoTheta);
        const double y = YOf(Scaled(mark.top)) - 8;
        if (std::fabs(x - at.x()) <= kNearPixels && std::fabs(y - at.y()) <= 2 * kNearPixels)
            return ToQ(mark.tip);
    }
    return {};
}

void PatternPlot::SetChosenPeak(std::optional<std::size_t> peak) {
    if (peak == chosen_) return;
    chosen_ = peak;
    update();
}

// --- Painting --------------------------------------------------------------------------------

void PatternPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QRect area = PlotArea();
    painter.fillRect(area, Qt::white);
    const Scan* scan = content_.CurrentScan();
    if (scan && to_ > from_ && high_ > low_) {
        DrawAxes(painter);
        painter.save();
        painter.setClipRect(area);
        if (content_.found && content_.showBackground)
            DrawCurve(painter, content_.found->background, kBackgroundColour);
        DrawCurve(painter, scan->counts, kCountsColour);
        if (!content_.profile.empty()) DrawCurve(painter, content_.profile, kProfileColour);
        DrawMarks(painter);
        painter.restore();
        if (content_.showTicks) DrawTicks(painter);
    }
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    if (drag_ == Drag::Zoom) {
        painter.setPen(QPen(QColor(40, 40, 40), 1, Qt::DashLine));
        painter.setBrush(QColor(60, 120, 220, 40));
        painter.drawRect(QRect(pressAt_, dragAt_).normalized());
    }
}

void PatternPlot::DrawCurve(QPainter& painter, const std::vector<double>& values,
                            const QColor& colour) const {
    const Scan& scan = *content_.CurrentScan();
    const std::size_t n = scan.Size();
    if (values.size() != n || n == 0) return;
    // The points in view and one beyond on either side, so that the line leaves the area.
    const std::size_t first = LowerIndex(scan, from_) > 0 ? LowerIndex(scan, from_) - 1 : 0;
    const std::size_t last = std::min(LowerIndex(scan, to_) + 1, n);  // one past
    const QRect area = PlotArea();
    QPolygonF line;
    if (last - first <= 2 * static_cast<std::size_t>(area.width())) {
        line.reserve(static_cast<qsizetype>(last - first));
        for (std::size_t i = first; i < last; ++i)
            line.append(QPointF(XOf(scan.twoTheta[i]), YOf(Scaled(values[i]))));
    } else {
        // One pixel column at a time: its first, least, greatest and last count. The scale
        // keeps the order of the counts, so only those four are scaled.
        line.reserve(4 * area.width() + 8);
        const double left = area.left();
        const double perDegree = area.width() / (to_ - from_);
        long long column = 0;
        double firstValue = 0, least = 0, most = 0, lastValue = 0;
        bool open = false;
        auto flush = [&] {
            if (!open) return;
            const double x = static_cast<double>(column) + 0.5;
            line.append(QPointF(x, YOf(Scaled(firstValue))));
            line.append(QPointF(x, YOf(Scaled(least))));
            line.append(QPointF(x, YOf(Scaled(most))));
            line.append(QPointF(x, YOf(Scaled(lastValue))));
        };
        for (std::size_t i = first; i < last; ++i) {
            const double v = values[i];
            const auto c =
                static_cast<long long>(std::floor(left + (scan.twoTheta[i] - from_) * perDegree));
            if (!open || c != column) {
                flush();
                column = c;
                firstValue = least = most = lastValue = v;
                open = true;
            } else {
                least = std::min(least, v);
                most = std::max(most, v);
                lastValue = v;
            }
        }
        flush();
    }
    // A pen of one pixel, not antialiased: the raster engine draws it without stroking.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 0));
    painter.drawPolyline(line);
}

void PatternPlot::DrawMarks(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing, true);
    const bool judged = content_.showTicks && !content_.ticks.empty();
    const QRect area = PlotArea();
    for (std::size_t k = 0; k < content_.marks.size(); ++k) {
        const PeakMark& mark = content_.marks[k];
        if (mark.twoTheta < from_ || mark.twoTheta > to_) continue;
        const QColor colour = !judged          ? kPeakColour
                              : mark.explained ? kExplainedColour
                                               : kUnexplainedColour;
        const double x = XOf(mark.twoTheta);
        const double y = std::max<double>(area.top() + 8, YOf(Scaled(mark.top)) - 4);
        const bool chosen = chosen_ == k;
        if (chosen) {
            painter.setPen(QPen(colour, 1, Qt::DashLine));
            painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        }
        const double s = chosen ? 7 : 5;
        QPainterPath triangle;
        triangle.moveTo(x, y);
        triangle.lineTo(x - s, y - 1.6 * s);
        triangle.lineTo(x + s, y - 1.6 * s);
        triangle.closeSubpath();
        painter.setPen(QPen(colour.darker(130), 1));
        painter.setBrush(colour);
        painter.drawPath(triangle);
    }
    painter.setBrush(Qt::NoBrush);
}

void PatternPlot::DrawTicks(QPainter& painter) const {
    const QRect strip = TickStrip();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kTickColour, 1));
    int previous = -1;
    for (const PatternTick& tick : content_.ticks) {
        if (tick.twoTheta < from_ || tick.twoTheta > to_) continue;
        const int x = static_cast<int>(std::lround(XOf(tick.twoTheta)));
        if (x == previous) continue;
        painter.drawLine(x, strip.top(), x, strip.bottom());
        previous = x;
    }
}

void PatternPlot::DrawAxes(QPainter& painter) const {
    const QRect area = PlotArea();
    const QFontMetrics metrics(font());
    const QColor grid(225, 225, 225);
    const QColor text(30, 30, 30);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // 2θ below the tick strip.
    double step = 0;
    const std::vector<double> xs = NiceTicks(from_, to_, std::max(2, area.width() / 90), step);
    const int decimals = DecimalsOf(step);
    const int labelTop = area.bottom() + kStrip + 2;
    for (const double v : xs) {
        const int x = static_cast<int>(std::lround(XOf(v)));
        painter.setPen(grid);
        painter.drawLine(x, area.top() + 1, x, area.bottom() - 1);
        painter.setPen(text);
        painter.drawLine(x, area.bottom(), x, area.bottom() + 3);
        const QString label = QString::number(v, 'f', decimals);
        const int w = metrics.horizontalAdvance(label);
        painter.drawText(x - w / 2, labelTop + metrics.ascent(), label);
    }
    const QString xTitle = content_.xTitle;
    painter.drawText(area.left() + (area.width() - metrics.horizontalAdvance(xTitle)) / 2,
                     labelTop + metrics.height() + metrics.ascent() + 2, xTitle);

    // d above the plot, at round values of two (or three) significant digits.
    if (content_.wavelength > 0) {
        const auto lambda = static_cast<double>(content_.wavelength);
        const int count = std::max(2, area.width() / 80);
        int rightEdge = area.left();  // the title stands left of the axis
        double previousD = 0;
        for (int j = 0; j <= count; ++j) {
            const double twoTheta = from_ + (to_ - from_) * j / count;
            if (!(twoTheta > 0)) continue;
            const double exact = lambda / (2 * std::sin(twoTheta * kRadian / 2));
            double d = RoundSignificant(exact, 2);
            if (d == previousD) d = RoundSignificant(exact, 3);
            const double s = lambda / (2 * d);
            if (d == previousD || !(s < 1)) continue;
            const double at = 2 * std::asin(s) / kRadian;
            if (at < from_ || at > to_) continue;
            const int x = static_cast<int>(std::lround(XOf(at)));
            const QString label = QString::number(d, 'g', 6);
            const int w = metrics.horizontalAdvance(label);
            if (x - w / 2 <= rightEdge + 6) continue;
            painter.setPen(text);
            painter.drawLine(x, area.top() - 3, x, area.top());
            painter.drawText(x - w / 2, area.top() - 5 - metrics.descent(), label);
            rightEdge = x + w / 2;
            previousD = d;
        }
        painter.drawText(area.left() - 8 - metrics.horizontalAdvance(content_.dTitle),
                         area.top() - 5 - metrics.descent(), content_.dTitle);
    }

    // Counts on the left, at round counts in every scale.
    std::vector<std::pair<double, QString>> ys;  // scaled height, label
    const int rows = std::max(2, area.height() / 45);
    switch (content_.scale) {
        case IntensityScale::Linear: {
            for (const double v : NiceTicks(low_, high_, rows, step))
                ys.emplace_back(v, CountText(v));
            break;
        }
        case IntensityScale::SquareRoot: {
            double previous = std::nan("");
            for (const double s : NiceTicks(low_, high_, rows, step)) {
                const double counts = RoundSignificant(s >= 0 ? s * s : -s * s, 2);
                if (counts == previous) continue;
                previous = counts;
                ys.emplace_back(Scaled(counts), CountText(counts));
            }
            break;
        }
        case IntensityScale::Log: {
            const int a = static_cast<int>(std::floor(low_));
            const int b = static_cast<int>(std::ceil(high_));
            const bool fine = b - a <= 3;
            for (int e = a; e <= b; ++e) {
                for (const double m : {1.0, 2.0, 5.0}) {
                    if (m != 1 && !fine) continue;
                    const double counts = m * std::pow(10.0, e);
                    const double v = std::log10(counts);
                    if (v >= low_ && v <= high_) ys.emplace_back(v, CountText(counts));
                }
            }
            break;
        }
    }
    for (const auto& [v, label] : ys) {
        const int y = static_cast<int>(std::lround(YOf(v)));
        if (y < area.top() || y > area.bottom()) continue;
        painter.setPen(grid);
        painter.drawLine(area.left() + 1, y, area.right() - 1, y);
        painter.setPen(text);
        painter.drawLine(area.left() - 3, y, area.left(), y);
        painter.drawText(area.left() - 6 - metrics.horizontalAdvance(label),
                         y + metrics.ascent() / 2 - 1, label);
    }
    painter.save();
    painter.translate(14, area.top() + area.height() / 2);
    painter.rotate(-90);
    painter.setPen(text);
    painter.drawText(-metrics.horizontalAdvance(content_.yTitle) / 2, 0, content_.yTitle);
    painter.restore();
}

// --- The mouse and the keys ----------------------------------------------------------------

void PatternPlot::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!content_.CurrentScan() || !PlotArea().contains(at)) return;
    pressAt_ = dragAt_ = at;
    if (event->button() == Qt::MiddleButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
        drag_ = Drag::Pan;
        panFrom_ = from_;
        panTo_ = to_;
        panLow_ = low_;
        panHigh_ = high_;
    } else if (event->button() == Qt::LeftButton) {
        drag_ = Drag::Pending;
    }
}

void PatternPlot::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Pending && (at - pressAt_).manhattanLength() > kClickSlack)
        drag_ = Drag::Zoom;
    if (drag_ == Drag::Zoom) {
        const QRect area = PlotArea();
        dragAt_ = QPoint(std::clamp(at.x(), area.left(), area.right()),
                         std::clamp(at.y(), area.top(), area.bottom()));
        update();
    } else if (drag_ == Drag::Pan) {
        const QRect area = PlotArea();
        const double shift = (at.x() - pressAt_.x()) * (panTo_ - panFrom_) / area.width();
        const bool fitted = fitY_;
        ZoomTo(panFrom_ - shift, panTo_ - shift);
        if (!fitted) {
            const double rise = (at.y() - pressAt_.y()) * (panHigh_ - panLow_) / area.height();
            low_ = panLow_ + rise;
            high_ = panHigh_ + rise;
            fitY_ = false;
        }
        update();
    }
}

void PatternPlot::mouseReleaseEvent(QMouseEvent* event) {
    const Drag drag = drag_;
    drag_ = Drag::None;
    if (ignoreRelease_) {
        ignoreRelease_ = false;
        return;
    }
    if (drag == Drag::Pending && event->button() == Qt::LeftButton) {
        emit Clicked(TwoThetaAt(pressAt_.x()));
    } else if (drag == Drag::Zoom) {
        const QRect box = QRect(pressAt_, dragAt_).normalized();
        if (box.width() > kClickSlack) {
            const double a = TwoThetaAt(box.left()), b = TwoThetaAt(box.right());
            if (box.height() > kClickSlack) {
                const QRect area = PlotArea();
                auto scaledAt = [&](int y) {
                    return low_ + (area.top() + area.height() - y) * (high_ - low_) / area.height();
                };
                ZoomTo(a, b, scaledAt(box.bottom()), scaledAt(box.top()));
            } else {
                ZoomTo(a, b);
            }
        }
        update();
    }
}

void PatternPlot::mouseDoubleClickEvent(QMouseEvent*) {
    // The second click of a double click adds no second peak.
    ignoreRelease_ = true;
}

void PatternPlot::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y();
    if (steps == 0 || !content_.CurrentScan()) return;
    const double factor = std::pow(0.85, steps / 120.0);
    const double at = TwoThetaAt(event->position().x());
    ZoomTo(at - (at - from_) * factor, at + (to_ - at) * factor);
    event->accept();
}

void PatternPlot::keyPressEvent(QKeyEvent* event) {
    const QRect area = PlotArea();
    const double centre = (from_ + to_) / 2, half = (to_ - from_) / 2;
    switch (event->key()) {
        case Qt::Key_Home:
            FullView();
            return;
        case Qt::Key_Left:
            Pan(area.width() / 10.0);
            return;
        case Qt::Key_Right:
            Pan(-area.width() / 10.0);
            return;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomTo(centre - half / 1.5, centre + half / 1.5);
            return;
        case Qt::Key_Minus:
            ZoomTo(centre - half * 1.5, centre + half * 1.5);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void PatternPlot::contextMenuEvent(QContextMenuEvent* event) {
    if (!content_.CurrentScan()) return;
    const std::optional<std::size_t> peak = PeakNear(event->pos().x());
    QMenu menu(this);
    menu.setObjectName("PlotMenu");
    QAction* remove = menu.addAction(content_.removeCaption);
    remove->setEnabled(peak.has_value());
    QAction* full = menu.addAction(content_.fullViewCaption);
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == remove && peak) {
        emit RemoveRequested(*peak);
    } else if (chosen == full) {
        FullView();
    }
}

bool PatternPlot::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace dorvalix
