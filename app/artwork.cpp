#include "app/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace vq {

namespace {

const QColor kDeepBlue(18, 52, 98);
const QColor kTeal(0, 150, 160);
const QColor kAmber(245, 176, 40);

// Chip body with pins, centred in `r`.
void DrawChip(QPainter& p, const QRectF& r, const QColor& body, const QColor& pins) {
    const qreal pin = r.width() / 10.0;
    p.setPen(Qt::NoPen);
    p.setBrush(pins);
    for (int i = 0; i < 4; ++i) {
        const qreal off = r.width() * (0.2 + 0.2 * i) - pin / 2;
        p.drawRect(QRectF(r.left() + off, r.top() - pin * 1.2, pin, pin * 1.2));
        p.drawRect(QRectF(r.left() + off, r.bottom(), pin, pin * 1.2));
        p.drawRect(QRectF(r.left() - pin * 1.2, r.top() + off, pin * 1.2, pin));
        p.drawRect(QRectF(r.right(), r.top() + off, pin * 1.2, pin));
    }
    p.setBrush(body);
    p.drawRoundedRect(r, r.width() * 0.12, r.width() * 0.12);
}

// Concentric arcs opening upwards from `centre`.
void DrawWaves(QPainter& p, const QPointF& centre, qreal step, int count, qreal width, const QColor& c) {
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= count; ++i) {
        QColor col = c;
        col.setAlphaF(1.0 - 0.22 * (i - 1));
        p.setPen(QPen(col, width, Qt::SolidLine, Qt::RoundCap));
        const qreal rad = step * i;
        p.drawArc(QRectF(centre.x() - rad, centre.y() - rad, 2 * rad, 2 * rad), 45 * 16, 90 * 16);
    }
}

} // namespace

QPixmap ApplicationIconPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient bg(0, 0, 0, s);
    bg.setColorAt(0, kTeal);
    bg.setColorAt(1, kDeepBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    DrawChip(p, QRectF(s * 0.30, s * 0.50, s * 0.40, s * 0.34), QColor(235, 240, 245), kAmber);
    DrawWaves(p, QPointF(s * 0.5, s * 0.52), s * 0.13, 3, qMax<qreal>(1.0, s * 0.055), Qt::white);
    return pm;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(ApplicationIconPixmap(size));
    return icon;
}

QPixmap AboutBanner(int width, int height) {
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, width, height);
    bg.setColorAt(0, kDeepBlue);
    bg.setColorAt(1, kTeal);
    p.fillRect(pm.rect(), bg);

    // A faint spectrum along the bottom edge.
    QPainterPath trace;
    trace.moveTo(0, height * 0.92);
    for (int x = 0; x <= width; x += 4) {
        const qreal t = qreal(x) / width;
        const qreal bump = qExp(-qPow((t - 0.72) * 9.0, 2)) * 0.45 + qExp(-qPow((t - 0.86) * 14.0, 2)) * 0.25;
        trace.lineTo(x, height * (0.92 - bump) + ((x / 4) % 3) * 0.8);
    }
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);

    const qreal chip = height * 0.42;
    const QRectF chipRect(height * 0.32, height * 0.42, chip, chip * 0.8);
    DrawChip(p, chipRect, QColor(235, 240, 245), kAmber);
    DrawWaves(p, QPointF(chipRect.center().x(), chipRect.top() + 2), chip * 0.28, 3,
              qMax<qreal>(2.0, height * 0.03), Qt::white);

    QFont title(p.font());
    title.setBold(true);
    title.setPixelSize(int(height * 0.30));
    p.setFont(title);
    p.setPen(Qt::white);
    const qreal textLeft = chipRect.right() + height * 0.35;
    p.drawText(QRectF(textLeft, height * 0.12, width - textLeft, height * 0.42),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VQ9447 QA"));
    QFont sub(p.font());
    sub.setBold(false);
    sub.setPixelSize(int(height * 0.14));
    p.setFont(sub);
    p.setPen(QColor(220, 235, 240));
    p.drawText(QRectF(textLeft, height * 0.52, width - textLeft, height * 0.22),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Wi-Fi SoC bench and quality assurance"));
    return pm;
}

} // namespace vq
