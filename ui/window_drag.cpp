#include "ui/window_drag.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace vq {

BodyDrag::BodyDrag(QWidget* body) : QObject(body), body_(body) {
    Watch(body);
}

void BodyDrag::Watch(QWidget* w) {
    watched_.append(w);
    w->installEventFilter(this);
}

bool BodyDrag::eventFilter(QObject* watched, QEvent* event) {
    if (!watched_.contains(watched)) return false;
    QWidget* window = body_->window();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton) return false;
        // The window manager moves the window itself where it can; otherwise
        // follow the mouse here.
        if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove()) return true;
        dragging_ = true;
        grabOffset_ = e->globalPosition().toPoint() - window->frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging_) return false;
        auto* e = static_cast<QMouseEvent*>(event);
        window->move(e->globalPosition().toPoint() - grabOffset_);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!dragging_) return false;
        dragging_ = false;
        return true;
    default:
        return false;
    }
}

} // namespace vq
