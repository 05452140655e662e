// Plot control: frame, grid, axes, title, extra text line, legends, tick
// labels and data series drawn onto a rectangle of a window the page owns.
// It is not a widget: the page calls Paint() from its paint handler, and the
// setters ask the target window to repaint what changed.
#pragma once

#include "controls/core/graph_model.h"

#include <QFont>
#include <QPointer>
#include <QString>

class QPainter;
class QWidget;

namespace vq {

// Draws the whole control from its state and data, in the order background,
// frame and grid, axes, title, extra text, X legend, Y legend, X labels,
// Y labels, data. No window needed: tests paint into a QImage.
void PaintGraph(QPainter& painter, const GraphModel& model, const QFont& font);

class CGraph {
  public:
    CGraph();
    virtual ~CGraph();

    void Create(QWidget* target, int left, int top, int width, int height, int scheme = 0);
    void SetPosition(int left, int top, int width, int height);
    void SetFont(const QString& name, int points);
    void SetXRange(double a, double b);
    void SetYRange(double a, double b);
    void SetColourScheme(int scheme, bool redraw);
    void SetTitle(const std::string& text);
    void SetXLegend(const std::string& text);
    void SetYLegend(const std::string& text);
    void SetExtraText(const std::string& text);
    // 0 when rejected (type >= 12, style > 3: nothing changes), else 1.
    int SetData(const GraphData* data);
    // Asks the target for a repaint of the whole control.
    void Redraw();
    // Draws onto the target (from its paint handler); nothing without a target.
    void Paint(QPainter& painter) const;

    void SetFrequencyLabels(bool on, double offsetMHz);
    void SetQOnly(bool on) { model_.qOnly = on; }

    const GraphModel& Model() const { return model_; }
    const QFont& Font() const { return font_; }

  private:
    void Invalidate(const GraphRect& rect);

    GraphModel model_;
    QFont font_;
    QPointer<QWidget> target_;
};

} // namespace vq
