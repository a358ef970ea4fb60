// Number rules, atom mapping, line pairs and wedge bases.
#include <gtest/gtest.h>

#include <limits>

#include "depict/depict.h"

namespace vuduzez {
namespace {

TEST(DepictNumbers, RoundGoesToEvenOnHalves) {
  EXPECT_EQ(DepictRound(2.5L), 2);
  EXPECT_EQ(DepictRound(3.5L), 4);
  EXPECT_EQ(DepictRound(-2.5L), -2);
  EXPECT_EQ(DepictRound(12.5L), 12);
  EXPECT_EQ(DepictRound(13.5L), 14);
  EXPECT_EQ(DepictRound(2.5000001L), 3);
  EXPECT_EQ(DepictTrunc(-7.9L), -7);
  EXPECT_EQ(DepictCeil(122.5L), 123);
  EXPECT_EQ(DepictCeil(-0.5L), 0);
}

TEST(DepictNumbers, ExtendedPrecisionKeeps245) {
  // 350 x 0.7 is just below 245 in double precision.
  const long double ratio = 0.7L;
  EXPECT_EQ(DepictTrunc(350 * ratio), 245);
  EXPECT_EQ(DepictTrunc(350 * 0.7), 244);  // the trap: double arithmetic
}

TEST(DepictNumbers, OutOfRangeValuesAreClampedNotUndefined) {
  EXPECT_EQ(DepictRound(1e30L), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(DepictCeil(-1e30L), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(DepictTrunc(std::numeric_limits<long double>::quiet_NaN()), 0);
  EXPECT_EQ(DepictRound(std::numeric_limits<long double>::infinity()),
            std::numeric_limits<int32_t>::max());
}

DepictState Picture(int32_t w = 350, int32_t h = 245, int32_t gap = 4) {
  DepictState st;
  st.mfwidth = w;
  st.mfheight = h;
  st.bondgap = gap;
  return st;
}

TEST(MapAtomPoint, CentreLandsOnHalfTheCanvasRoundedUp) {
  DepictState st = Picture();
  MapAtomPoint(st, 0, 0, 25, 25);
  EXPECT_EQ(st.mappt, (CanvasPoint{175, 123}));
}

TEST(MapAtomPoint, ModelYGoesUpPictureYGoesDown) {
  DepictState st = Picture();
  MapAtomPoint(st, -2.25L, -0.5L, 25, 78.75L);
  EXPECT_EQ(st.mappt, (CanvasPoint{119, 162}));  // Ceil(118.75), Ceil(161.875)
  MapAtomPoint(st, 2.25L, 0.5L, 25, 78.75L);
  EXPECT_EQ(st.mappt, (CanvasPoint{232, 84}));  // Ceil(231.25), Ceil(83.125)
}

TEST(MapAtomPoint, ZeroScaleYFallsBackToScaleX) {
  DepictState st = Picture();
  MapAtomPoint(st, 0, 1, 10, 0);
  EXPECT_EQ(st.mappt, (CanvasPoint{175, 113}));  // Ceil(122.5 - 10)
}

TEST(ParallelLines, VerticalCentredPairPutsMainLineOnTheRight) {
  DepictState st = Picture();
  ParallelLines(st, 100, 100, 50, 80, 0, 0);
  EXPECT_EQ(st.mainline, (PictureLine{102, 50, 102, 80}));
  EXPECT_EQ(st.sideline, (PictureLine{98, 50, 98, 80}));
}

TEST(ParallelLines, VerticalSideIsChosenBySignOfVsideOnly) {
  DepictState st = Picture();
  // side alone (vside 0) gives the right, shortened by d at both ends; the
  // lower end on the picture comes first.
  ParallelLines(st, 100, 100, 50, 80, -7, 0);
  EXPECT_EQ(st.mainline, (PictureLine{100, 50, 100, 80}));
  EXPECT_EQ(st.sideline, (PictureLine{104, 76, 104, 54}));
  ParallelLines(st, 100, 100, 80, 50, 5, -1);
  EXPECT_EQ(st.mainline, (PictureLine{100, 80, 100, 50}));
  EXPECT_EQ(st.sideline, (PictureLine{96, 76, 96, 54}));
}

TEST(ParallelLines, HorizontalSecondLineAboveForNegativeSideBelowForPositive) {
  DepictState st = Picture();
  ParallelLines(st, 130, 100, 60, 60, -1, 0);  // end points reordered left to right
  EXPECT_EQ(st.mainline, (PictureLine{130, 60, 100, 60}));
  EXPECT_EQ(st.sideline, (PictureLine{104, 56, 126, 56}));
  ParallelLines(st, 100, 130, 60, 60, 1, 0);
  EXPECT_EQ(st.sideline, (PictureLine{104, 64, 126, 64}));
  ParallelLines(st, 100, 130, 60, 60, 0, 9);  // vside counts only for vertical bonds
  EXPECT_EQ(st.mainline, (PictureLine{100, 58, 130, 58}));
  EXPECT_EQ(st.sideline, (PictureLine{100, 62, 130, 62}));
}

TEST(ParallelLines, ObliqueLinesAreSquareToTheBond) {
  // Slope 4/3: along (2.4, 3.2), across (3.2, -2.4) for d = 4.
  DepictState st = Picture();
  ParallelLines(st, 0, 30, 0, 40, -1, 0);
  EXPECT_EQ(st.mainline, (PictureLine{0, 0, 30, 40}));
  EXPECT_EQ(st.sideline, (PictureLine{6, 1, 31, 34}));
  ParallelLines(st, 30, 0, 40, 0, 1, 0);  // same bond given backwards
  EXPECT_EQ(st.mainline, (PictureLine{30, 40, 0, 0}));
  EXPECT_EQ(st.sideline, (PictureLine{-1, 6, 24, 39}));
  ParallelLines(st, 0, 30, 0, 40, 0, 0);
  EXPECT_EQ(st.mainline, (PictureLine{2, -1, 32, 39}));
  EXPECT_EQ(st.sideline, (PictureLine{-2, 1, 28, 41}));
}

TEST(ParallelLines, ZeroLengthBondIsTreatedAsVertical) {
  DepictState st = Picture();
  ParallelLines(st, 10, 10, 20, 20, 0, 0);
  EXPECT_EQ(st.mainline, (PictureLine{12, 20, 12, 20}));
  EXPECT_EQ(st.sideline, (PictureLine{8, 20, 8, 20}));
}

TEST(WedgeBase, AxisParallelBaseIsDLong) {
  DepictState st = Picture(350, 245, 6);
  WedgeBase(st, 149, 162, 119, 162);
  EXPECT_EQ(st.sideline, (PictureLine{119, 165, 119, 159}));
  WedgeBase(st, 100, 10, 100, 40);
  EXPECT_EQ(st.sideline, (PictureLine{103, 40, 97, 40}));
}

TEST(WedgeBase, ObliqueBaseIsHalfAsLong) {
  // Slope 4/3, d = 20: m k d / 4 = 4, k d / 4 = 3.
  DepictState st = Picture(350, 245, 20);
  WedgeBase(st, 0, 0, 30, 40);
  EXPECT_EQ(st.sideline, (PictureLine{26, 43, 34, 37}));
  WedgeBase(st, 60, 0, 30, 40);  // slope -4/3
  EXPECT_EQ(st.sideline, (PictureLine{34, 43, 26, 37}));
}

}  // namespace
}  // namespace vuduzez
