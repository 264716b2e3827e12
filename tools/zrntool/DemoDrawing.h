#pragma once
// Chart-like pictures for the demo data: sea with depth bands and depth
// lines, shallows, drying flats and land, a coordinate grid, a frame, buoys,
// lights and wrecks, and the sheet's name. Deterministic for a seed; the
// same sheet drawn at two sizes shows the same map.

#include <cstdint>
#include <string>
#include <vector>

#include "QvGraphics.h"

// A small deterministic generator (splitmix64), the same on every platform.
class TDemoRandom {
 public:
  explicit TDemoRandom(uint64_t Seed) : FState(Seed) {}
  uint64_t Next() {
    uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < Bound
  uint32_t Below(uint32_t Bound) { return Bound ? uint32_t(Next() % Bound) : 0; }
  double Unit() { return double(Next() >> 11) / double(1ull << 53); }

 private:
  uint64_t FState;
};

// Indexes of the first sixteen palette entries; larger palettes add shades.
enum TDemoColour : uint8_t {
  dcDeep = 0,
  dcBlack,
  dcLand,
  dcDrying,
  dcShallow,
  dcMedium,
  dcContour,
  dcGrid,
  dcRed,
  dcGreen,
  dcMagenta,
  dcYellow,
  dcBuiltUp,
  dcDarkLand,
  dcFrame,
  dcLightGrey,
};

struct TDemoSheetStyle {
  uint64_t Seed = 0;  // the map: the same for both resolutions
  int Bits = 8;       // 1, 4 or 8
  int Colours = 16;   // 8 bits: 16 to 64
  std::string Title;
};

std::vector<TRGB> DemoPalette(int Bits, int Colours);
TBitmap DrawDemoSheet(const TDemoSheetStyle& Style, int32_t Width, int32_t Height);
