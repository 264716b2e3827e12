#include "BrowseFolderTexts.h"

namespace BrowseFolderTexts {
const TLocalizedStrings LabelFolderName = {"Folder &Name:", "Map&naam:", "Ordner&name:"};
const TLocalizedStrings CaptionOpen = {"Select sourcefolder..", "Selecteer bronmap..",
                                       "Quellordner wählen.."};
const TLocalizedStrings CaptionSave = {"Select destinationfolder..", "Selecteer doelmap..",
                                       "Zielordner wählen.."};
const TLocalizedStrings NameNotValid = {"This folder name is not valid.",
                                        "Deze mapnaam is niet geldig.",
                                        "Dieser Ordnername ist ungültig."};
const TLocalizedStrings PathNotFound = {
    "The path does not exist. Make sure that the correct path is given.",
    "Het pad bestaat niet. Controleer of het juiste pad is opgegeven.",
    "Der Pfad existiert nicht. Stellen Sie sicher, dass der richtige Pfad angegeben ist."};
const TLocalizedStrings FolderNotFound = {
    "This folder cannot be found. Make sure that the correct path and folder name are given.",
    "Deze map kan niet worden gevonden. Controleer of het juiste pad en de juiste mapnaam zijn "
    "opgegeven.",
    "Dieser Ordner wurde nicht gefunden. Stellen Sie sicher, dass der richtige Pfad und "
    "Ordnername angegeben sind."};
const TLocalizedStrings CreatePrompt = {
    "This folder does not exist. Do you want to create it?",
    "Deze map bestaat niet. Wilt u deze aanmaken?",
    "Dieser Ordner existiert nicht. Möchten Sie ihn erstellen?"};
const TLocalizedStrings FolderReadOnly = {
    "This folder is read-only. Please use a different name.",
    "Deze map is alleen-lezen. Gebruik a.u.b. een andere naam.",
    "Dieser Ordner ist schreibgeschützt. Bitte verwenden Sie einen anderen Namen."};
const TLocalizedStrings CreateFailed = {"This folder could not be created.",
                                        "Deze map kon niet worden aangemaakt.",
                                        "Dieser Ordner konnte nicht erstellt werden."};
const TLocalizedStrings RenameFailed = {"This folder could not be renamed.",
                                        "Deze map kon niet worden hernoemd.",
                                        "Dieser Ordner konnte nicht umbenannt werden."};
const TLocalizedStrings TrashPrompt = {"Do you want to move this folder to the trash?",
                                       "Wilt u deze map naar de prullenbak verplaatsen?",
                                       "Möchten Sie diesen Ordner in den Papierkorb verschieben?"};
const TLocalizedStrings TrashFailed = {"This folder could not be moved to the trash.",
                                       "Deze map kon niet naar de prullenbak worden verplaatst.",
                                       "Dieser Ordner konnte nicht in den Papierkorb verschoben "
                                       "werden."};
}  // namespace BrowseFolderTexts
