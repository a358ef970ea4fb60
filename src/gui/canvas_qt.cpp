#include "gui/canvas_qt.h"

#include <QFontMetricsF>
#include <QPoint>
#include <QRect>
#include <QRectF>

namespace vuduzez {

namespace {

QColor ToQColor(CanvasColor c) {
  switch (c) {
    case CanvasColor::Black:
      return Qt::black;
    case CanvasColor::White:
      return Qt::white;
    case CanvasColor::Highlight:
      return QColor::fromRgb(kHighlightRgb);
  }
  return Qt::black;
}

}  // namespace

void UseLabelFontSubstitutes() {
  if (!QFont::substitutes("Arial").contains("Liberation Sans")) {
    QFont::insertSubstitution("Arial", "Liberation Sans");
  }
}

QtCanvas::QtCanvas()
    : painter_(ownPainter_), pen_(Qt::black, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) {
  font_.setFamily("Arial");
}

QtCanvas::QtCanvas(QPainter& painter)
    : painter_(painter),
      recording_(false),
      pen_(Qt::black, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) {
  UseLabelFontSubstitutes();
  font_.setFamily("Arial");
  painter_.setPen(pen_);
  painter_.setBrush(brush_);
  ApplyFont();
}

QtCanvas::~QtCanvas() {
  if (recording_ && ownPainter_.isActive()) ownPainter_.end();
}

void QtCanvas::SetSize(int32_t width, int32_t height) { size_ = QSize(width, height); }

void QtCanvas::Begin() {
  if (!recording_) return;
  painter_.begin(&picture_);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setPen(pen_);
  painter_.setBrush(brush_);
  ApplyFont();
}

void QtCanvas::End() {
  if (!recording_) return;
  painter_.end();
  picture_.setBoundingRect(QRect(QPoint(0, 0), size_));
}

void QtCanvas::SetPenWidth(int32_t width) {
  pen_.setWidth(width);
  painter_.setPen(pen_);
}

void QtCanvas::SetPenSolid() {
  pen_.setStyle(Qt::SolidLine);
  painter_.setPen(pen_);
}

void QtCanvas::SetPenColor(CanvasColor color) {
  pen_.setColor(ToQColor(color));
  painter_.setPen(pen_);
}

void QtCanvas::SetBrushColor(CanvasColor color) {
  brush_ = ToQColor(color);
  painter_.setBrush(brush_);
}

void QtCanvas::SetFontFace(const std::string& face) {
  font_.setFamily(QString::fromStdString(face));
  ApplyFont();
}

void QtCanvas::SetFontHeight(int32_t height) {
  fontHeight_ = height;
  ApplyFont();
}

void QtCanvas::SetTextColor(CanvasColor color) { text_ = ToQColor(color); }

void QtCanvas::SetFontBold(bool bold) {
  font_.setBold(bold);
  ApplyFont();
}

// The height asked for is the text cell (ascent plus descent); Qt sizes fonts
// by the em.
void QtCanvas::ApplyFont() {
  font_.setPixelSize(std::max(1, DepictRound(LabelFontFor(fontHeight_).em)));
  if (painter_.isActive()) painter_.setFont(font_);
}

void QtCanvas::MoveTo(int32_t x, int32_t y) { current_ = QPoint(x, y); }

void QtCanvas::LineTo(int32_t x, int32_t y) {
  const QPoint to(x, y);
  painter_.drawLine(current_, to);
  current_ = to;
}

void QtCanvas::Polygon(const std::array<CanvasPoint, 3>& p) {
  const QPoint points[3] = {{p[0].x, p[0].y}, {p[1].x, p[1].y}, {p[2].x, p[2].y}};
  painter_.drawPolygon(points, 3);
}

void QtCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  const QString s = QString::fromStdString(text);
  const QFontMetricsF metrics(font_);
  painter_.fillRect(QRectF(x, y, metrics.horizontalAdvance(s), fontHeight_), brush_);
  const QPen pen = painter_.pen();
  painter_.setPen(text_);  // the text colour, whatever the pen
  painter_.drawText(QPointF(x, y + DepictRound(LabelFontFor(fontHeight_).ascent)), s);
  painter_.setPen(pen);
}

QPicture DrawMoleculePicture(Molecule& mol, int32_t width, int32_t penWidth,
                             const std::string& aspectText, const Highlight* highlight) {
  UseLabelFontSubstitutes();
  QtCanvas canvas;
  DepictState st;
  DrawMolecule(mol, width, penWidth, aspectText, canvas, st, nullptr, highlight);
  return canvas.Picture();
}

QImage PictureToImage(const QPicture& picture) {
  const QRect r = picture.boundingRect();
  QImage image(r.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  // Same resolution as the recording, so that replaying does not rescale text.
  image.setDotsPerMeterX(qRound(picture.logicalDpiX() / 0.0254));
  image.setDotsPerMeterY(qRound(picture.logicalDpiY() / 0.0254));
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.drawPicture(-r.topLeft(), picture);
  painter.end();
  return image;
}

}  // namespace vuduzez
