#include "controls/graph.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace vq {

namespace {

QColor Rgb(std::uint32_t c) {
    return QColor(int(c >> 16) & 0xFF, int(c >> 8) & 0xFF, int(c) & 0xFF);
}

QRect Qt(const GraphRect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

// One text band: filled with the background, the text shortened with an
// ellipsis when it does not fit.
void Band(QPainter& p, const GraphModel& m, const GraphRect& band, const std::string& text, std::uint32_t colour) {
    const QRect r = Qt(band);
    p.fillRect(r, Rgb(m.colours.background));
    p.setPen(Rgb(colour));
    const QString shown = p.fontMetrics().elidedText(QString::fromStdString(text), ::Qt::ElideRight, r.width());
    p.drawText(r, ::Qt::AlignCenter | ::Qt::TextSingleLine, shown);
}

void Label(QPainter& p, const GraphLabel& label) {
    int flags = ::Qt::AlignVCenter | ::Qt::TextDontClip;
    flags |= label.align == GraphLabel::Left ? ::Qt::AlignLeft
             : label.align == GraphLabel::Right ? ::Qt::AlignRight
                                                : ::Qt::AlignHCenter;
    p.drawText(Qt(label.band), flags, QString::fromStdString(label.text));
}

void PaintSeries(QPainter& p, const GraphModel& m) {
    const GraphData* d = m.data;
    if (!d || !d->points || d->count <= 0) return;
    const GraphRect plot = m.Plot();
    const int series = d->type == kMultiSeriesPlot ? std::max(int(d->param), 0) : 1;
    p.setClipRect(QRect(plot.left, plot.top, plot.width + 1, plot.height + 1));
    for (int s = 0; s < series; ++s) {
        const QColor colour = d->type == kMultiSeriesPlot ? Rgb(m.SeriesColour(s, series)) : Rgb(m.colours.plot);
        p.setPen(QPen(colour, 1));
        const GraphPoint* pts = d->points + std::size_t(s) * std::size_t(d->count);
        bool havePrevious = false;
        QPoint previous;
        for (int k = 0; k < d->count; ++k) {
            int x = 0, y = 0;
            if (!m.Map(pts[k].x, pts[k].y, x, y)) continue;
            if (d->style == 0) {
                // Bar from the point to the line y = 0, 5 pixels wide, cut at the plot's edges.
                int zeroX = 0, zeroY = 0;
                m.Map(m.xMin, 0.0, zeroX, zeroY);
                const int right = std::min(x + 5, plot.Right());
                const QRect bar = QRect(QPoint(x, std::min(y, zeroY)), QPoint(right - 1, std::max(y, zeroY)));
                p.fillRect(bar, colour);
            } else if (d->style == 1) {
                const QPoint here(x, y);
                p.drawLine(havePrevious ? previous : here, here);
                previous = here;
                havePrevious = true;
            } else {
                p.drawPoint(x, y);
            }
        }
    }
    p.setClipping(false);
}

} // namespace

void PaintGraph(QPainter& p, const GraphModel& m, const QFont& font) {
    p.save();
    p.setFont(font);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBackgroundMode(::Qt::TransparentMode);
    const GraphRect c = m.Control();
    p.fillRect(Qt(c), Rgb(m.colours.background));

    const GraphRect plot = m.Plot();
    p.setPen(QPen(Rgb(m.colours.grid), 1));
    p.drawRect(plot.left, plot.top, plot.width, plot.height);
    if (m.gridOn) {
        for (int i = 1; i < GraphModel::kGridColumns; ++i) {
            const int x = plot.left + i * plot.width / GraphModel::kGridColumns;
            p.drawLine(x, plot.top, x, plot.Bottom());
        }
        for (int i = 1; i < GraphModel::kGridRows; ++i) {
            const int y = plot.top + i * plot.height / GraphModel::kGridRows;
            p.drawLine(plot.left, y, plot.Right(), y);
        }
    }
    p.setPen(QPen(Rgb(m.colours.axes), 1));
    p.drawLine(plot.left, plot.Bottom(), plot.Right(), plot.Bottom());
    const int axisX = m.yAxisAtLeft ? plot.left : m.left + m.yAxisX;
    p.drawLine(axisX, plot.top, axisX, plot.Bottom());

    Band(p, m, m.TitleBand(), m.title, m.colours.title);
    Band(p, m, m.ExtraTextBand(), m.extraText, m.colours.extraText);
    Band(p, m, m.XLegendBand(), m.xLegend, m.colours.xLegend);

    // The Y legend word-wraps in its column; what does not fit ends in an ellipsis.
    const QRect legend = Qt(m.YLegendBand());
    p.fillRect(legend, Rgb(m.colours.background));
    p.setPen(Rgb(m.colours.yLegend));
    QString text = QString::fromStdString(m.yLegend);
    const QFontMetrics fm = p.fontMetrics();
    const int flags = ::Qt::AlignHCenter | ::Qt::AlignTop | ::Qt::TextWordWrap;
    while (text.size() > 1 && fm.boundingRect(legend, flags, text).height() > legend.height())
        text = text.left(text.size() - 2) + QChar(0x2026);
    p.drawText(legend, flags, text);

    p.setPen(Rgb(m.colours.xLegend));
    for (const GraphLabel& label : m.XLabels())
        Label(p, label);
    p.setPen(Rgb(m.colours.yLegend));
    for (const GraphLabel& label : m.YLabels())
        Label(p, label);

    PaintSeries(p, m);
    p.restore();
}

CGraph::CGraph() {
    SetFont(QString::fromStdString(model_.fontName), model_.fontSize);
}

CGraph::~CGraph() = default;

void CGraph::Create(QWidget* target, int left, int top, int width, int height, int scheme) {
    target_ = target;
    model_.Create(left, top, width, height, scheme);
    SetFont(QString::fromStdString(model_.fontName), model_.fontSize);
    Redraw();
}

void CGraph::SetPosition(int left, int top, int width, int height) {
    const GraphRect old = model_.Control();
    model_.SetPosition(left, top, width, height);
    Invalidate(old);
    Redraw();
}

void CGraph::SetFont(const QString& name, int points) {
    font_ = QFont(name, points);
    font_.setStyleHint(QFont::TypeWriter);
    model_.fontName = name.toStdString();
    model_.fontSize = points;
    const QFontMetrics fm(font_);
    model_.SetCharSize(fm.height(), fm.averageCharWidth());
}

void CGraph::SetXRange(double a, double b) {
    model_.SetXRange(a, b);
}

void CGraph::SetYRange(double a, double b) {
    model_.SetYRange(a, b);
}

void CGraph::SetColourScheme(int scheme, bool redraw) {
    model_.SetColourScheme(scheme);
    if (redraw) Redraw();
}

void CGraph::SetTitle(const std::string& text) {
    model_.title = text;
    Invalidate(model_.TitleBand());
}

void CGraph::SetXLegend(const std::string& text) {
    model_.xLegend = text;
    Invalidate(model_.XLegendBand());
}

void CGraph::SetYLegend(const std::string& text) {
    model_.yLegend = text;
    Invalidate(model_.YLegendBand());
}

void CGraph::SetExtraText(const std::string& text) {
    model_.extraText = text;
    Invalidate(model_.ExtraTextBand());
}

int CGraph::SetData(const GraphData* data) {
    if (!model_.SetData(data)) return 0;
    Redraw();
    return 1;
}

void CGraph::Redraw() {
    Invalidate(model_.Control());
}

void CGraph::Paint(QPainter& painter) const {
    if (!target_) return;
    PaintGraph(painter, model_, font_);
}

void CGraph::SetFrequencyLabels(bool on, double offsetMHz) {
    model_.frequencyLabels = on;
    model_.frequencyOffset = offsetMHz;
}

void CGraph::Invalidate(const GraphRect& rect) {
    if (target_) target_->update(Qt(rect));
}

} // namespace vq
