#pragma once
// Helpers of the chart tests: chart-like bitmaps, chart files, and the
// decoding of written bitmaps by Pillow, an independent reader.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "QvDigitalCharts.h"
#include "TempDir.h"

// The folder of the chart tests' sources and scripts.
inline std::string TestSourceDir() {
  return ZARNAVIS_TEST_SOURCE_DIR;
}

// An 8-bit RLE8 BMP file of four colours around hand-made pixel data.
inline std::vector<uint8_t> Rle8BmpFile(int Width, int Height, const std::vector<uint8_t>& Data) {
  std::vector<uint8_t> f(14 + 40 + 4 * 4, 0);
  f[0] = 'B';
  f[1] = 'M';
  f[10] = uint8_t(f.size());
  f[14] = 40;
  f[18] = uint8_t(Width);
  f[22] = uint8_t(Height);
  f[26] = 1;
  f[28] = 8;
  f[30] = 1;
  f[46] = 4;  // four colours
  for (int i = 0; i < 4; ++i) f[54 + 4 * i + 2] = uint8_t(i * 10);
  const size_t header = f.size();
  f.resize(header + Data.size());
  std::copy(Data.begin(), Data.end(), f.begin() + std::ptrdiff_t(header));
  return f;
}

inline std::vector<TRGB> TestPalette(int Count, unsigned Seed) {
  std::mt19937 rng(Seed);
  std::vector<TRGB> palette;
  for (int i = 0; i < Count; ++i)
    palette.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
  return palette;
}

// Runs of colours with some noise, as a chart has.
inline TBitmap TestBitmap(int Bits, int Width, int Height, int Colours, unsigned Seed) {
  std::mt19937 rng(Seed);
  TBitmap b;
  b.SetPixelFormat(Bits);
  b.SetSize(Width, Height);
  b.SetPalette(TestPalette(Colours, Seed + 1));
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width;) {
      const int run = int(rng() % 4 == 0 ? 1 : rng() % 40 + 1);
      const uint8_t value = uint8_t(rng() % unsigned(Colours));
      for (int k = 0; k < run && x < Width; ++k, ++x) b.SetPixelIndex(x, y, value);
    }
  }
  return b;
}

inline void WriteTestChart(const std::string& FileName, const TBitmap& Bitmap, bool Rle8,
                           int32_t Edition = ChartEdition, int32_t Date = 0x2F6A5C20) {
  TZRNFile file(FileName, fmCreate, Edition, Date);
  file.WriteImage(SaveBitmapToMemory(Bitmap, Rle8));
  file.Close();
}

struct TDecoded {
  std::string Mode;
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Indexes;  // rows top to bottom
  std::vector<TRGB> Palette;     // 256 entries
  bool Ok = false;
};

// Pillow decodes a palette BMP: its mode, size, pixel indexes and palette.
inline TDecoded PilDecode(const std::string& FileName) {
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1]); im.load()\n"
      "open(sys.argv[1] + '.idx', 'wb').write(im.tobytes())\n"
      "pal = im.getpalette() or []\n"
      "open(sys.argv[1] + '.pal', 'wb').write(bytes((pal + [0] * 768)[:768]))\n"
      "print(im.mode, im.size[0], im.size[1])\n";
  const std::string scriptFile = FileName + ".py";
  WriteFileText(scriptFile, script);
  TDecoded d;
  FILE* p = ::popen(("/usr/bin/python3 " + scriptFile + " " + FileName).c_str(), "r");
  if (!p) return d;
  char mode[16] = {};
  const bool read = std::fscanf(p, "%15s %d %d", mode, &d.Width, &d.Height) == 3;
  d.Ok = ::pclose(p) == 0 && read;
  d.Mode = mode;
  d.Indexes = ReadFileBytes(FileName + ".idx");
  const std::vector<uint8_t> pal = ReadFileBytes(FileName + ".pal");
  for (size_t i = 0; i + 2 < pal.size(); i += 3)
    d.Palette.push_back({pal[i], pal[i + 1], pal[i + 2]});
  return d;
}

inline uint32_t LE32(const std::vector<uint8_t>& B, size_t Offset) {
  return uint32_t(B[Offset]) | (uint32_t(B[Offset + 1]) << 8) | (uint32_t(B[Offset + 2]) << 16) |
         (uint32_t(B[Offset + 3]) << 24);
}
