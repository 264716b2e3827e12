// Captions of message boxes, from the library tables in the library language.
#include "MsgBox.h"
#include "QvLanguage.h"

std::string MsgButtonCaption(TMsgDlgBtn button) {
  using namespace LibraryTexts;
  static const TLocalizedStrings* const tables[] = {
      &ButtonYes,    &ButtonNo,  &ButtonOK,      &ButtonCancel,   &ButtonAbort, &ButtonRetry,
      &ButtonIgnore, &ButtonAll, &ButtonNoToAll, &ButtonYesToAll, &ButtonHelp};
  return LocalizedString(*tables[button]);
}

std::string MsgTypeCaption(TMsgDlgType type) {
  using namespace LibraryTexts;
  switch (type) {
    case mtWarning:
      return LocalizedString(CaptionWarning);
    case mtError:
      return LocalizedString(CaptionError);
    case mtInformation:
      return LocalizedString(CaptionInformation);
    case mtConfirmation:
      return LocalizedString(CaptionConfirm);
    case mtCustom:
      break;
  }
  return std::string();
}
