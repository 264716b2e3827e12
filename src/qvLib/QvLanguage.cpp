#include "QvLanguage.h"

#include "QvRegistry.h"
#include "TextUtils.h"

namespace {

// Indexes 1 to 8 as bits 1 to 8.
constexpr TLanguageSet kValidLanguageBits = 0x01FE;

TLanguageSet gAvailable = LanguageBit(LanguageEnglish);
uint8_t gLibraryLanguage = LanguageEnglish;

struct TLanguageNames {
  const char* Name;
  const char* NativeName;
};

constexpr TLanguageNames kNames[LanguageCount] = {
    {"English", "English"}, {"Dutch", "Nederlands"}, {"German", "Deutsch"}, {"French", "Français"},
    {"Spanish", "Español"}, {"Italian", "Italiano"}, {"Danish", "Dansk"},   {"Swedish", "Svensk"},
};

bool IsLanguageIndex(uint8_t Index) {
  return Index >= 1 && Index <= LanguageCount;
}

bool InSet(TLanguageSet Set, uint8_t Index) {
  return IsLanguageIndex(Index) && (Set & LanguageBit(Index)) != 0;
}

uint8_t LowestIn(TLanguageSet Set) {
  for (uint8_t i = 1; i <= LanguageCount; ++i) {
    if (InSet(Set, i)) return i;
  }
  return 0;
}

int CountIn(TLanguageSet Set) {
  int count = 0;
  for (uint8_t i = 1; i <= LanguageCount; ++i) count += InSet(Set, i) ? 1 : 0;
  return count;
}

// The language to take when the dialog cannot decide: the default when it is
// offered, else the lowest offered one.
uint8_t FallbackLanguage(TLanguageSet Available, uint8_t DefaultLanguage) {
  if (InSet(Available, DefaultLanguage)) return DefaultLanguage;
  const uint8_t lowest = LowestIn(Available);
  return lowest != 0 ? lowest : LanguageEnglish;
}

}  // namespace

void SetAvailableLanguages(TLanguageSet Set) {
  Set &= kValidLanguageBits;
  if (Set == 0) Set = LanguageBit(LanguageEnglish);
  if (Set == gAvailable) return;
  gAvailable = Set;
  if (!InSet(gAvailable, gLibraryLanguage)) gLibraryLanguage = LowestIn(gAvailable);
}

TLanguageSet AvailableLanguages() {
  return gAvailable;
}

bool IsLanguageAvailable(uint8_t Index) {
  return InSet(gAvailable, Index);
}

std::vector<uint8_t> AvailableLanguageList() {
  std::vector<uint8_t> list;
  for (uint8_t i = 1; i <= LanguageCount; ++i) {
    if (InSet(gAvailable, i)) list.push_back(i);
  }
  return list;
}

uint8_t SelectLanguage(uint8_t Index) {
  gLibraryLanguage = IsLanguageIndex(Index) ? Index : LanguageEnglish;
  return gLibraryLanguage;
}

uint8_t LibraryLanguage() {
  return gLibraryLanguage;
}

std::string LanguageName(uint8_t Index) {
  return IsLanguageIndex(Index) ? kNames[Index - 1].Name : "";
}

std::string LanguageNativeName(uint8_t Index) {
  return IsLanguageIndex(Index) ? kNames[Index - 1].NativeName : "";
}

uint8_t LanguageFromName(const std::string& Name) {
  for (uint8_t i = LanguageCount; i >= 1; --i) {
    if (SameText(Name, kNames[i - 1].Name)) return i;
  }
  return 0;
}

std::string LocalizedString(const TLocalizedStrings& Table, uint8_t Language) {
  const char* text = IsLanguageIndex(Language) ? Table[Language - 1] : nullptr;
  if (text == nullptr || *text == '\0') text = Table[LanguageEnglish - 1];
  return text != nullptr ? text : "";
}

std::string LocalizedString(const TLocalizedStrings& Table) {
  return LocalizedString(Table, gLibraryLanguage);
}

TLanguageChoice DecideStartupLanguage(TLanguageSet Available, uint8_t DefaultLanguage,
                                      const TLanguageNameReader& ReadStoredName,
                                      const TLanguageDialog& Dialog) {
  Available &= kValidLanguageBits;
  TLanguageChoice choice;
  choice.Accepted = true;
  if (CountIn(Available) < 2) {
    choice.Language = DefaultLanguage;
    return choice;
  }
  const std::string stored = ReadStoredName ? ReadStoredName(LanguageName(DefaultLanguage))
                                            : LanguageName(DefaultLanguage);
  uint8_t language = LanguageFromName(stored);
  if (!InSet(Available, language)) {
    if (Dialog) {
      if (!Dialog(Available, language)) return TLanguageChoice{};
    }
    // A dialog that answers OK without an offered language cannot be what
    // the user meant; so neither can no dialog at all.
    if (!InSet(Available, language)) language = FallbackLanguage(Available, DefaultLanguage);
  }
  choice.Language = language;
  choice.StoreName = true;
  choice.Name = LanguageName(language);
  return choice;
}

bool ChooseStartupLanguage(uint8_t DefaultLanguage, const TLanguageDialog& Dialog) {
  static const char* const subKey = "International";
  static const char* const valueName = "Language";
  const TLanguageChoice choice = DecideStartupLanguage(
      AvailableLanguages(), DefaultLanguage,
      [](const std::string& Default) { return RegReadString(rkUser, subKey, valueName, Default); },
      Dialog);
  if (!choice.Accepted) return false;
  SelectLanguage(choice.Language);
  if (choice.StoreName) RegWriteString(rkUser, subKey, valueName, LanguageName(LibraryLanguage()));
  return true;
}

// The captions of message boxes and dialogs. Only the offered languages
// English, Dutch and German have entries; the others fall back to English.
namespace LibraryTexts {
const TLocalizedStrings CaptionWarning = {"Warning", "Waarschuwing", "Warnung"};
const TLocalizedStrings CaptionError = {"Error", "Fout", "Fehler"};
const TLocalizedStrings CaptionInformation = {"Information", "Informatie", "Information"};
const TLocalizedStrings CaptionConfirm = {"Confirm", "Bevestiging", "Bestätigung"};
const TLocalizedStrings ButtonYes = {"&Yes", "&Ja", "&Ja"};
const TLocalizedStrings ButtonNo = {"&No", "&Nee", "&Nein"};
const TLocalizedStrings ButtonOK = {"OK", "OK", "OK"};
const TLocalizedStrings ButtonCancel = {"Cancel", "Annuleren", "Abbrechen"};
const TLocalizedStrings ButtonAbort = {"&Abort", "&Afbreken", "&Abbrechen"};
const TLocalizedStrings ButtonRetry = {"&Retry", "&Opnieuw", "&Wiederholen"};
const TLocalizedStrings ButtonIgnore = {"&Ignore", "&Negeren", "&Ignorieren"};
const TLocalizedStrings ButtonAll = {"&All", "&Alle", "&Alles"};
const TLocalizedStrings ButtonNoToAll = {"N&o to All", "N&ee op alles", "N&ein zu Allem"};
const TLocalizedStrings ButtonYesToAll = {"Yes to &All", "Ja op &alles", "Ja zu &Allem"};
const TLocalizedStrings ButtonHelp = {"&Help", "&Help", "&Hilfe"};
}  // namespace LibraryTexts
