// The drawing surface of the structure pictures: exactly the operations the
// drawing needs, in picture pixels (origin top left, y down).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vuduzez {

// Highlight marks the atoms and bonds of a search match.
enum class CanvasColor { Black, White, Highlight };

// The highlight colour as RGB.
inline constexpr uint32_t kHighlightRgb = 0xD32F2F;

struct CanvasPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const CanvasPoint&) const = default;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Picture size; set before Begin.
  virtual void SetSize(int32_t width, int32_t height) = 0;
  // Recording starts at Begin and the picture is complete after End. A new
  // canvas has a white brush.
  virtual void Begin() = 0;
  virtual void End() = 0;

  // The pen is always solid: the only style the drawing uses.
  virtual void SetPenWidth(int32_t width) = 0;
  virtual void SetPenSolid() = 0;
  virtual void SetPenColor(CanvasColor color) = 0;
  virtual void SetBrushColor(CanvasColor color) = 0;

  virtual void SetFontFace(const std::string& face) = 0;
  // Cell height in pixels (ascent plus descent), not the em size.
  virtual void SetFontHeight(int32_t height) = 0;
  virtual void SetFontBold(bool bold) = 0;
  // Colour of the text itself (black until set).
  virtual void SetTextColor(CanvasColor color) = 0;

  virtual void MoveTo(int32_t x, int32_t y) = 0;
  // A line from the current point; the end becomes the current point.
  virtual void LineTo(int32_t x, int32_t y) = 0;
  // Filled with the brush colour and outlined with the pen.
  virtual void Polygon(const std::array<CanvasPoint, 3>& points) = 0;
  // UTF-8 text whose cell has its top left corner at (x, y); the cell is
  // painted with the brush colour first (opaque text).
  virtual void TextOut(int32_t x, int32_t y, const std::string& text) = 0;
};

// Metrics of the label font, "Arial" bold (Liberation Sans Bold has the same
// metrics), so that a canvas without a font engine can size text cells.
struct LabelFontMetrics {
  long double em;      // em size in pixels for a cell of the given height
  long double ascent;  // baseline below the top of the cell
};
LabelFontMetrics LabelFontFor(int32_t cellHeight);
// Advance width in pixels of a UTF-8 text at that cell height.
long double LabelTextWidth(const std::string& text, int32_t cellHeight);

}  // namespace vuduzez
