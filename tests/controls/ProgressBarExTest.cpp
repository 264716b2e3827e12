#include "ProgressBarEx.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <cmath>
#include <limits>

#include "TestApplication.h"

namespace {

class ProgressBarExTest : public ::testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale::c()); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }

  QImage Paint(TProgressBarEx& Bar) {
    return Bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
};

TEST_F(ProgressBarExTest, DefaultsOfANewBar) {
  TProgressBarEx bar;
  EXPECT_EQ(bar.width(), 150);
  EXPECT_EQ(bar.height(), 16);
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.ColorStart(), QColor(0, 0, 128));
  EXPECT_EQ(bar.ColorEnd(), QColor(0, 0, 128));
  EXPECT_EQ(bar.CaptionText(), "0%");
  // Inner area: one pixel less on every side for the single border.
  EXPECT_EQ(bar.GradientBitmap().size(), QSize(148, 14));
}

TEST_F(ProgressBarExTest, RangeSettersIgnoreEmptyOrInvertedRanges) {
  struct Case {
    int32_t SetMin, SetMax;
    int32_t ExpectMin, ExpectMax;
  } cases[] = {
      {0, 0, 0, 100},                            // Max not above Min: ignored
      {0, -5, 0, 100},                           // Max below Min: ignored
      {100, 50, 0, 50},                          // Min not below Max ignored, then Max 50 taken
      {-10, 200, -10, 200}, {150, 200, 0, 200},  // Min 150 refused while Max is still 100
  };
  for (const Case& c : cases) {
    TProgressBarEx bar;
    bar.SetMin(c.SetMin);
    bar.SetMax(c.SetMax);
    EXPECT_EQ(bar.Min(), c.ExpectMin) << c.SetMin << " " << c.SetMax;
    EXPECT_EQ(bar.Max(), c.ExpectMax) << c.SetMin << " " << c.SetMax;
  }
}

TEST_F(ProgressBarExTest, RangeChangeKeepsPositionAndPercentage) {
  TProgressBarEx bar;
  bar.SetPosition(40);
  bar.SetMax(50);
  EXPECT_EQ(bar.Position(), 40);
  EXPECT_FLOAT_EQ(bar.Percentage(), 40.0f);
}

TEST_F(ProgressBarExTest, PositionIsClampedAndDrivesPercentage) {
  struct Case {
    int32_t Max, Position;
    int32_t ExpectPosition;
    float ExpectPercentage;
  } cases[] = {
      {100, 25, 25, 25.0f},
      {100, 250, 100, 100.0f},
      {100, -3, 0, 0.0f},
      {8, 3, 3, 37.5f},
      {200, 1, 1, 0.5f},
      {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
       std::numeric_limits<int32_t>::max(), 100.0f},
  };
  for (const Case& c : cases) {
    TProgressBarEx bar;
    bar.SetMax(c.Max);
    bar.SetPosition(c.Position);
    EXPECT_EQ(bar.Position(), c.ExpectPosition) << c.Max << "/" << c.Position;
    EXPECT_FLOAT_EQ(bar.Percentage(), c.ExpectPercentage) << c.Max << "/" << c.Position;
  }
}

TEST_F(ProgressBarExTest, PercentageIsClampedAndDrivesPositionRoundedToEven) {
  struct Case {
    int32_t Max;
    float Percentage;
    float ExpectPercentage;
    int32_t ExpectPosition;
  } cases[] = {
      {100, 33.3f, 33.3f, 33},    {100, -1.0f, 0.0f, 0},
      {100, 180.0f, 100.0f, 100}, {100, std::numeric_limits<float>::quiet_NaN(), 0.0f, 0},
      {3, 50.0f, 50.0f, 2},  // 1.5 rounds to 2
      {5, 50.0f, 50.0f, 2},  // 2.5 rounds to 2
      {7, 50.0f, 50.0f, 4},  // 3.5 rounds to 4
  };
  for (const Case& c : cases) {
    TProgressBarEx bar;
    bar.SetMax(c.Max);
    bar.SetPosition(1);  // so that a clamp to 0 is a real change
    bar.SetPercentage(c.Percentage);
    EXPECT_FLOAT_EQ(bar.Percentage(), c.ExpectPercentage) << c.Percentage;
    EXPECT_EQ(bar.Position(), c.ExpectPosition) << c.Percentage;
  }
}

TEST_F(ProgressBarExTest, RangeNotStartingAtZeroRunsFromZeroToHundredPercent) {
  TProgressBarEx bar;
  bar.SetMax(300);
  bar.SetMin(100);
  bar.SetPosition(150);
  EXPECT_FLOAT_EQ(bar.Percentage(), 25.0f);
  bar.SetPercentage(50.0f);
  EXPECT_EQ(bar.Position(), 200);
}

TEST_F(ProgressBarExTest, UnchangedPositionDoesNotRepaint) {
  TProgressBarEx bar;
  bar.show();
  bar.SetPosition(30);
  QApplication::processEvents();
  const int painted = bar.PaintCount();
  ASSERT_GT(painted, 0);
  bar.SetPosition(30);
  QApplication::processEvents();
  EXPECT_EQ(bar.PaintCount(), painted);
  bar.SetPosition(31);
  QApplication::processEvents();
  EXPECT_GT(bar.PaintCount(), painted);
}

TEST_F(ProgressBarExTest, CaptionFollowsDigitsPrefixSuffixAndLocale) {
  struct Case {
    float Percentage;
    int Digits;
    const char* Prefix;
    const char* Suffix;
    QLocale Locale;
    const char* Expect;
  } cases[] = {
      {12.345f, 1, "", "%", QLocale::c(), "12.3%"},
      {12.345f, 0, "", "%", QLocale::c(), "12%"},
      {12.5f, 0, "", "%", QLocale::c(), "12%"},  // halves to even
      {100.0f, 2, "Set ", " pct", QLocale::c(), "Set 100.00 pct"},
      {7.25f, 2, "", "%", QLocale(QLocale::German), "7,25%"},
      {33.333332f, 6, "", "", QLocale::c(), "33.333330"},  // seven significant digits
      {0.0f, -2, "", "%", QLocale::c(), "0%"},
  };
  for (const Case& c : cases) {
    QLocale::setDefault(c.Locale);
    TProgressBarEx bar;
    bar.SetPercentage(c.Percentage);
    bar.SetDigits(c.Digits);
    bar.SetCaptionPrefix(c.Prefix);
    bar.SetCaptionSuffix(c.Suffix);
    EXPECT_EQ(bar.CaptionText().toStdString(), c.Expect);
  }
}

TEST_F(ProgressBarExTest, GradientChannelsRoundHalvesToEven) {
  TProgressBarEx bar;
  bar.SetBorderStyle(TBorderStyle::bsNone);
  bar.resize(3, 4);
  bar.SetColorStart(QColor(0, 255, 1));
  bar.SetColorEnd(QColor(255, 0, 2));
  const QImage& g = bar.GradientBitmap();
  ASSERT_EQ(g.size(), QSize(3, 4));
  // Middle column: t = 0.5, so 127.5 -> 128, 127.5 -> 128, 1.5 -> 2.
  EXPECT_EQ(QColor(g.pixel(0, 0)), QColor(0, 255, 1));
  EXPECT_EQ(QColor(g.pixel(1, 3)), QColor(128, 128, 2));
  EXPECT_EQ(QColor(g.pixel(2, 2)), QColor(255, 0, 2));
}

TEST_F(ProgressBarExTest, OnePixelWideGradientHoldsTheStartColour) {
  TProgressBarEx bar;
  bar.SetBorderStyle(TBorderStyle::bsNone);
  bar.resize(1, 5);
  bar.SetColorStart(Qt::red);
  bar.SetColorEnd(Qt::blue);
  ASSERT_EQ(bar.GradientBitmap().size(), QSize(1, 5));
  EXPECT_EQ(QColor(bar.GradientBitmap().pixel(0, 4)), QColor(Qt::red));
}

TEST_F(ProgressBarExTest, PaintedBarShowsGradientThenBackgroundInsideTheEdge) {
  TProgressBarEx bar;
  bar.resize(102, 16);
  bar.SetShowCaption(false);
  bar.SetColorStart(QColor(0, 0, 0));
  bar.SetColorEnd(QColor(0, 99 * 2, 99));
  bar.SetColor(QColor(200, 10, 10));
  bar.SetPercentage(37.0f);
  const QImage img = Paint(bar);
  ASSERT_EQ(img.size(), QSize(102, 16));
  const QColor shadow = bar.palette().color(QPalette::Dark);
  const QColor light = bar.palette().color(QPalette::Light);
  EXPECT_EQ(img.pixel(0, 8), shadow.rgb());
  EXPECT_EQ(img.pixel(50, 0), shadow.rgb());
  EXPECT_EQ(img.pixel(101, 8), light.rgb());
  EXPECT_EQ(img.pixel(50, 15), light.rgb());
  // 100 inner columns: 37 filled; column x carries t = x / 99 of the whole gradient.
  for (int x = 0; x < 100; ++x) {
    const QColor expect = x < 37 ? QColor(0, 2 * x, x) : QColor(200, 10, 10);
    for (int y : {1, 7, 14}) ASSERT_EQ(QColor(img.pixel(x + 1, y)), expect) << x << "," << y;
  }
}

TEST_F(ProgressBarExTest, VerticalBarFillsFromTheTopWithTheStartColour) {
  TProgressBarEx bar;
  bar.SetOrientation(TProgressBarOrientation::pbVertical);
  bar.SetBorderStyle(TBorderStyle::bsNone);
  bar.resize(10, 50);
  bar.SetShowCaption(false);
  bar.SetColorStart(QColor(255, 0, 0));
  bar.SetColorEnd(QColor(0, 0, 255));
  bar.SetColor(QColor(0, 255, 0));
  bar.SetPercentage(50.0f);
  const QImage img = Paint(bar);
  EXPECT_EQ(QColor(img.pixel(5, 0)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(img.pixel(5, 24)), QColor(130, 0, 125));  // t = 24/49
  EXPECT_EQ(QColor(img.pixel(5, 25)), QColor(0, 255, 0));
  EXPECT_EQ(QColor(img.pixel(9, 49)), QColor(0, 255, 0));
}

TEST_F(ProgressBarExTest, TwoPixelBarWithBorderShowsOnlyEdgeAndCaption) {
  TProgressBarEx bar;
  bar.resize(2, 60);
  bar.SetPercentage(50.0f);
  EXPECT_TRUE(bar.GradientBitmap().isNull());
  const QImage img = Paint(bar);  // must not crash, only the edge
  EXPECT_EQ(img.pixel(0, 2), bar.palette().color(QPalette::Dark).rgb());
  EXPECT_EQ(img.pixel(1, 2), bar.palette().color(QPalette::Light).rgb());
}

TEST_F(ProgressBarExTest, ResizeAndStyleChangesRebuildTheGradient) {
  TProgressBarEx bar;
  bar.resize(60, 20);
  EXPECT_EQ(bar.GradientBitmap().size(), QSize(58, 18));
  bar.SetBorderStyle(TBorderStyle::bsNone);
  EXPECT_EQ(bar.GradientBitmap().size(), QSize(60, 20));
  bar.SetColorEnd(QColor(255, 255, 255));
  EXPECT_EQ(QColor(bar.GradientBitmap().pixel(59, 0)), QColor(255, 255, 255));
}

// Bounding box of the pixels that differ from Background.
QRect InkBox(const QImage& Img, QColor Background) {
  QRect box;
  for (int y = 0; y < Img.height(); ++y)
    for (int x = 0; x < Img.width(); ++x)
      if (QColor(Img.pixel(x, y)) != Background) box |= QRect(x, y, 1, 1);
  return box;
}

TEST_F(ProgressBarExTest, CaptionIsDrawnCentredInTheFontColour) {
  TProgressBarEx bar;
  bar.SetBorderStyle(TBorderStyle::bsNone);
  bar.resize(200, 40);
  bar.SetColor(Qt::black);
  bar.SetFontColor(Qt::white);
  bar.SetPercentage(0.0f);
  bar.SetCaptionSuffix("%%%");
  const QImage img = Paint(bar);
  const QRect ink = InkBox(img, Qt::black);
  ASSERT_FALSE(ink.isNull());
  const QFontMetrics metrics(bar.font());
  const int advance = metrics.horizontalAdvance(bar.CaptionText());
  const int left = (200 - advance) / 2;
  EXPECT_NEAR(ink.center().x(), left + advance / 2.0, 2.5);
  EXPECT_GE(ink.top(), (40 - metrics.height()) / 2);
  EXPECT_LE(ink.bottom(), (40 + metrics.height()) / 2 + 1);
  // Text pixels are in the font colour.
  bool white = false;
  for (int y = ink.top(); y <= ink.bottom(); ++y)
    for (int x = ink.left(); x <= ink.right(); ++x) white |= QColor(img.pixel(x, y)) == Qt::white;
  EXPECT_TRUE(white);
}

}  // namespace
