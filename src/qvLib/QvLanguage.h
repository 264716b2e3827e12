#pragma once
// The library's language layer: the eight languages the library knows, the set
// that this program offers, the library's current language, the captions of
// message boxes and dialogs, and the choice of the language at start-up.
//
// Language indexes run from 1 to 8 (0 means "none"); an index is also the
// place of the language's flag in the language dialog, counted from 0 as
// index minus 1. Only the user-interface thread uses this layer.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr uint8_t LanguageEnglish = 1;
inline constexpr uint8_t LanguageDutch = 2;
inline constexpr uint8_t LanguageGerman = 3;
inline constexpr uint8_t LanguageFrench = 4;
inline constexpr uint8_t LanguageSpanish = 5;
inline constexpr uint8_t LanguageItalian = 6;
inline constexpr uint8_t LanguageDanish = 7;
inline constexpr uint8_t LanguageSwedish = 8;
inline constexpr uint8_t LanguageCount = 8;

// A set of languages: bit i stands for index i; bit 0 is never set.
using TLanguageSet = uint16_t;
inline constexpr TLanguageSet LanguageBit(uint8_t Index) {
  return static_cast<TLanguageSet>(1u << Index);
}
// English, Dutch and German: the languages this program offers.
inline constexpr TLanguageSet ProgramLanguages =
    LanguageBit(LanguageEnglish) | LanguageBit(LanguageDutch) | LanguageBit(LanguageGerman);

// Sets the offered languages. A word of 0 or 1 means English only; bit 0 and
// bits above 8 are dropped. When the library language is not in the new set,
// the lowest offered index becomes the library language.
void SetAvailableLanguages(TLanguageSet Set);
TLanguageSet AvailableLanguages();
bool IsLanguageAvailable(uint8_t Index);
// The offered indexes in ascending order (the order of the language dialog).
std::vector<uint8_t> AvailableLanguageList();

// Makes Index the library language and returns it. 0, and any index outside 1
// to 8, is taken as 1. The offered set is not checked.
uint8_t SelectLanguage(uint8_t Index);
uint8_t LibraryLanguage();

// The name stored in the settings ("English", "Dutch", ...) and the language's
// own name ("English", "Nederlands", ...); empty outside 1 to 8.
std::string LanguageName(uint8_t Index);
std::string LanguageNativeName(uint8_t Index);
// The index of a stored name, compared without regard to (ASCII) case; 0 when
// the name is not one of the eight.
uint8_t LanguageFromName(const std::string& Name);

// A localised string of the library: one entry per language index 1 to 8
// (array position index minus 1). An empty entry falls back to English.
using TLocalizedStrings = std::array<const char*, LanguageCount>;

namespace LibraryTexts {
extern const TLocalizedStrings CaptionWarning;
extern const TLocalizedStrings CaptionError;
extern const TLocalizedStrings CaptionInformation;
extern const TLocalizedStrings CaptionConfirm;
extern const TLocalizedStrings ButtonYes;
extern const TLocalizedStrings ButtonNo;
extern const TLocalizedStrings ButtonOK;
extern const TLocalizedStrings ButtonCancel;
extern const TLocalizedStrings ButtonAbort;
extern const TLocalizedStrings ButtonRetry;
extern const TLocalizedStrings ButtonIgnore;
extern const TLocalizedStrings ButtonAll;
extern const TLocalizedStrings ButtonNoToAll;
extern const TLocalizedStrings ButtonYesToAll;
extern const TLocalizedStrings ButtonHelp;
}  // namespace LibraryTexts

// The entry of the library language, or the English one when that is empty.
std::string LocalizedString(const TLocalizedStrings& Table);
// The entry of Language (English for 0 or an index outside 1 to 8), for a
// dialog that shows a language the user has not yet confirmed.
std::string LocalizedString(const TLocalizedStrings& Table, uint8_t Language);

// ---- Choice of the language at start-up ----

// Shows the language dialog with the offered languages and Language
// preselected (0: nothing selected). Returns false when the user cancels;
// on OK returns true with the chosen index in Language.
using TLanguageDialog = std::function<bool(TLanguageSet Available, uint8_t& Language)>;
// Reads the stored language name; returns Default when none is stored.
using TLanguageNameReader = std::function<std::string(const std::string& Default)>;

struct TLanguageChoice {
  bool Accepted = false;   // false: the dialog was cancelled, the program must end
  uint8_t Language = 0;    // the language to select when accepted
  bool StoreName = false;  // whether Name is to be written back to the settings
  std::string Name;        // the canonical stored name of Language
};

// Decides the start-up language without touching any state: with fewer than
// two offered languages the default is taken and the settings are left alone;
// otherwise the stored name is read, and the dialog is shown when that
// language is not offered. Without a dialog (an empty callback), the default
// language is taken when offered, else the lowest offered one.
TLanguageChoice DecideStartupLanguage(TLanguageSet Available, uint8_t DefaultLanguage,
                                      const TLanguageNameReader& ReadStoredName,
                                      const TLanguageDialog& Dialog);

// The start-up choice against the settings: reads "Language" under
// "International" of the user's program key, shows the dialog when needed,
// selects the language and writes its canonical name back. Returns false
// when the user cancelled the dialog (the program then ends). Registry write
// failures raise ERegistryException.
bool ChooseStartupLanguage(uint8_t DefaultLanguage, const TLanguageDialog& Dialog);
