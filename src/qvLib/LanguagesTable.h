#pragma once
// The rows of the text table, one array per language. Internal to the
// Languages unit; everyone else asks GetText.

#include <cstddef>
#include <cstdint>

#include "Languages.h"

#define ZARNAVIS_MAKER_WEB_ADDRESS "http://www.quorvel.example.com"

struct TTextRow {
  TTextId Id;
  const char* Text;  // "" where the language has no text for the id
};

// A row whose text is this marker shows the English text of the same id: the
// proxy page was never translated into German.
inline constexpr char SameAsEnglish[] = "\x01";

// True when Rows holds exactly the ids 0 to MaxTextId, each in its place, so
// that a forgotten or doubled row fails the build instead of shifting texts.
template <size_t N>
constexpr bool RowsCoverEveryId(const TTextRow (&Rows)[N]) {
  if (N != static_cast<size_t>(TextCount)) return false;
  for (size_t i = 0; i < N; ++i) {
    if (Rows[i].Id != i) return false;
  }
  return true;
}

extern const TTextRow* const EnglishTexts;
extern const TTextRow* const DutchTexts;
extern const TTextRow* const GermanTexts;
