// A canvas that writes an SVG document: black lines on a white ground, labels
// in "Arial" bold with white text cells, as the windows show the picture.
#pragma once

#include <string>

#include "depict/canvas.h"

namespace vuduzez {

class SvgCanvas : public Canvas {
 public:
  void SetSize(int32_t width, int32_t height) override;
  void Begin() override;
  void End() override;
  void SetPenWidth(int32_t width) override { penWidth_ = width; }
  void SetPenSolid() override {}
  void SetPenColor(CanvasColor color) override { pen_ = color; }
  void SetBrushColor(CanvasColor color) override { brush_ = color; }
  void SetFontFace(const std::string& face) override { face_ = face; }
  void SetFontHeight(int32_t height) override { fontHeight_ = height; }
  void SetFontBold(bool bold) override { bold_ = bold; }
  void SetTextColor(CanvasColor color) override { text_ = color; }
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void Polygon(const std::array<CanvasPoint, 3>& points) override;
  void TextOut(int32_t x, int32_t y, const std::string& text) override;

  // The document; complete after End.
  const std::string& Svg() const { return svg_; }

 private:
  std::string svg_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t penWidth_ = 1;
  CanvasColor pen_ = CanvasColor::Black;
  CanvasColor brush_ = CanvasColor::White;
  CanvasColor text_ = CanvasColor::Black;
  std::string face_ = "Arial";
  int32_t fontHeight_ = 20;
  bool bold_ = false;
  CanvasPoint current_;
};

}  // namespace vuduzez
