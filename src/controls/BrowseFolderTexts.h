#pragma once
// Texts of the folder dialog in the library languages (English, Dutch,
// German; the other library languages fall back to English).

#include "QvLanguage.h"

namespace BrowseFolderTexts {
extern const TLocalizedStrings LabelFolderName;
extern const TLocalizedStrings CaptionOpen;
extern const TLocalizedStrings CaptionSave;
extern const TLocalizedStrings NameNotValid;
extern const TLocalizedStrings PathNotFound;
extern const TLocalizedStrings FolderNotFound;
extern const TLocalizedStrings CreatePrompt;
extern const TLocalizedStrings FolderReadOnly;
extern const TLocalizedStrings CreateFailed;
extern const TLocalizedStrings RenameFailed;
extern const TLocalizedStrings TrashPrompt;
extern const TLocalizedStrings TrashFailed;
}  // namespace BrowseFolderTexts
