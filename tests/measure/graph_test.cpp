// The plot control: its range and geometry rules, and what it paints.
#include "controls/graph.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace vq;

namespace {

QImage Render(const GraphModel& m) {
    QImage image(m.left + m.width + 10, m.top + m.height + 10, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    QPainter p(&image);
    PaintGraph(p, m, QFont("Courier", 8));
    return image;
}

} // namespace

TEST(GraphModel, RangesPositionsAndData) {
    GraphModel m;
    m.Create(-5, 10, 100, 50, 0);
    EXPECT_EQ(m.left, 0);
    EXPECT_EQ(m.top, 10);
    EXPECT_EQ(m.width, 350);
    EXPECT_EQ(m.height, 200);
    m.SetPosition(-1, -1, 0, 500);
    EXPECT_EQ(m.left, 0);
    EXPECT_EQ(m.width, 350);
    EXPECT_EQ(m.height, 500);
    m.SetPosition(20, 30, 100, 100);
    EXPECT_EQ(m.width, 350);
    EXPECT_EQ(m.height, 200);

    m.SetCharSize(10, 6);
    const struct {
        double a, b, min, max;
        int yAxisX;
    } ranges[] = {{5, 5, 5, 5.1, 78}, {20, -20, -20, 20, 78 + 133}, {-30, -10, -30, -10, 350 - 6}};
    for (const auto& r : ranges) {
        m.SetXRange(r.a, r.b);
        EXPECT_DOUBLE_EQ(m.xMin, r.min);
        EXPECT_DOUBLE_EQ(m.xMax, r.max);
        EXPECT_DOUBLE_EQ(m.xScale, (350 - 84) / (r.max - r.min));
        EXPECT_EQ(m.yAxisX, r.yAxisX);
    }
    m.SetYRange(60, -20); // plot height 200 - 70
    EXPECT_EQ(m.xAxisY, 30 + int(20 * 130 / 80.0));

    // Mapping: y clamped into the range, x outside the range not drawn.
    m.SetXRange(-20, 20);
    int x = 0, y = 0;
    ASSERT_TRUE(m.Map(-20, 1000, x, y));
    EXPECT_EQ(x, m.Plot().left);
    EXPECT_EQ(y, m.Plot().top);
    ASSERT_TRUE(m.Map(20, -1000, x, y));
    EXPECT_EQ(y, m.Plot().Bottom());
    EXPECT_FALSE(m.Map(20.01, 0, x, y));

    // X labels of -20..20 every other grid line, plus the frequency offset.
    std::vector<std::string> texts;
    for (const auto& l : m.XLabels())
        texts.push_back(l.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"-20", "-16", "-12", "-8", "-4", "0", "4", "8", "12", "16", "20"}));
    m.frequencyLabels = true;
    m.frequencyOffset = 2412;
    EXPECT_EQ(m.XLabels().front().text, "2392");
    EXPECT_EQ(m.XLabels().back().text, "2432");
    EXPECT_EQ(m.YLabels().front().text, "60");
    EXPECT_EQ(m.YLabels()[1].text, "-10");
    EXPECT_EQ(m.YLabels().back().text, "-20");
    EXPECT_EQ(TickText(19.921875), "19.92");

    // A rejected record changes nothing; an accepted one applies texts and ranges.
    GraphData bad;
    bad.type = 12;
    bad.title = "x";
    EXPECT_FALSE(m.SetData(&bad));
    bad.type = 9;
    bad.style = 4;
    EXPECT_FALSE(m.SetData(&bad));
    EXPECT_EQ(m.title, "Graph Title goes here");
    EXPECT_EQ(m.data, nullptr);
    GraphData good;
    good.title = "T";
    good.xMin = 0;
    good.xMax = 200;
    EXPECT_TRUE(m.SetData(&good));
    EXPECT_EQ(m.title, "T");
    EXPECT_EQ(m.extraText, "");
    EXPECT_DOUBLE_EQ(m.xMax, 200);

    // Series colours and the Q-only override.
    EXPECT_EQ(m.SeriesColour(0, 2), 0x00FF00u);
    EXPECT_EQ(m.SeriesColour(1, 2), 0xFF0000u);
    EXPECT_EQ(m.SeriesColour(9, 10), 0xFF0000u);
    m.qOnly = true;
    EXPECT_EQ(m.SeriesColour(0, 1), 0xFF0000u);
    EXPECT_EQ(m.SeriesColour(0, 2), 0x0000FFu);
    EXPECT_EQ(m.SeriesColour(1, 2), 0xFFFF00u);
}

TEST(GraphPaint, GridAxesAndPointsLandWhereTheModelSays) {
    GraphModel m;
    m.Create(10, 20, 870, 450, 0);
    m.SetCharSize(12, 7);
    const GraphPoint points[] = {{-10, 1000}, {0, 0}, {30, 0}, {10, -1000}};
    GraphData d;
    d.style = 2; // single pixels
    d.points = points;
    d.count = 4;
    d.param = 1;
    ASSERT_TRUE(m.SetData(&d));
    const QImage image = Render(m);
    const GraphRect plot = m.Plot();
    const QRgb green = qRgb(0, 255, 0), grid = qRgb(0x50, 0x50, 0x50);

    // Outside the control nothing is painted; inside, the background is black.
    EXPECT_EQ(image.pixel(5, 5), QColor(Qt::darkRed).rgb());
    EXPECT_EQ(image.pixel(12, 22), qRgb(0, 0, 0));
    // A y above the range lands on the top edge, below on the bottom edge; x outside is dropped.
    int x = 0, y = 0;
    m.Map(-10, 1000, x, y);
    EXPECT_EQ(y, plot.top);
    EXPECT_EQ(image.pixel(x, y), green);
    m.Map(10, -1000, x, y);
    EXPECT_EQ(image.pixel(x, y), green);
    m.Map(0, 0, x, y);
    EXPECT_EQ(image.pixel(x, y), green);

    // 19 vertical grid lines between the frame's sides, 7 horizontal ones.
    auto runs = [&](bool vertical) {
        int count = 0;
        const int limit = vertical ? plot.width : plot.height;
        for (int k = 1; k < limit; ++k) {
            const int px = vertical ? plot.left + k : plot.left + plot.width / 40;
            const int py = vertical ? plot.top + plot.height / 16 : plot.top + k;
            count += image.pixel(px, py) == grid;
        }
        return count;
    };
    EXPECT_EQ(runs(true), 19);
    EXPECT_EQ(runs(false), 7);
    // The axes (white) along the bottom and the left edge of the plot.
    EXPECT_EQ(image.pixel(plot.left + 3, plot.Bottom()), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(plot.left, plot.top + 3), qRgb(255, 255, 255));

    // Lines: two series, the second drawn in red from its first point on.
    const GraphPoint lines[] = {{-20, 0}, {20, 0}, {-20, 40}, {20, 40}};
    d.style = 1;
    d.points = lines;
    d.count = 2;
    d.param = 2;
    ASSERT_TRUE(m.SetData(&d));
    const QImage twoSeries = Render(m);
    m.Map(0, 40, x, y);
    EXPECT_EQ(twoSeries.pixel(x, y), qRgb(255, 0, 0));
    m.Map(0, 0, x, y);
    EXPECT_EQ(twoSeries.pixel(x, y), green);
}
