// The stamp line: FreeType renders the font fontconfig finds for "Arial"
// without anti-aliasing, so every covered pixel takes one palette colour.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <map>
#include <memory>

#include "QvGraphics.h"

namespace {

constexpr int ScreenDpi = 96;

std::string FindFontFile(const char* Family) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return {};
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(Family));
  std::string file;
  if (pattern) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcChar8* name = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &name) == FcResultMatch && name)
      file = reinterpret_cast<const char*>(name);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
  }
  FcConfigDestroy(config);
  return file;
}

// Next code point of a UTF-8 text; malformed bytes come back as '?'.
char32_t NextCodePoint(const std::string& Text, size_t& Pos) {
  const auto b = uint8_t(Text[Pos++]);
  if (b < 0x80) return b;
  int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (more < 0) return U'?';
  char32_t cp = b & (0x3F >> more);
  for (; more > 0; --more) {
    if (Pos >= Text.size() || (uint8_t(Text[Pos]) & 0xC0) != 0x80) return U'?';
    cp = (cp << 6) | (uint8_t(Text[Pos++]) & 0x3F);
  }
  return cp;
}

}  // namespace

struct TStampFont::Impl {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  ~Impl() {
    if (Face) FT_Done_Face(Face);
    if (Library) FT_Done_FreeType(Library);
  }
};

TStampFont& TStampFont::Get(int PointSize) {
  static std::map<int, std::unique_ptr<TStampFont>> fonts;
  auto& font = fonts[PointSize];
  if (!font) font.reset(new TStampFont(PointSize));
  return *font;
}

TStampFont::TStampFont(int PointSize) : FImpl(new Impl) {
  const std::string file = FindFontFile("Arial");
  if (file.empty()) {
    delete FImpl;
    throw EGraphicsError("No font found for \"Arial\".");
  }
  if (FT_Init_FreeType(&FImpl->Library) != 0 ||
      FT_New_Face(FImpl->Library, file.c_str(), 0, &FImpl->Face) != 0 ||
      FT_Set_Char_Size(FImpl->Face, 0, PointSize * 64, ScreenDpi, ScreenDpi) != 0) {
    delete FImpl;
    throw EGraphicsError("Cannot load the font " + file + ".");
  }
  const FT_Size_Metrics& m = FImpl->Face->size->metrics;
  FAscent = int((m.ascender + 63) >> 6);
  FDescent = int((-m.descender + 63) >> 6);
}

TStampFont::~TStampFont() {
  delete FImpl;
}

int TStampFont::TextWidth(const std::string& Utf8Text) {
  int width = 0;
  for (size_t pos = 0; pos < Utf8Text.size();) {
    if (FT_Load_Char(FImpl->Face, NextCodePoint(Utf8Text, pos),
                     FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0)
      width += int(FImpl->Face->glyph->advance.x >> 6);
  }
  return width;
}

void TStampFont::DrawText(TBitmap& Bitmap, int X, int Y, const std::string& Utf8Text,
                          uint8_t Index) {
  const int baseline = Y + FAscent;
  int penX = X;
  for (size_t pos = 0; pos < Utf8Text.size();) {
    const char32_t cp = NextCodePoint(Utf8Text, pos);
    if (FT_Load_Char(FImpl->Face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME))
      continue;
    const FT_GlyphSlot glyph = FImpl->Face->glyph;
    const FT_Bitmap& bits = glyph->bitmap;
    if (bits.pixel_mode == FT_PIXEL_MODE_MONO) {
      for (unsigned gy = 0; gy < bits.rows; ++gy) {
        const int y = baseline - glyph->bitmap_top + int(gy);
        if (y < 0 || y >= Bitmap.Height()) continue;
        const unsigned char* src = bits.buffer + int64_t(gy) * bits.pitch;
        for (unsigned gx = 0; gx < bits.width; ++gx) {
          const int x = penX + glyph->bitmap_left + int(gx);
          if (x < 0 || x >= Bitmap.Width()) continue;
          if (src[gx >> 3] & (0x80 >> (gx & 7))) Bitmap.SetPixelIndex(x, y, Index);
        }
      }
    }
    penX += int(glyph->advance.x >> 6);
  }
}

namespace {
constexpr int StampPointSize = 8;
}

int StampTextHeight() {
  return TStampFont::Get(StampPointSize).TextHeight();
}

void DrawStampText(TBitmap& Bitmap, const std::string& Utf8Text) {
  if (Bitmap.BitsPerPixel() > 8) throw EGraphicsError("Conversion not supported.");
  TStampFont& font = TStampFont::Get(StampPointSize);
  // Only the entries the pixel format can address.
  std::vector<TRGB> palette = Bitmap.Palette();
  palette.resize(std::min<size_t>(palette.size(), size_t(1) << Bitmap.BitsPerPixel()));
  TNearestColour nearest(palette);
  font.DrawText(Bitmap, 0, Bitmap.Height() - font.TextHeight(), Utf8Text, nearest.Map(StampColour));
}
