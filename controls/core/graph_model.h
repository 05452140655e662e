// State of the plot control without any drawing: texts, font metrics, the
// control's rectangle, the data ranges with their scales and axis positions,
// the colours, the data record and the tick labels. The control (graph.h)
// paints from this; tests check it without a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vq {

struct GraphPoint {
    double x = 0, y = 0;
};

// The plot description, owned by the caller and read by the control.
struct GraphData {
    std::uint32_t type = 9;  // 9: several series of (x, y) pairs; 0..11 are valid types
    std::uint32_t style = 1; // 0 bars, 1 connected lines, 2 or 3 single pixels
    double xMin = -20, xMax = 20, yMin = -20, yMax = 60;
    std::string title, yLegend, xLegend;
    const GraphPoint* points = nullptr;
    std::int32_t count = 0; // pairs per series
    double param = 1;       // number of series
    double offset = 0;      // not used by type 9
};

constexpr std::uint32_t kMultiSeriesPlot = 9;

struct GraphRect {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
};

// Colours of a scheme, 0xRRGGBB.
struct GraphColours {
    std::uint32_t axes, yLegend, xLegend, title, plot, background, extraText, grid;
};

struct GraphLabel {
    std::string text;
    GraphRect band;
    enum Align { Left, Centre, Right } align = Centre;
};

class GraphModel {
  public:
    static constexpr int kMinWidth = 350, kMinHeight = 200;
    static constexpr int kGridColumns = 20, kGridRows = 8;

    std::string extraText = "Function Name (or extra text)";
    std::string title = "Graph Title goes here";
    std::string xLegend = "X Axis Legend Text here";
    std::string yLegend = "Y Axis Legend text  here";
    std::string fontName = "Courier";
    int fontSize = 8;
    int charHeight = 12, charWidth = 7; // replaced by the font's measured sizes
    int left = 0, top = 0, width = kMinWidth, height = kMinHeight;
    double xMin = -20, xMax = 20, yMin = -20, yMax = 60;
    double xScale = 1, yScale = 1;
    int yAxisX = 0, xAxisY = 0;
    bool gridOn = true;
    bool autoScale = true;
    bool yAxisAtLeft = true;
    GraphColours colours{};
    const GraphData* data = nullptr;
    // Set by the FFT page: X labels show value + offset in the frequency
    // domain; a single time trace of Q alone is drawn red.
    bool frequencyLabels = false;
    double frequencyOffset = 0;
    bool qOnly = false;

    GraphModel();

    // Defaults, then the scheme and the rectangle (negative left/top become
    // 0, at least 350 x 200).
    void Create(int left, int top, int width, int height, int scheme);
    // Negative left/top or a size <= 0 keep the old value.
    void SetPosition(int left, int top, int width, int height);
    void SetCharSize(int height, int width);
    void SetXRange(double a, double b);
    void SetYRange(double a, double b);
    void SetColourScheme(int scheme);
    // False (nothing changed) for type >= 12 or style > 3.
    bool SetData(const GraphData* record);
    void ApplyScales();

    GraphRect Control() const { return {left, top, width, height}; }
    GraphRect Plot() const;
    // Pixel of a data pair; false when x is outside the range (y is clamped).
    bool Map(double x, double y, int& px, int& py) const;

    GraphRect TitleBand() const;
    GraphRect ExtraTextBand() const;
    GraphRect XLegendBand() const;
    GraphRect YLegendBand() const;
    std::vector<GraphLabel> XLabels() const;
    std::vector<GraphLabel> YLabels() const;
    // Colour of series `index` of `seriesCount`.
    std::uint32_t SeriesColour(int index, int seriesCount) const;
};

// "%.4g".
std::string TickText(double value);

} // namespace vq
