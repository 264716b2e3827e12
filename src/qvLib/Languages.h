#pragma once
// The launcher's text table: every caption and message of the main window and
// the two wizards in English, Dutch and German, chosen by CurrentLanguage.
//
// Texts are UTF-8. A line break inside a text is a single carriage return
// ('\r'); a form that shows a text turns it into whatever its control needs.

#include <cstdint>
#include <string>

#include "TextIds.h"

// Text ids run from 0 to MaxTextId (TextIds.h names them).
inline constexpr uint8_t MaxTextId = txtNotEncrypted;
inline constexpr int TextCount = MaxTextId + 1;

// Display languages of the text table; the same numbers as the library
// language indexes (QvLanguage.h).
inline constexpr uint8_t TextEnglish = 1;
inline constexpr uint8_t TextDutch = 2;
inline constexpr uint8_t TextGerman = 3;

// The current display language: 1 English, 2 Dutch, 3 German, 0 while the main
// window has not yet read the setting (every text is then empty). Only the
// user-interface thread reads and writes it.
extern uint8_t CurrentLanguage;

// The text of Id in CurrentLanguage; empty for an id above MaxTextId, for a
// language other than 1 to 3 and for an id that has no text in the language.
std::string GetText(TTextId Id);

// The text of Id in the given language, without touching CurrentLanguage.
std::string GetTextIn(uint8_t Id, uint8_t Language);

// txtCannotConnect names the update server, which is a setting: its texts carry the
// place holder "%1" where the host name goes. This replaces every "%1" in
// Text by Argument.
std::string FormatText(const std::string& Text, const std::string& Argument);

// The maker's web address that the main window shows and opens (txtBrowserFailed
// quotes it for the case that no browser starts).
const char* MakerWebAddress();
