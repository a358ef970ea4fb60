#include "depict/svg_canvas.h"

#include <cstdio>

namespace vuduzez {

namespace {

const char* Colour(CanvasColor c) {
  switch (c) {
    case CanvasColor::Black:
      return "#000";
    case CanvasColor::White:
      return "#fff";
    case CanvasColor::Highlight:
      return "#d32f2f";  // kHighlightRgb
  }
  return "#000";
}

// Lines and polygons go through pixel centres, so that a one-pixel pen covers
// whole pixels as on the raster picture; text cells start at pixel corners.
std::string Centre(int32_t v) { return std::to_string(v) + ".5"; }

std::string Num(long double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3Lf", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

void SvgCanvas::SetSize(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
}

void SvgCanvas::Begin() {
  const std::string w = std::to_string(width_), h = std::to_string(height_);
  svg_ =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"" +
      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n<rect width=\"" + w +
      "\" height=\"" + h + "\" fill=\"#fff\"/>\n";
}

void SvgCanvas::End() { svg_ += "</svg>\n"; }

void SvgCanvas::MoveTo(int32_t x, int32_t y) { current_ = {x, y}; }

void SvgCanvas::LineTo(int32_t x, int32_t y) {
  svg_ += "<line x1=\"" + Centre(current_.x) + "\" y1=\"" + Centre(current_.y) + "\" x2=\"" +
          Centre(x) + "\" y2=\"" + Centre(y) + "\" stroke=\"" + Colour(pen_) +
          "\" stroke-width=\"" + std::to_string(penWidth_) + "\" stroke-linecap=\"round\"/>\n";
  current_ = {x, y};
}

void SvgCanvas::Polygon(const std::array<CanvasPoint, 3>& p) {
  svg_ += "<polygon points=\"";
  for (size_t i = 0; i < p.size(); ++i) {
    if (i > 0) svg_ += ' ';
    svg_ += Centre(p[i].x) + "," + Centre(p[i].y);
  }
  svg_ += std::string("\" fill=\"") + Colour(brush_) + "\" stroke=\"" + Colour(pen_) +
          "\" stroke-width=\"" + std::to_string(penWidth_) + "\" stroke-linejoin=\"round\"/>\n";
}

void SvgCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  const LabelFontMetrics font = LabelFontFor(fontHeight_);
  svg_ += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
          Num(LabelTextWidth(text, fontHeight_)) + "\" height=\"" + std::to_string(fontHeight_) +
          "\" fill=\"" + Colour(brush_) + "\" stroke=\"none\"/>\n";
  svg_ += "<text x=\"" + std::to_string(x) + "\" y=\"" + Num(y + font.ascent) +
          "\" font-family=\"" + XmlEscape(face_) + ", 'Liberation Sans', sans-serif\"" +
          (bold_ ? " font-weight=\"bold\"" : "") + " font-size=\"" + Num(font.em) + "\" fill=\"" +
          Colour(text_) + "\" xml:space=\"preserve\">" + XmlEscape(text) + "</text>\n";
}

}  // namespace vuduzez
