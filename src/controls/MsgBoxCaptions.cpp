// Captions of message boxes in the library language.
#include <array>

#include "MsgBox.h"

namespace {

// Entries 1 to 3: English, Dutch, German.
using TCaptions = std::array<const char*, 3>;

const TCaptions kTypeCaptions[] = {
    {"Warning", "Waarschuwing", "Warnung"},
    {"Error", "Fout", "Fehler"},
    {"Information", "Informatie", "Information"},
    {"Confirm", "Bevestiging", "Best\xC3\xA4tigung"},
};

const TCaptions kButtonCaptions[] = {
    {"&Yes", "&Ja", "&Ja"},
    {"&No", "&Nee", "&Nein"},
    {"OK", "OK", "OK"},
    {"Cancel", "Annuleren", "Abbrechen"},
    {"&Abort", "&Afbreken", "&Abbrechen"},
    {"&Retry", "&Opnieuw", "&Wiederholen"},
    {"&Ignore", "&Negeren", "&Ignorieren"},
    {"&All", "&Alle", "&Alles"},
    {"N&o to All", "N&ee op alles", "N&ein zu Allem"},
    {"Yes to &All", "Ja op &alles", "Ja zu &Allem"},
    {"&Help", "&Help", "&Hilfe"},
};

int Language() {
  return 1;
}

}  // namespace

std::string MsgButtonCaption(TMsgDlgBtn button) {
  return kButtonCaptions[button][Language() - 1];
}

std::string MsgTypeCaption(TMsgDlgType type) {
  if (type == mtCustom) return std::string();
  return kTypeCaptions[type][Language() - 1];
}
