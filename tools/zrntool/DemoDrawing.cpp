#include "DemoDrawing.h"

#include <algorithm>
#include <cmath>

namespace {

const TRGB BaseColours[16] = {
    {255, 255, 255},  // deep water
    {0, 0, 0},        // coastline, text, wrecks
    {245, 225, 165},  // land
    {170, 205, 150},  // drying flats
    {155, 205, 240},  // shallows
    {200, 228, 248},  // medium depth
    {70, 120, 190},   // depth lines
    {130, 130, 130},  // grid
    {215, 35, 35},    // port buoys
    {35, 150, 70},    // starboard buoys
    {190, 20, 150},   // lights
    {250, 210, 20},   // special marks
    {205, 170, 115},  // built-up area
    {225, 200, 135},  // high land
    {20, 40, 110},    // frame
    {220, 220, 220},  // light grey
};

// Depth and height thresholds of the field: deep, medium, shallow,
// drying, land, high land.
constexpr double Thresholds[] = {0.34, 0.43, 0.50, 0.53, 0.68};
constexpr int LandBand = 4;

TRGB Mix(const TRGB& A, const TRGB& B, double T) {
  auto m = [T](uint8_t X, uint8_t Y) { return uint8_t(std::lround(X + (Y - X) * T)); };
  return {m(A.Red, B.Red), m(A.Green, B.Green), m(A.Blue, B.Blue)};
}

int SeaShades(int Colours) {
  return (Colours - 16 + 1) / 2;
}

// Value noise in octaves, evaluated row by row: the grid values of each
// octave are first interpolated to the row, then along it.
class TField {
 public:
  TField(uint64_t Seed) {
    TDemoRandom rng(Seed);
    const int cells[3] = {4 + int(rng.Below(3)), 11 + int(rng.Below(5)), 31 + int(rng.Below(9))};
    const double amplitude[3] = {0.55, 0.28, 0.12};
    for (int o = 0; o < 3; ++o) {
      Octave& oct = FOctaves[o];
      oct.Cells = cells[o];
      oct.Amplitude = amplitude[o];
      oct.Grid.resize(size_t(cells[o] + 2) * size_t(cells[o] + 2));
      for (double& g : oct.Grid) g = rng.Unit();
      oct.Row.resize(size_t(cells[o] + 2));
    }
    FTilt = 0.25 + 0.25 * rng.Unit();
    FLandOnRight = rng.Below(2) == 0;
  }

  void SetRow(double V) {
    for (Octave& o : FOctaves) {
      const double gy = V * o.Cells;
      const int iy = std::min(int(gy), o.Cells);
      const double t = Smooth(gy - iy);
      const size_t stride = size_t(o.Cells + 2);
      for (size_t x = 0; x < stride; ++x) {
        const double a = o.Grid[size_t(iy) * stride + x], b = o.Grid[size_t(iy + 1) * stride + x];
        o.Row[x] = a + (b - a) * t;
      }
    }
  }

  double At(double U) const {
    double h = 0;
    for (const Octave& o : FOctaves) {
      const double gx = U * o.Cells;
      const int ix = std::min(int(gx), o.Cells);
      const double t = Smooth(gx - ix);
      h += o.Amplitude * (o.Row[ix] + (o.Row[ix + 1] - o.Row[ix]) * t);
    }
    const double side = FLandOnRight ? U : 1 - U;
    return h * 0.8 + FTilt * (side - 0.5) + 0.05;
  }

 private:
  struct Octave {
    int Cells = 1;
    double Amplitude = 0;
    std::vector<double> Grid;
    std::vector<double> Row;
  };
  static double Smooth(double T) { return T * T * (3 - 2 * T); }
  Octave FOctaves[3];
  double FTilt = 0.3;
  bool FLandOnRight = true;
};

int Band(double H) {
  int b = 0;
  while (b < 5 && H >= Thresholds[b]) ++b;
  return b;
}

// The colour of a pixel inside its band, with the shades of large palettes.
uint8_t FillColour(int Band, double H, int Colours) {
  static const uint8_t bandColour[6] = {dcDeep, dcMedium, dcShallow, dcDrying, dcLand, dcDarkLand};
  const int seaShades = SeaShades(Colours), landShades = Colours - 16 - seaShades;
  if (Band == 0 && seaShades > 0) {
    const int k = std::clamp(int(H / Thresholds[0] * (seaShades + 1)), 0, seaShades);
    return k == 0 ? uint8_t(dcDeep) : uint8_t(16 + k - 1);
  }
  if (Band == LandBand && landShades > 0) {
    const double t = (H - Thresholds[3]) / (Thresholds[4] - Thresholds[3]);
    const int k = std::clamp(int(t * (landShades + 1)), 0, landShades);
    return k == 0 ? uint8_t(dcLand) : uint8_t(16 + seaShades + k - 1);
  }
  return bandColour[Band];
}

void FillDisc(TBitmap& B, int Cx, int Cy, int R, uint8_t Colour) {
  for (int y = std::max(0, Cy - R); y <= std::min(B.Height() - 1, Cy + R); ++y)
    for (int x = std::max(0, Cx - R); x <= std::min(B.Width() - 1, Cx + R); ++x)
      if ((x - Cx) * (x - Cx) + (y - Cy) * (y - Cy) <= R * R) B.ScanLine(y)[x] = Colour;
}

void DrawCross(TBitmap& B, int Cx, int Cy, int R, uint8_t Colour) {
  for (int d = -R; d <= R; ++d) {
    for (int k : {d, -d}) {
      const int x = Cx + d, y = Cy + k;
      if (x >= 0 && y >= 0 && x < B.Width() && y < B.Height()) B.ScanLine(y)[x] = Colour;
    }
  }
}

bool IsWater(uint8_t Index, int Colours) {
  return Index == dcDeep || Index == dcMedium || Index == dcShallow ||
         (Index >= 16 && Index < 16 + SeaShades(Colours));
}

// Buoys, lights and wrecks, placed on water where the map has some.
void DrawSymbols(TBitmap& B, TDemoRandom& Rng, int Colours) {
  const int w = B.Width(), h = B.Height();
  const int r = std::max(2, w / 500);
  const int count = std::min(200, 6 + int(int64_t(w) * h / 40000));
  for (int i = 0; i < count; ++i) {
    int x = 0, y = 0, tries = 0;
    do {
      x = int(Rng.Below(uint32_t(w)));
      y = int(Rng.Below(uint32_t(h)));
    } while (!IsWater(B.ScanLine(y)[x], Colours) && ++tries < 8);
    switch (Rng.Below(4)) {
      case 0:
        FillDisc(B, x, y, r, dcRed);
        break;
      case 1:
        FillDisc(B, x, y, r, dcGreen);
        break;
      case 2:
        FillDisc(B, x, y, r + 1, dcMagenta);
        FillDisc(B, x, y, std::max(1, r / 2), dcBlack);
        break;
      default:
        DrawCross(B, x, y, r + 1, dcBlack);
    }
  }
}

bool IsDark(uint8_t Index) {
  return Index == dcBlack || Index == dcContour || Index == dcGrid || Index == dcFrame ||
         Index == dcRed || Index == dcGreen || Index == dcMagenta;
}

}  // namespace

std::vector<TRGB> DemoPalette(int Bits, int Colours) {
  if (Bits == 1) return {BaseColours[dcDeep], BaseColours[dcBlack]};
  std::vector<TRGB> palette(BaseColours, BaseColours + 16);
  if (Bits == 4) return palette;
  const int seaShades = SeaShades(Colours), landShades = Colours - 16 - seaShades;
  for (int k = 1; k <= seaShades; ++k)
    palette.push_back(Mix(BaseColours[dcDeep], BaseColours[dcMedium], double(k) / (seaShades + 1)));
  for (int k = 1; k <= landShades; ++k)
    palette.push_back(
        Mix(BaseColours[dcLand], BaseColours[dcDarkLand], double(k) / (landShades + 1)));
  return palette;
}

TBitmap DrawDemoSheet(const TDemoSheetStyle& Style, int32_t Width, int32_t Height) {
  const int colours = Style.Bits == 8 ? std::clamp(Style.Colours, 16, 64) : 16;
  TBitmap canvas;
  canvas.SetPixelFormat(8);
  canvas.SetSize(Width, Height);
  TField field(Style.Seed);
  TDemoRandom rng(Style.Seed ^ 0x5A5A5A5Aull);
  const int frame = std::max(2, Width / 600);
  const int gridLines = 4 + int(rng.Below(3));
  const int gridStep = std::max(8, Width / gridLines);
  const int gridWidth = std::max(1, Width / 2500);

  const auto width = static_cast<size_t>(Width);
  std::vector<int> previous(width, -1), current(width);
  std::vector<double> u(width);
  for (int32_t x = 0; x < Width; ++x) u[size_t(x)] = (x + 0.5) / Width;
  for (int32_t y = 0; y < Height; ++y) {
    field.SetRow((y + 0.5) / Height);
    uint8_t* row = canvas.ScanLine(y);
    const bool gridRow = (y % gridStep) < gridWidth;
    for (int32_t x = 0; x < Width; ++x) {
      const double h = field.At(u[size_t(x)]);
      const int band = Band(h);
      current[size_t(x)] = band;
      const int left = x > 0 ? current[size_t(x) - 1] : band, above = previous[size_t(x)];
      uint8_t colour;
      if ((left != band || (above >= 0 && above != band)))
        colour = (std::max({band, left, above}) >= LandBand && std::min(band, left) < LandBand) ||
                         (above >= 0 && (above >= LandBand) != (band >= LandBand))
                     ? uint8_t(dcBlack)
                     : uint8_t(dcContour);
      else
        colour = FillColour(band, h, colours);
      if (gridRow || (x % gridStep) < gridWidth) colour = dcGrid;
      if (x < frame || y < frame || x >= Width - frame || y >= Height - frame) colour = dcFrame;
      row[x] = colour;
    }
    previous.swap(current);
  }
  DrawSymbols(canvas, rng, colours);
  if (Width > 120 && Height > 40 && !Style.Title.empty())
    TStampFont::Get(8).DrawText(canvas, frame + 4, frame + 3, Style.Title, dcBlack);

  if (Style.Bits == 8) {
    canvas.SetPalette(DemoPalette(8, colours));
    return canvas;
  }
  TBitmap out;
  out.SetPixelFormat(Style.Bits);
  out.SetSize(Width, Height);
  out.SetPalette(DemoPalette(Style.Bits, 16));
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* in = canvas.ScanLine(y);
    for (int32_t x = 0; x < Width; ++x)
      out.SetPixelIndex(x, y, Style.Bits == 1 ? uint8_t(IsDark(in[x])) : in[x]);
  }
  return out;
}
