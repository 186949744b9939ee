#include "Glyphs.h"

#include <QPainterPath>

#include <cmath>

namespace {

QPolygonF triangle(QPointF a, QPointF b, QPointF c) {
    return QPolygonF({a, b, c});
}

} // namespace

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& area, const QColor& colour, bool enabled) {
    const QColor red = enabled ? QColor(220, 40, 40) : QColor(128, 104, 104);
    const qreal s = std::min(area.width(), area.height());
    const QPointF c = area.center();
    const qreal u = s / 10.0; // one tenth of the glyph square
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, std::max<qreal>(1.2, u * 1.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto at = [&](qreal x, qreal y) { return QPointF(c.x() + x * u, c.y() + y * u); };
    switch (glyph) {
    case Glyph::None:
        break;
    case Glyph::Minimize:
        p.drawLine(at(-3, 2.5), at(3, 2.5));
        break;
    case Glyph::Maximize:
        p.drawRect(QRectF(at(-3, -3), at(3, 3)));
        break;
    case Glyph::Restore:
        p.drawRect(QRectF(at(-3, -1), at(1.5, 3)));
        p.drawPolyline(QPolygonF({at(-1, -1), at(-1, -3), at(3, -3), at(3, 1), at(1.5, 1)}));
        break;
    case Glyph::Close:
        p.drawLine(at(-3, -3), at(3, 3));
        p.drawLine(at(-3, 3), at(3, -3));
        break;
    case Glyph::Record:
        p.setPen(QPen(colour.lighter(130), u * 0.6));
        p.setBrush(red);
        p.drawEllipse(c, 3.6 * u, 3.6 * u);
        break;
    case Glyph::RecordStop:
        p.setPen(QPen(colour.lighter(130), u * 0.6));
        p.setBrush(red.lighter(105));
        p.drawEllipse(c, 3.8 * u, 3.8 * u);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(at(-1.5, -1.5), at(1.5, 1.5)), u * 0.4, u * 0.4);
        break;
    case Glyph::Camera: {
        p.drawRoundedRect(QRectF(at(-4, -2), at(4, 3.2)), u, u);
        p.drawLine(at(-1.5, -2), at(-0.8, -3.2));
        p.drawLine(at(-0.8, -3.2), at(1.4, -3.2));
        p.drawLine(at(1.4, -3.2), at(2, -2));
        p.drawEllipse(at(0, 0.6), 1.6 * u, 1.6 * u);
        break;
    }
    case Glyph::Open: {
        QPainterPath folder;
        folder.moveTo(at(-4, 3));
        folder.lineTo(at(-4, -2.5));
        folder.lineTo(at(-1.5, -2.5));
        folder.lineTo(at(-0.5, -1.5));
        folder.lineTo(at(4, -1.5));
        folder.lineTo(at(4, 3));
        folder.closeSubpath();
        p.drawPath(folder);
        break;
    }
    case Glyph::Menu:
        for (int i = -1; i <= 1; ++i)
            p.drawLine(at(-3, i * 2.2), at(3, i * 2.2));
        break;
    case Glyph::Settings:
        for (int i = 0; i < 3; ++i) {
            const qreal y = -2.6 + i * 2.6;
            p.drawLine(at(-3.5, y), at(3.5, y));
            p.setBrush(colour);
            p.drawEllipse(at(i == 1 ? 1.5 : -1.5, y), 0.9 * u, 0.9 * u);
            p.setBrush(Qt::NoBrush);
        }
        break;
    case Glyph::PaneRight:
    case Glyph::Right:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(-1.5, -3), at(2, 0), at(-1.5, 3)));
        break;
    case Glyph::PaneLeft:
    case Glyph::Left:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(1.5, -3), at(-2, 0), at(1.5, 3)));
        break;
    case Glyph::Up:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(-3, 1.5), at(0, -2), at(3, 1.5)));
        break;
    case Glyph::Down:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(-3, -1.5), at(0, 2), at(3, -1.5)));
        break;
    case Glyph::Speaker:
    case Glyph::SpeakerMuted: {
        p.setBrush(colour);
        p.drawPolygon(
            QPolygonF({at(-4, -1.2), at(-2.2, -1.2), at(0, -3.5), at(0, 3.5), at(-2.2, 1.2), at(-4, 1.2)}));
        p.setBrush(Qt::NoBrush);
        if (glyph == Glyph::Speaker) {
            p.drawArc(QRectF(at(-1.5, -2), at(2.5, 2)), -50 * 16, 100 * 16);
            p.drawArc(QRectF(at(-1.5, -3.6), at(4, 3.6)), -50 * 16, 100 * 16);
        } else {
            p.setPen(QPen(enabled ? QColor(235, 70, 70) : colour, pen.widthF()));
            p.drawLine(at(1.2, -1.8), at(4.2, 1.8));
            p.drawLine(at(1.2, 1.8), at(4.2, -1.8));
        }
        break;
    }
    case Glyph::Play:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(-2.2, -3.2), at(3.2, 0), at(-2.2, 3.2)));
        break;
    case Glyph::Backward:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(0, -3), at(-3.8, 0), at(0, 3)));
        p.drawPolygon(triangle(at(3.8, -3), at(0, 0), at(3.8, 3)));
        break;
    case Glyph::Forward:
        p.setBrush(colour);
        p.drawPolygon(triangle(at(0, -3), at(3.8, 0), at(0, 3)));
        p.drawPolygon(triangle(at(-3.8, -3), at(0, 0), at(-3.8, 3)));
        break;
    case Glyph::Stop:
        p.setBrush(colour);
        p.drawRect(QRectF(at(-2.6, -2.6), at(2.6, 2.6)));
        break;
    case Glyph::Pause:
        p.setBrush(colour);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(at(-2.8, -3), at(-0.8, 3)));
        p.drawRect(QRectF(at(0.8, -3), at(2.8, 3)));
        break;
    case Glyph::Star: {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = (i % 2 == 0 ? 3.8 : 1.6) * u;
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        }
        p.setBrush(colour);
        p.setPen(QPen(colour, u * 0.4));
        p.drawPolygon(star);
        break;
    }
    case Glyph::Power:
        p.drawArc(QRectF(at(-3.2, -3), at(3.2, 3.4)), 120 * 16, 300 * 16);
        p.drawLine(at(0, -3.8), at(0, -0.2));
        break;
    }
    p.restore();
}
