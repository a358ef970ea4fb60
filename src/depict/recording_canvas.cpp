#include "depict/recording_canvas.h"

#include <charconv>

namespace vuduzez {

void RecordingCanvas::Op(const char* name, std::initializer_list<int32_t> values) {
  text_ += name;
  char buf[16];
  for (int32_t v : values) {
    text_ += ' ';
    text_.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  }
  text_ += '\n';
}

void RecordingCanvas::SetSize(int32_t width, int32_t height) { Op("size", {width, height}); }

void RecordingCanvas::SetPenWidth(int32_t width) {
  if (havePen_ && width == penWidth_) return;
  havePen_ = true;
  penWidth_ = width;
  Op("pen", {width});
}

namespace {

const char* ColorName(CanvasColor c) {
  switch (c) {
    case CanvasColor::Black:
      return "black";
    case CanvasColor::White:
      return "white";
    case CanvasColor::Highlight:
      return "highlight";
  }
  return "";
}

}  // namespace

void RecordingCanvas::SetBrushColor(CanvasColor color) {
  text_ += "brush ";
  text_ += ColorName(color);
  text_ += '\n';
}

void RecordingCanvas::SetPenColor(CanvasColor color) {
  if (color == penColor_) return;
  penColor_ = color;
  text_ += "pencolor ";
  text_ += ColorName(color);
  text_ += '\n';
}

void RecordingCanvas::SetTextColor(CanvasColor color) {
  if (color == textColor_) return;
  textColor_ = color;
  text_ += "textcolor ";
  text_ += ColorName(color);
  text_ += '\n';
}

void RecordingCanvas::SetFontHeight(int32_t height) { Op("font", {height}); }

void RecordingCanvas::MoveTo(int32_t x, int32_t y) { Op("moveto", {x, y}); }

void RecordingCanvas::LineTo(int32_t x, int32_t y) { Op("lineto", {x, y}); }

void RecordingCanvas::Polygon(const std::array<CanvasPoint, 3>& p) {
  Op("polygon", {p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y});
}

void RecordingCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  Op("text", {x, y});
  text_.back() = ' ';
  text_ += text;
  text_ += '\n';
}

std::vector<std::string> RecordingCanvas::Lines() const {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == '\n') {
      lines.emplace_back(text_, start, i - start);
      start = i + 1;
    }
  }
  return lines;
}

void RecordingCanvas::Clear() {
  text_.clear();
  havePen_ = false;
  penWidth_ = 0;
  penColor_ = textColor_ = CanvasColor::Black;
}

}  // namespace vuduzez
