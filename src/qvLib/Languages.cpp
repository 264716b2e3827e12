#include "Languages.h"

#include "LanguagesTable.h"

uint8_t CurrentLanguage = 0;

namespace {

const TTextRow* RowsOf(uint8_t Language) {
  switch (Language) {
    case TextEnglish:
      return EnglishTexts;
    case TextDutch:
      return DutchTexts;
    case TextGerman:
      return GermanTexts;
    default:
      return nullptr;
  }
}

}  // namespace

std::string GetTextIn(uint8_t Id, uint8_t Language) {
  const TTextRow* rows = RowsOf(Language);
  if (rows == nullptr || Id > MaxTextId) return {};
  const char* text = rows[Id].Text;
  if (text == SameAsEnglish) text = EnglishTexts[Id].Text;
  return text;
}

std::string GetText(TTextId Id) {
  return GetTextIn(Id, CurrentLanguage);
}

std::string FormatText(const std::string& Text, const std::string& Argument) {
  static const std::string placeHolder = "%1";
  std::string result;
  size_t from = 0;
  for (size_t at = Text.find(placeHolder); at != std::string::npos;
       at = Text.find(placeHolder, from)) {
    result.append(Text, from, at - from).append(Argument);
    from = at + placeHolder.size();
  }
  return result.append(Text, from, std::string::npos);
}

const char* MakerWebAddress() {
  return ZARNAVIS_MAKER_WEB_ADDRESS;
}
