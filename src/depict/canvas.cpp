#include "depict/canvas.h"

namespace vuduzez {

namespace {

// "Arial" bold in font units (2048 to the em): advance widths of the printable
// ASCII characters, and the ascent and descent that make up the text cell.
constexpr long double kUnitsPerEm = 2048;
constexpr long double kAscent = 1854;
constexpr long double kDescent = 434;
constexpr long double kOtherAdvance = 1139;  // a digit's width for anything else
constexpr int kAdvance[95] = {
    569,  682,  971,  1139, 1139, 1821, 1479, 487,  682,  682,  797,  1196, 569,  682,  569,  569,
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 682,  682,  1196, 1196, 1196, 1251,
    1997, 1479, 1479, 1479, 1479, 1366, 1251, 1593, 1479, 569,  1139, 1479, 1251, 1706, 1479, 1593,
    1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366, 1366, 1251, 682,  569,  682,  1196, 1139,
    682,  1139, 1251, 1139, 1251, 1139, 682,  1251, 1251, 569,  569,  1139, 569,  1821, 1251, 1251,
    1251, 1251, 797,  1139, 682,  1251, 1139, 1593, 1139, 1139, 1024, 797,  573,  797,  1196,
};

}  // namespace

LabelFontMetrics LabelFontFor(int32_t cellHeight) {
  const long double cell = cellHeight;
  return {cell * kUnitsPerEm / (kAscent + kDescent), cell * kAscent / (kAscent + kDescent)};
}

long double LabelTextWidth(const std::string& text, int32_t cellHeight) {
  long double units = 0;
  for (unsigned char c : text) {
    if (c >= 32 && c < 127) {
      units += kAdvance[c - 32];
    } else if (c >= 0xC0 || c < 32 || c == 127) {
      units += kOtherAdvance;  // one per character: lead bytes only
    }
  }
  return units * LabelFontFor(cellHeight).em / kUnitsPerEm;
}

}  // namespace vuduzez
