// Lets a window be moved by a press anywhere on a widget's body, as if the
// title bar had been hit. Presses on buttons and other controls stay theirs:
// only presses that reach the watched widget itself move the window.
#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class QWidget;

namespace vq {

class BodyDrag : public QObject {
    Q_OBJECT
  public:
    // Watches `body` and moves its top-level window.
    explicit BodyDrag(QWidget* body);
    // Also treat presses on `w` (e.g. a frame that keeps its presses) as body presses.
    void Watch(QWidget* w);
    bool Dragging() const { return dragging_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* body_;
    QList<QObject*> watched_;
    bool dragging_ = false;
    QPoint grabOffset_; // press point relative to the window's top-left corner
};

} // namespace vq
