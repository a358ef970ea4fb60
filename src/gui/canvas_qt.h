// The structure picture on Qt: a canvas over QPainter that records into a
// QPicture (the windows' picture) or paints with a painter of the caller's
// (the sketcher's panel), and the picture's rendering to an image.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPicture>
#include <QString>
#include <string>

#include "depict/canvas.h"
#include "depict/depict.h"
#include "model/molecule.h"

namespace vuduzez {

class QtCanvas : public Canvas {
 public:
  // Records into Picture() between Begin and End.
  QtCanvas();
  // Paints with the caller's active painter, whose render hints it keeps;
  // Begin, End and SetSize do nothing.
  explicit QtCanvas(QPainter& painter);
  ~QtCanvas() override;
  QtCanvas(const QtCanvas&) = delete;
  QtCanvas& operator=(const QtCanvas&) = delete;

  void SetSize(int32_t width, int32_t height) override;
  void Begin() override;
  void End() override;
  void SetPenWidth(int32_t width) override;
  void SetPenSolid() override;
  void SetPenColor(CanvasColor color) override;
  void SetBrushColor(CanvasColor color) override;
  void SetFontFace(const std::string& face) override;
  void SetFontHeight(int32_t height) override;
  void SetFontBold(bool bold) override;
  void SetTextColor(CanvasColor color) override;
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void Polygon(const std::array<CanvasPoint, 3>& points) override;
  void TextOut(int32_t x, int32_t y, const std::string& text) override;

  // The recording, complete after End; its bounding rectangle is the whole
  // picture (0, 0, width, height), not just what was drawn.
  const QPicture& Picture() const { return picture_; }

 private:
  void ApplyFont();

  QPicture picture_;
  QPainter ownPainter_;
  QPainter& painter_;
  bool recording_ = true;
  QPen pen_;
  QColor brush_ = Qt::white;
  QColor text_ = Qt::black;
  QFont font_;
  int32_t fontHeight_ = 20;
  QPoint current_;
  QSize size_;
};

// Makes "Arial" resolve to its metric twin Liberation Sans. Called by
// DrawMoleculePicture; harmless to call again.
void UseLabelFontSubstitutes();

// Draws the molecule into a new picture. On RuntimeError nothing is returned,
// so the caller keeps the picture it showed before.
QPicture DrawMoleculePicture(Molecule& mol, int32_t width = kPictureWidth, int32_t penWidth = 1,
                             const std::string& aspectText = kPictureAspect,
                             const Highlight* highlight = nullptr);

// The picture on a white ground at its own size.
QImage PictureToImage(const QPicture& picture);

}  // namespace vuduzez
