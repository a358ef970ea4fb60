// A canvas that writes one text line per operation, for tests and for
// `vuduzez-cli draw --ops`:
//   size W H | pen WIDTH | font HEIGHT | brush black|white | moveto X Y |
//   lineto X Y | polygon X1 Y1 X2 Y2 X3 Y3 | text X Y TEXT |
//   pencolor C | textcolor C   (C: black, white, highlight)
// Every font height and brush colour set is written; the pen width only when
// it changes (the drawing resets it after every plain line), pen and text
// colours only when they change from black (only highlights do). Face and
// style never change and are not written.
#pragma once

#include <string>
#include <vector>

#include "depict/canvas.h"

namespace vuduzez {

class RecordingCanvas : public Canvas {
 public:
  void SetSize(int32_t width, int32_t height) override;
  void Begin() override {}
  void End() override {}
  void SetPenWidth(int32_t width) override;
  void SetPenSolid() override {}
  void SetPenColor(CanvasColor color) override;
  void SetBrushColor(CanvasColor color) override;
  void SetFontFace(const std::string&) override {}
  void SetFontHeight(int32_t height) override;
  void SetFontBold(bool) override {}
  void SetTextColor(CanvasColor color) override;
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void Polygon(const std::array<CanvasPoint, 3>& points) override;
  void TextOut(int32_t x, int32_t y, const std::string& text) override;

  // Every line, each ended by "\n".
  const std::string& Text() const { return text_; }
  std::vector<std::string> Lines() const;
  void Clear();

 private:
  void Op(const char* name, std::initializer_list<int32_t> values);

  std::string text_;
  bool havePen_ = false;
  int32_t penWidth_ = 0;
  CanvasColor penColor_ = CanvasColor::Black;
  CanvasColor textColor_ = CanvasColor::Black;
};

}  // namespace vuduzez
