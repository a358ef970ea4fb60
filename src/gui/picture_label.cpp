#include "gui/picture_label.h"

#include <QPainter>
#include <QPicture>
#include <algorithm>

namespace vuduzez {

PictureLabel::PictureLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QRectF PictureLabel::pictureRect() const {
  const QPicture p = picture();
  const QRect r = p.boundingRect();
  if (p.isNull() || r.isEmpty()) return {};
  const double s = std::min(width() / static_cast<double>(r.width()),
                            height() / static_cast<double>(r.height()));
  const QSizeF size(r.width() * s, r.height() * s);
  // Centred across, at the top as the original picture was.
  return {QPointF((width() - size.width()) / 2, 0), size};
}

void PictureLabel::paintEvent(QPaintEvent*) {
  const QPicture p = picture();
  const QRectF target = pictureRect();
  if (target.isEmpty()) return;
  const QRect r = p.boundingRect();
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(target.topLeft());
  painter.scale(target.width() / r.width(), target.height() / r.height());
  painter.drawPicture(-r.topLeft(), p);
}

}  // namespace vuduzez
