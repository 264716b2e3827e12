#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "ChartListText.h"
#include "ChartListView.h"
#include "InstallTestData.h"

namespace {

class ChartListTest : public TInstallFixture {
 protected:
  void SetUp() override {
    TInstallFixture::SetUp();
    QLocale::setDefault(QLocale::c());
  }
};

TEST_F(ChartListTest, SizesAreMegabytesWithOneDecimal) {
  struct Row {
    int64_t bytes;
    const char* text;
  };
  const Row rows[] = {{0, "0.0 MB"},       {1048576, "1.0 MB"}, {734003200, "700.0 MB"},
                      {1572864, "1.5 MB"}, {104857, "0.1 MB"},  {5000000000LL, "4768.4 MB"}};
  for (const Row& r : rows) EXPECT_EQ(SizeText(r.bytes), r.text) << r.bytes;
  EXPECT_EQ(ChartStatusText(3, 734003200), "3 Chartset(s) (700.0 MB)");
  EXPECT_EQ(ChartStatusText(0, 0), "0 Chartset(s) (0.0 MB)");
  // The locale's decimal separator, never a thousands separator.
  QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
  EXPECT_EQ(SizeText(1572864), "1,5 MB");
  EXPECT_EQ(SizeText(5000000000LL), "4768,4 MB");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(SizeText(5000000000LL), "4768.4 MB");
}

TEST_F(ChartListTest, FitTextCutsOneCharacterPerPass) {
  const auto width = [](const std::string& Text) { return int(Text.size()) * 7; };
  struct Row {
    const char* text;
    int max;
    const char* fitted;
  };
  const Row rows[] = {
      {"1801 Waddenzee", 98, "1801 Waddenzee"},  // exactly fits
      {"1801 Waddenzee", 97, "1801 Wadde..."},
      {"1801 Waddenzee", 70, "1801 Wa..."},
      {"abc", 14, "..."},  // nothing but "..." is left
      {"", 0, ""},
  };
  for (const Row& r : rows) EXPECT_EQ(FitText(r.text, r.max, width), r.fitted) << r.max;
  // Multi-byte characters go whole: every text measured is valid UTF-8.
  const auto utf8Width = [](const std::string& Text) {
    EXPECT_EQ(QString::fromUtf8(Text).toUtf8().toStdString(), Text);
    return int(QString::fromUtf8(Text).size()) * 7;
  };
  EXPECT_EQ(FitText("Zee\xC3\xAB\xC3\xAB", 4 * 7, utf8Width), "Z...");
}

TEST_F(ChartListTest, HitRectanglesWithInclusiveBounds) {
  struct Row {
    int x, y;
    TChartListHit hit;
  };
  const int t = 40;
  const Row rows[] = {
      {247, t + 2, TChartListHit::Box120},   {256, t + 11, TChartListHit::Box120},
      {246, t + 5, TChartListHit::None},     {250, t + 1, TChartListHit::None},
      {250, t + 12, TChartListHit::None},    {279, t + 2, TChartListHit::Box240},
      {288, t + 11, TChartListHit::Box240},  {258, t + 5, TChartListHit::Label120},
      {277, t + 5, TChartListHit::Label120}, {278, t + 5, TChartListHit::None},
      {290, t + 5, TChartListHit::Label240}, {309, t + 5, TChartListHit::Label240},
      {310, t + 5, TChartListHit::None},     {257, t + 5, TChartListHit::None},
  };
  for (const Row& r : rows) EXPECT_EQ(ChartListHitTest(r.x, r.y, t), r.hit) << r.x << "," << r.y;
}

TEST_F(ChartListTest, ImagesFollowPresenceAndSelection) {
  MakeSets(R"({"sets":[
    {"prefix":"1801","name":"1801 A","charts":["180101"],"width":40,"height":30},
    {"prefix":"1802","name":"1802 B","resolutions":[240],"charts":["180201"],"width":40,"height":30}]})");
  TChartSetsList sets = FindChartSets(FSource, FDest);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(ChartImageIndex(*sets[0], 0), 0);
  EXPECT_EQ(ChartImageIndex(*sets[0], 1), 3);
  EXPECT_EQ(ChartImageIndex(*sets[1], 0), 2);
  EXPECT_EQ(ChartImageIndex(*sets[1], 1), 3);
  sets[0]->SetSelected(0, false);
  sets[1]->SetSelected(0, true);  // absent: no effect
  EXPECT_EQ(ChartImageIndex(*sets[0], 0), 1);
  EXPECT_EQ(ChartImageIndex(*sets[1], 0), 2);
  const TSelectionTotals totals = CountSelection(sets);
  EXPECT_EQ(totals.Count, 2);
  EXPECT_EQ(totals.Size, sets[0]->GetSize(1) + sets[1]->GetSize(1));
  EXPECT_EQ(SelectedSize(*sets[0]), sets[0]->GetSize(1));
}

TEST_F(ChartListTest, SummaryListsSetsPerResolutionAlphabetically) {
  MakeSets(R"({"sets":[
    {"prefix":"1801","name":"Zeeland","charts":["180101"],"width":40,"height":30},
    {"prefix":"1802","name":"amstel","resolutions":[240],"charts":["180201"],"width":40,"height":30},
    {"prefix":"1803","name":"Berg","resolutions":[120],"charts":["180301"],"width":40,"height":30}]})");
  TChartSetsList sets = FindChartSets(FSource, FDest);
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_EQ(
      InstallSummaryLines(sets, "/d/"),
      (std::vector<std::string>{
          "Folder in which the charts will be installed:", "   /d/", "",
          "The folowing chartsets will be installed in 120 dpi:", "    Berg", "    Zeeland", "",
          "The folowing chartsets will be installed in 240 dpi:", "    amstel", "    Zeeland"}));
  sets[1]->SetSelected(1, false);
  sets[0]->SetSelected(1, false);
  const auto lines = InstallSummaryLines(sets, "/d/");
  // No 240 dpi part; the 120 dpi part keeps its empty line.
  EXPECT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5], "    Zeeland");
  EXPECT_EQ(lines.back(), "");
}

TEST_F(ChartListTest, SixImagesOfThirtyOneByThirteen) {
  int argc = 1;
  char name[] = "t";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const std::vector<QImage> images = MakeChartListImages();
  ASSERT_EQ(images.size(), 6u);
  for (const QImage& image : images) EXPECT_EQ(image.size(), QSize(31, 13));
  // Box interiors differ by state; the labels differ by resolution.
  const auto box = [&](int i) { return images[size_t(i)].copy(2, 2, 10, 10); };
  EXPECT_NE(box(0), box(1));
  EXPECT_NE(box(1), box(2));
  EXPECT_EQ(box(0), box(3));
  EXPECT_EQ(images[2].pixelColor(5, 5).red() > 150, true);  // red cross
  EXPECT_NE(images[0].copy(13, 0, 18, 13), images[3].copy(13, 0, 18, 13));
  EXPECT_EQ(images[0].pixelColor(14, 1), QColor(0, 0, 128));
}

}  // namespace
