#include <gtest/gtest.h>

#include "QvDigitalCharts.h"

namespace {

struct NameCase {
  const char* Name;
  bool Ok;
  uint32_t Code;
};

const NameCase NameCases[] = {
    {"180105", true, 0x00010500},
    {"1801051a", true, 0x0001051A},
    {"180105F", true, 0x000105F0},
    {"180105f", true, 0x000105F0},
    {"18010512", true, 0x00010512},
    {"189999", true, 0x00636300},
    {"frl_07", true, 0x01010700},
    {"FRL_07", true, 0x01010700},
    {"frl_00", true, 0x01010000},
    {"frl_073", true, 0x01010730},
    {"NNZK_2593", true, 0x02030000},
    {"NNZK_1014", true, 0x02010000},
    {"nnzk_3371", true, 0x02040000},
    {"18010", false, 0},     // sheet needs two characters
    {"180100", false, 0},    // sheet 0
    {"1801050", false, 0},   // sub-sheet 0
    {"18010501", false, 0},  // sub-sheet 0
    {"180105g", false, 0},
    {"1801051a2", false, 0},  // too long
    {"18x105", false, 0},
    {"1801a5", false, 0},  // sheet field must be decimal
    {"frl_070", false, 0},
    {"frl_07a", false, 0},
    {"frl_7", false, 0},
    {"NNZK_9999", false, 0},
    {"NNZK_10140", false, 0},
    {"NNZK_101", false, 0},
    {"", false, 0},
    {"1", false, 0},
    {"chart", false, 0},
};

TEST(ChartCodes, NameToCode) {
  for (const NameCase& c : NameCases) {
    uint32_t code = 0xDEADBEEF;
    EXPECT_EQ(ChartNameToCode(c.Name, code), c.Ok) << c.Name;
    if (c.Ok) {
      EXPECT_EQ(code, c.Code) << c.Name;
    }
  }
}

struct CodeCase {
  uint32_t Code;
  const char* Name;  // nullptr: no name
};

const CodeCase CodeCases[] = {
    {0x00010500, "180105"},    {0x0001051A, "1801051a"}, {0x000105F0, "180105f"},
    {0x01010700, "frl_07"},    {0x0101070A, "frl_07"},   {0x010107A0, "frl_07a"},
    {0x02030000, "NNZK_2593"}, {0x00010505, nullptr},    {0x01020700, nullptr},
    {0x02050000, nullptr},     {0x02000000, nullptr},    {0x03010100, nullptr},
    {0xFF000000, nullptr},
};

TEST(ChartCodes, CodeToName) {
  for (const CodeCase& c : CodeCases) {
    std::string name = "unchanged";
    EXPECT_EQ(ChartCodeToName(c.Code, name), c.Name != nullptr) << std::hex << c.Code;
    if (c.Name) {
      EXPECT_EQ(name, c.Name) << std::hex << c.Code;
    }
  }
}

// Every name built from a parsable code parses back to the same code.
TEST(ChartCodes, RoundTripOverAllSeriesZeroSheets) {
  int checked = 0;
  for (uint32_t set = 0; set < 100; set += 7)
    for (uint32_t sheet = 1; sheet < 100; ++sheet)
      for (uint32_t sub1 = 0; sub1 < 16; ++sub1)
        for (uint32_t sub2 = 0; sub2 < 16; sub2 += 5) {
          if (sub1 == 0 && sub2 != 0) continue;
          const uint32_t code = (set << 16) | (sheet << 8) | (sub1 << 4) | sub2;
          std::string name;
          ASSERT_TRUE(ChartCodeToName(code, name));
          uint32_t back = 0;
          ASSERT_TRUE(ChartNameToCode(name, back)) << name;
          ASSERT_EQ(back, code) << name;
          ++checked;
        }
  EXPECT_GT(checked, 10000);
}

TEST(ChartCodes, SplitAndSetCode) {
  const TChartCodeFields f = SplitChartCode(0x0001051A);
  EXPECT_EQ(f.Series, 0);
  EXPECT_EQ(f.SetNumber, 1);
  EXPECT_EQ(f.Sheet, 5);
  EXPECT_EQ(f.SubSheet1, 1);
  EXPECT_EQ(f.SubSheet2, 10);
  EXPECT_EQ(MakeChartCode(f), 0x0001051Au);
  EXPECT_EQ(ChartSetCodeOfChart(0x000C0300), "1812");
  EXPECT_EQ(ChartSetCodeOfChart(0x02010000), "NNZK");
  EXPECT_EQ(ChartSetCodeOfChart(0x01010700), "");
}

TEST(ChartCodes, InstalledBitmapName) {
  EXPECT_EQ(InstalledBitmapName("/charts/", "180105", 0), "/charts/180105_120_2003.bmp");
  EXPECT_EQ(InstalledBitmapName("/charts/", "NNZK_1014", 1), "/charts/NNZK_1014_240_2003.bmp");
}

}  // namespace
