#include "DemoUpdates.h"

#include <algorithm>

#include "DemoDrawing.h"

namespace {

// A run of new bytes in the sheet's 24-bit view.
struct TSpan {
  uint32_t Position = 0;
  std::vector<uint8_t> Data;
};

const TBaZRecordForm FormCycle[] = {{1, 0}, {1, 1}, {2, 2}, {2, 0}, {4, 4}, {2, 1},
                                    {1, 2}, {4, 1}, {1, 4}, {2, 4}, {4, 2}, {4, 0}};
constexpr size_t FormCount = sizeof FormCycle / sizeof FormCycle[0];

bool FormFits(const TBaZRecordForm& F, uint32_t Skip, size_t Length) {
  const bool skip = F.SkipBytes == 4 || Skip < (1u << (8 * F.SkipBytes));
  const bool length = F.LengthBytes == 0
                          ? Length <= 15
                          : (F.LengthBytes == 4 || Length < (1u << (8 * F.LengthBytes)));
  return skip && length;
}

std::vector<uint8_t> Pixels(const TRGB& Colour, int Count) {
  std::vector<uint8_t> data;
  for (int i = 0; i < Count; ++i) data.insert(data.end(), {Colour.Blue, Colour.Green, Colour.Red});
  return data;
}

void Rectangle(std::vector<TSpan>& Spans, int32_t Width, int X, int Y, int W, int H,
               const TRGB& Colour) {
  for (int y = Y; y < Y + H; ++y)
    Spans.push_back({uint32_t(y) * uint32_t(Width) * 3 + uint32_t(X) * 3, Pixels(Colour, W)});
}

}  // namespace

TDemoUpdateInfo WriteDemoUpdateBody(TStream& Stream, int32_t Width, int32_t Height,
                                    const std::vector<TRGB>& ChartPalette, uint64_t Seed) {
  TDemoRandom rng(Seed);
  // The palette: the chart's, one entry changed, the rest black.
  std::vector<TRGB> palette = ChartPalette;
  palette.resize(256, TRGB{0, 0, 0});
  const size_t changed = ChartPalette.size() > dcShallow ? size_t(dcShallow) : 0;
  palette[changed] = TRGB{uint8_t(palette[changed].Red - 15), uint8_t(palette[changed].Green - 10),
                          uint8_t(palette[changed].Blue - 5)};
  for (const TRGB& c : palette) {
    const uint8_t rgb[3] = {c.Red, c.Green, c.Blue};
    Stream.WriteBuffer(rgb, 3);
  }

  const TRGB drying = ChartPalette.size() > dcDrying ? palette[dcDrying] : palette[1];
  const TRGB mark = ChartPalette.size() > dcRed ? palette[dcRed] : palette[1];
  const TRGB cable = ChartPalette.size() > dcMagenta ? palette[dcMagenta] : palette[1];

  // Regions from the middle downwards, then one above them all.
  std::vector<TSpan> spans;
  const int bankW = std::max(2, Width / 20), bankH = std::max(2, Height / 20);
  const int bankX = int(rng.Below(uint32_t(std::max(1, Width - bankW))));
  const int bankY = Height / 2 + int(rng.Below(uint32_t(std::max(1, Height / 8))));
  Rectangle(spans, Width, bankX, std::min(bankY, Height - bankH), bankW, bankH, drying);

  const int marksY = std::min(Height - 1, bankY + bankH + 1);
  for (int x = 1; x + 4 < Width && x < 120; x += 3 + int(rng.Below(12)))
    spans.push_back({uint32_t(marksY) * uint32_t(Width) * 3 + uint32_t(x) * 3,
                     Pixels(mark, 1 + int(rng.Below(4)))});
  // One byte alone: the red channel of one pixel.
  spans.push_back({uint32_t(marksY) * uint32_t(Width) * 3 + uint32_t(Width - 1) * 3 + 2, {0xF0}});

  const int cableY = std::min(Height - 1, marksY + 2);
  if (cableY > marksY)
    spans.push_back(
        {uint32_t(cableY) * uint32_t(Width) * 3 + 3, Pixels(cable, std::max(1, Width - 2))});
  const int buoyY = int(rng.Below(uint32_t(std::max(1, Height / 4))));
  Rectangle(spans, Width, Width / 3, buoyY, std::min(3, Width), std::min(3, Height - buoyY), mark);

  TDemoUpdateInfo info;
  Stream.WriteInt32(int32_t(spans.size()) + 1);
  // A record of length 0 with a 4-byte skip only moves the position.
  WriteBaZRecord(Stream, {4, 0}, 7, {});
  info.FormFlags.push_back(0xC0);
  uint32_t end = 7;
  size_t next = 0;
  for (const TSpan& span : spans) {
    const uint32_t skip = span.Position - end;  // wraps for the region above
    TBaZRecordForm form = SmallestRecordForm(skip, uint32_t(span.Data.size()));
    for (size_t k = 0; k < FormCount; ++k) {
      const TBaZRecordForm& candidate = FormCycle[(next + k) % FormCount];
      if (FormFits(candidate, skip, span.Data.size())) {
        form = candidate;
        next = (next + k + 1) % FormCount;
        break;
      }
    }
    WriteBaZRecord(Stream, form, skip, span.Data);
    info.FormFlags.push_back(uint8_t((form.SkipBytes == 1   ? 0
                                      : form.SkipBytes == 2 ? 0x80
                                                            : 0xC0) |
                                     (form.LengthBytes == 0   ? 0
                                      : form.LengthBytes == 1 ? 0x10
                                      : form.LengthBytes == 2 ? 0x20
                                                              : 0x30)));
    end = span.Position + uint32_t(span.Data.size());
  }
  info.Records = int(spans.size()) + 1;
  return info;
}
