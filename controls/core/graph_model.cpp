#include "controls/core/graph_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vq {

namespace {

// Scheme 0: white axes, title and plot, cyan legends and labels, black
// background, yellow extra text, dark grey frame and grid.
constexpr GraphColours kScheme0{0xFFFFFF, 0x00FFFF, 0x00FFFF, 0xFFFFFF, 0xFFFFFF, 0x000000, 0xFFFF00, 0x505050};

constexpr std::uint32_t kSeriesColours[8] = {0x00FF00, 0xFF0000, 0x0000FF, 0xFFFF00,
                                             0xFFC0C0, 0x00FF00, 0x00FFFF, 0xFF00FF};

} // namespace

std::string TickText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4g", value);
    return buffer;
}

GraphModel::GraphModel() {
    colours = kScheme0;
    ApplyScales();
}

void GraphModel::Create(int l, int t, int w, int h, int scheme) {
    *this = GraphModel();
    SetColourScheme(scheme);
    left = std::max(l, 0);
    top = std::max(t, 0);
    width = std::max(w, kMinWidth);
    height = std::max(h, kMinHeight);
    ApplyScales();
}

void GraphModel::SetPosition(int l, int t, int w, int h) {
    if (l >= 0) left = l;
    if (t >= 0) top = t;
    if (w > 0) width = std::max(w, kMinWidth);
    if (h > 0) height = std::max(h, kMinHeight);
    ApplyScales();
}

void GraphModel::SetCharSize(int h, int w) {
    charHeight = std::max(h, 1);
    charWidth = std::max(w, 1);
    ApplyScales();
}

void GraphModel::ApplyScales() {
    SetXRange(xMin, xMax);
    SetYRange(yMin, yMax);
}

GraphRect GraphModel::Plot() const {
    return {left + 13 * charWidth, top + 4 * charHeight, width - 14 * charWidth, height - 7 * charHeight};
}

void GraphModel::SetXRange(double a, double b) {
    xMin = std::min(a, b);
    xMax = std::max(a, b);
    if (xMin == xMax) xMax += 0.1;
    const int plotWidth = Plot().width;
    xScale = autoScale ? plotWidth / (xMax - xMin) : 1.0;
    if (xMin < 0 && xMax > 0)
        yAxisX = int(13 * charWidth + std::fabs(xMin) * xScale);
    else if (xMax <= 0)
        yAxisX = width - charWidth;
    else
        yAxisX = 13 * charWidth;
}

void GraphModel::SetYRange(double a, double b) {
    yMin = std::min(a, b);
    yMax = std::max(a, b);
    if (yMin == yMax) yMax += 0.1;
    const int plotHeight = Plot().height;
    yScale = autoScale ? plotHeight / (yMax - yMin) : 1.0;
    if (yMin < 0 && yMax > 0)
        xAxisY = int(3 * charHeight + std::fabs(yMin) * yScale);
    else if (yMax <= 0)
        xAxisY = plotHeight + 3 * charHeight;
    else
        xAxisY = 3 * charHeight;
}

void GraphModel::SetColourScheme(int scheme) {
    (void)scheme; // the program has one scheme
    colours = kScheme0;
}

bool GraphModel::SetData(const GraphData* record) {
    if (!record || record->type >= 12 || record->style > 3) return false;
    data = record;
    title = record->title;
    xLegend = record->xLegend;
    yLegend = record->yLegend;
    if (record->type == kMultiSeriesPlot) extraText.clear();
    SetXRange(record->xMin, record->xMax);
    SetYRange(record->yMin, record->yMax);
    return true;
}

bool GraphModel::Map(double x, double y, int& px, int& py) const {
    if (!(x >= xMin && x <= xMax)) return false;
    y = std::clamp(y, yMin, yMax);
    const GraphRect p = Plot();
    px = int(p.left + (x - xMin) * xScale);
    py = int(p.Bottom() - (y - yMin) * yScale);
    return true;
}

GraphRect GraphModel::TitleBand() const {
    const GraphRect p = Plot();
    return {p.left, top + charHeight, p.width, charHeight};
}

GraphRect GraphModel::ExtraTextBand() const {
    const GraphRect p = Plot();
    return {p.left, p.top - 2 - charHeight, p.width, charHeight};
}

GraphRect GraphModel::XLegendBand() const {
    const GraphRect p = Plot();
    return {p.left, top + height - (2 * charHeight - 2), p.width, charHeight};
}

GraphRect GraphModel::YLegendBand() const {
    return {left + charWidth, top + 6 * charHeight, 11 * charWidth, height - 11 * charHeight};
}

std::vector<GraphLabel> GraphModel::XLabels() const {
    const GraphRect p = Plot();
    const int y = top + height - (3 * charHeight - 1);
    const double shift = frequencyLabels ? frequencyOffset : 0.0;
    std::vector<GraphLabel> labels;
    labels.push_back({TickText(xMin + shift), {p.left, y, 6 * charWidth, charHeight}, GraphLabel::Left});
    for (int i = 2; i <= 18; i += 2) {
        const int gx = p.left + i * p.width / kGridColumns;
        labels.push_back({TickText(xMin + i * (xMax - xMin) / kGridColumns + shift),
                          {gx - 2 * charWidth, y, 4 * charWidth, charHeight},
                          GraphLabel::Centre});
    }
    labels.push_back({TickText(xMax + shift), {p.Right() - 6 * charWidth, y, 6 * charWidth, charHeight},
                      GraphLabel::Right});
    return labels;
}

std::vector<GraphLabel> GraphModel::YLabels() const {
    const GraphRect p = Plot();
    std::vector<GraphLabel> labels;
    auto at = [&](int row, double value) {
        const int gy = p.Bottom() - row * p.height / kGridRows;
        labels.push_back({TickText(value), {left + 9 * charWidth, gy - charHeight / 2, 4 * charWidth, charHeight},
                          GraphLabel::Right});
    };
    at(kGridRows, yMax);
    for (int i = 1; i < kGridRows; ++i)
        at(i, yMin + i * (yMax - yMin) / kGridRows);
    at(0, yMin);
    return labels;
}

std::uint32_t GraphModel::SeriesColour(int index, int seriesCount) const {
    if (qOnly) {
        if (seriesCount == 1) return 0xFF0000;
        if (seriesCount == 2) return index == 0 ? 0x0000FF : 0xFFFF00;
    }
    return kSeriesColours[index % 8];
}

} // namespace vq
