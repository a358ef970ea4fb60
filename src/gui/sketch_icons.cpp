#include "gui/sketch_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "sketch/sketch.h"

namespace vuduzez {

QColor ElementColour(const std::string& symbol) {
  if (symbol == "N") return QColor(30, 60, 220);
  if (symbol == "O") return QColor(210, 20, 20);
  if (symbol == "S") return QColor(170, 130, 0);
  if (symbol == "P") return QColor(220, 110, 0);
  if (symbol == "F" || symbol == "Cl") return QColor(20, 150, 20);
  if (symbol == "Br") return QColor(150, 30, 30);
  if (symbol == "I") return QColor(120, 0, 160);
  return Qt::black;
}

namespace {

QIcon MakeIcon(const std::function<void(QPainter&)>& paint) {
  QIcon icon;
  for (int size : {20, 40}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 20.0, size / 20.0);
    p.setPen(QPen(QColor(25, 25, 25), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    paint(p);
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

QIcon SelectIcon() {
  return MakeIcon([](QPainter& p) {
    QPen pen = p.pen();
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.2);
    p.setPen(pen);
    p.drawRect(QRectF(3, 3, 14, 14));
  });
}

QIcon EraserIcon() {
  return MakeIcon([](QPainter& p) {
    p.translate(10, 10);
    p.rotate(-40);
    p.drawRoundedRect(QRectF(-7.5, -4, 15, 8), 1.5, 1.5);
    p.setBrush(QColor(25, 25, 25));
    p.drawRoundedRect(QRectF(-7.5, -4, 6, 8), 1.5, 1.5);
  });
}

// One, two or three parallel diagonal lines.
QIcon BondIcon(int lines) {
  return MakeIcon([lines](QPainter& p) {
    const double step = 2.6;
    const double first = -(lines - 1) * step / 2;
    for (int i = 0; i < lines; ++i) {
      const double o = (first + i * step) / std::numbers::sqrt2;
      p.drawLine(QPointF(4 + o, 16 + o), QPointF(16 + o, 4 + o));
    }
  });
}

QIcon WedgeIcon(bool hashed) {
  return MakeIcon([hashed](QPainter& p) {
    if (!hashed) {
      p.setBrush(QColor(25, 25, 25));
      p.drawPolygon(QPolygonF({QPointF(4, 16), QPointF(14.2, 3.6), QPointF(16.4, 5.8)}));
      return;
    }
    p.setPen(QPen(QColor(25, 25, 25), 1.2));
    for (int k = 1; k <= 5; ++k) {
      const double t = k / 5.0;
      const QPointF c(4 + 11.3 * t, 16 - 11.3 * t);
      const QPointF n(2.0 * t, 2.0 * t);
      p.drawLine(c + n, c - n);
    }
  });
}

QIcon FitIcon() {
  return MakeIcon([](QPainter& p) {
    for (int sx : {-1, 1}) {
      for (int sy : {-1, 1}) {
        const QPointF c(10 + sx * 7, 10 + sy * 7);
        p.drawLine(c, c - QPointF(sx * 4, 0));
        p.drawLine(c, c - QPointF(0, sy * 4));
      }
    }
    p.drawEllipse(QPointF(10, 10), 2.5, 2.5);
  });
}

QIcon ClearIcon() {
  return MakeIcon([](QPainter& p) {
    p.drawRect(QRectF(4, 3, 12, 14));
    p.drawLine(QPointF(7, 7), QPointF(13, 13));
    p.drawLine(QPointF(13, 7), QPointF(7, 13));
  });
}

QIcon RingIcon(int size, bool aromatic) {
  return MakeIcon([=](QPainter& p) {
    std::vector<SketchPoint> pts =
        RingPointsAround({10, 10}, size, 2 * 7.5 * std::sin(std::numbers::pi / size));
    QPolygonF poly;
    for (const SketchPoint& v : pts) poly << QPointF(v.x, 20 - v.y);
    p.drawPolygon(poly);
    if (aromatic) {
      for (int k = 0; k < size; k += 2) {
        const QPointF a = poly[k] + (QPointF(10, 10) - poly[k]) * 0.28;
        const QPointF b = poly[(k + 1) % size] + (QPointF(10, 10) - poly[(k + 1) % size]) * 0.28;
        p.drawLine(a, b);
      }
    }
  });
}

QIcon CurvedArrowIcon(bool mirrored) {
  return MakeIcon([=](QPainter& p) {
    if (mirrored) {
      p.translate(20, 0);
      p.scale(-1, 1);
    }
    QPainterPath arc;
    arc.arcMoveTo(QRectF(4.5, 5, 11, 11), 200);
    arc.arcTo(QRectF(4.5, 5, 11, 11), 200, -220);
    p.drawPath(arc);
    const QPointF tip = arc.pointAtPercent(0);
    p.drawLine(tip, tip + QPointF(-0.5, -4.2));
    p.drawLine(tip, tip + QPointF(3.8, -1.2));
  });
}

QIcon ChargeIcon(bool plus) {
  return MakeIcon([=](QPainter& p) {
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
    if (plus) p.drawLine(QPointF(10, 6.5), QPointF(10, 13.5));
  });
}

}  // namespace vuduzez
