// German texts of the launcher's text table.

#include "LanguagesTable.h"

namespace {

constexpr TTextRow kGerman[] = {
    {0, "OK"},
    {1, "Abbrechen"},
    {2, "Beenden"},
    {3, "ZRN Edition "},
    {4, "&Weiter >"},
    {5, "< &Zurück"},
    {6, "Installieren"},
    {7, "Durchsuchen..."},
    {8, "Größe"},
    {9, "Kartensätze"},
    {10, "&Ja"},
    {11, "Ja für &alle"},
    {12, "&Nein"},
    {13, "Wollen Sie die bestehende Datei:"},
    {14, "ersetzen durch die Datei:"},
    {15, "aktualisieren mit dem BaZ-Update vom:"},
    {16, "Ordner der Originalkarten:"},
    {17, "Ordner der installierten Karten:"},
    {18, "Speicherorte"},
    {19, "Ordner für Updates:"},
    {20, "Ordner für Updates:"},
    {21, "&Aktualisieren"},
    {22, "von"},
    {23, "Gesamtfortschritt"},
    {24, "Gesamte Installation"},
    {25,
     "Kein nationaler hydrographischer Dienst und keine autorisierte\r"
     "Behörde hat die Karteninformationen in diesem Produkt geprüft,\r"
     "und keiner übernimmt die Haftung für die Genauigkeit der Wieder-\r"
     "gabe oder für später vorgenommene Änderungen. Dieses Produkt\r"
     "entbindet nicht von der Pflicht, für die Navigation die entspre-\r"
     "chenden amtlichen Produkte nach den nationalen und internatio-\r"
     "nalen Vorschriften zu verwenden\r\r"},
    {26, "Zarnavis"},
    {27, "Lizenzvereinbarung"},
    {28,
     "Hier geben Sie den Ordner der Originalkarten an. Normalerweise ist dies\r"
     "die \"Zarnavis\"-CD-ROM, Sie können aber auch einen anderen\r"
     "Ort wählen. Hier wählen Sie auch den Ordner, in den die Karten\r"
     "installiert werden."},
    {29, "Ordner, in den die Karten installiert werden:"},
    {30, "Karten installieren"},
    {31,
     "Die Kartensätze in der Liste unten sind freigeschaltet. In dieser Liste können\r"
     "Sie die Kartensätze wählen, die Sie installieren möchten. Sie können auch die\r"
     "Auflösung wählen, in der die Kartensätze installiert werden."},
    {32, ""},
    {33, ""},
    {34,
     "Die folgenden Installationsoptionen wurden gewählt. Wählen Sie \"Installieren\", um\r"
     "fortzufahren, oder \"Zurück\", um die Optionen zu ändern."},
    {35, "Die folgenden Kartensätze werden installiert in "},
    {36, "Originalordner"},
    {37, "Auflösung des Kartensatzes (dpi): "},
    {38, "Auflösung"},
    {39, "Installationsordner"},
    {40, "Die folgenden Kartensätze wurden installiert:"},
    {41, "Ordner für Updates"},
    {42, ""},
    {43, ""},
    {44, ""},
    {45, "Koppix Pro installieren"},
    {46, ""},
    {47, "Karten installieren"},
    {48, "BaZ herunterladen und aktualisieren"},
    {49, "Legende"},
    {50, "Hilfe"},
    {51,
     "Kartendaten wiedergegeben mit Genehmigung des nationalen hydrographischen Dienstes. "
     "Nicht anstelle der amtlichen Seekarten zur Navigation verwenden."},
    {52, "Zarnavis, Edition "},
    {53, "Es gibt bereits eine Karte mit dem Namen "},
    {54,
     "Wenn Sie diese Karte überschreiben, gehen alle bisher auf diese Karte angewandten "
     "\"BaZ-Updates\" verloren."},
    {55, "Wollen Sie die Installation dieses Kartensatzes wirklich abbrechen?"},
    {56,
     "Es wurden keine Kartensätze gewählt, wählen Sie mindestens 1 Kartensatz, um fortzufahren."},
    {57, ""},
    {58, "Es wurden keine Originalkarten (*.zra) gefunden für die Edition "},
    {59, "Nicht genügend freier Speicherplatz auf "},
    {60, "Es wurde kein Ordner der Originaldateien angegeben."},
    {61, "Ungültiger Installationsordner angegeben."},
    {62, "Dieser Ordner existiert nicht. Wollen Sie diesen Ordner anlegen?"},
    {63, "Der Ordner konnte nicht angelegt werden."},
    {64, ""},
    {65, "Kein Proxyserver angegeben, bitte geben Sie einen Proxyserver an."},
    {66, ""},
    {67,
     "Es wurden keine installierten Karten (*.bmp) gefunden.\r"
     "Prüfen Sie, ob die angegebenen Speicherorte stimmen"},
    {68, "Verbinden mit "},
    {69, "Verbunden mit "},
    {70, "Name und Kennwort werden geprüft..."},
    {71, "Sie sind noch mit dem Internet verbunden, wollen Sie die Verbindung trennen?"},
    {72, "Verbinden mit "},
    {73, "Keine Verbindung mit %1 möglich.\rBitte versuchen Sie es später noch einmal."},
    {74, "Die auf Ihrem System installierten Karten sind auf dem neuesten Stand."},
    {75, "Die Datei mit den Update-Informationen wird heruntergeladen."},
    {76, "Getrennt von "},
    {77, "Herunterladen von "},
    {78, "FTP-Server gefunden "},
    {79, "Die Datei mit den Update-Informationen wird verarbeitet."},
    {80, "Die herunterzuladenden Dateien werden ausgewählt."},
    {81, "BaZ-Updates werden verarbeitet."},
    {82, "Aktualisierung der Karten abgeschlossen."},
    {83, "Gesamtzahl der Karten "},
    {84, "Gesamtzahl aktualisiert "},
    {85, "Das Installationsprogramm von Koppix Pro konnte nicht gestartet werden."},
    {86,
     "Der Browser konnte nicht automatisch gestartet werden.\rSie finden Quorvel "
     "unter:\r\r" ZARNAVIS_MAKER_WEB_ADDRESS "."},
    {87, ""},
    {88, "Aktualisiere "},
    {89,
     "Bitte legen Sie den Update-Datenträger in das Laufwerk ein und drücken Sie OK, um "
     "fortzufahren."},
    {90,
     "Bitte legen Sie einen leeren Datenträger in das Laufwerk ein und drücken Sie OK, um "
     "fortzufahren."},
    {91, "Am angegebenen Ort wurden keine Updates gefunden."},
    {92, "Dieser Ort enthält bereits BaZ-Updates. Wollen Sie sie überschreiben?"},
    {93, "Gesamtfortschritt"},
    {94, "Updates werden in den Ordner kopiert."},
    {95, " Karten aktualisiert."},
    {96,
     "Die BaZ-Updates wurden erfolgreich heruntergeladen und am Speicherort für Updates "
     "gespeichert."},
    {97,
     "Zum Aktualisieren wird eine Internetverbindung benötigt, es wurde aber keine Verbindung "
     "gefunden."},
    {98, "Ungültiger Ordner für Updates angegeben."},
    {99,
     "Dieser Ort enthält keine BaZ-Updates, bitte legen Sie den ersten Update-Datenträger ein."},
    {100,
     "Bitte legen Sie den ersten Datenträger erneut ein und klicken Sie auf OK, um "
     "fortzufahren."},
    {101, "Bitte legen Sie Datenträger "},
    {102, " ein und klicken Sie auf OK, um fortzufahren."},
    {103, "Verarbeite "},
    {104,
     "Legen Sie einen leeren Datenträger in das Laufwerk ein und klicken Sie auf OK, um "
     "fortzufahren."},
    {105, "Gesamtfortschritt des Downloads"},
    {106,
     "Sie haben einen ungültigen Benutzernamen oder ein ungültiges Kennwort eingegeben.\r"
     "Bitte prüfen Sie die Einstellungen und versuchen Sie es noch einmal"},
    {107, "Das Modem ist nicht bereit. Prüfen Sie Ihr Modem und versuchen Sie es noch einmal"},
    {108, "Es ist kein Wählton vorhanden. Prüfen Sie Ihr Modem und versuchen Sie es noch einmal"},
    {109, "Die Verbindung des Anschlusses wurde getrennt"},
    {110, "Die Verbindung des Anschlusses wurde von der Gegenstelle getrennt"},
    {111, "Die Verbindung des Anschlusses wurde wegen eines Hardwarefehlers getrennt"},
    {112, "Die Verbindung des Anschlusses wurde vom Benutzer getrennt"},
    {113, ""},
    {114, "Die folgenden Karten wurden aktualisiert:"},
    {115,
     "In diesem Fenster können Sie die Speicherorte der Originalkarten und\r"
     "der installierten Karten ändern. Sie können hier auch die Interneteinstellungen ändern."},
    {116,
     "In diesem Fenster können Sie den Ort ändern, an den Ihre BaZ-Updates\r"
     "heruntergeladen werden sollen. Sie können hier auch die Interneteinstellungen ändern."},
    {117,
     "In diesem Fenster können Sie die Speicherorte der Originalkarten, der\r"
     "installierten Karten und der BaZ-Updates ändern."},
    {118, "Proxyserver verwenden"},
    {119, "Server:"},
    {120, "Port:"},
    {121,
     "In der Liste unten sehen Sie die installierten Kartensätze. In dieser Liste\r"
     "können Sie die Karten wählen, die Sie aktualisieren möchten."},
    {122,
     "In der Liste unten können Sie die Kartensätze wählen, für die Sie die Updates\r"
     "herunterladen möchten."},
    {123,
     "Die folgenden Update-Optionen wurden gewählt. Wählen Sie \"Aktualisieren\", um\r"
     "die Karten zu aktualisieren, oder \"Zurück\", um die Optionen zu ändern."},
    {124, "BaZ-Updates herunterladen und anwenden"},
    {125, "BaZ-Updates herunterladen"},
    {126, "BaZ-Updates anwenden"},
    {127, "Zu aktualisierende Kartensätze:"},
    {128, "Wählen Sie Ihre BaZ-Aktion"},
    {129, "BaZ herunterladen und anwenden"},
    {130, "BaZ herunterladen"},
    {131, "BaZ anwenden"},
    {132, "Internetverbindung"},
    {133, "<Keine Verbindung verfügbar>"},
    {134, "Direkte Internetverbindung wird verwendet."},
    {135, "DFÜ-Verbindung"},
    {136, "DFÜ-Verbindung:"},
    {137, "Proxyserver"},
    {138, "Direkte Verbindung"},
    {139, "Verbindung:"},
    // The proxy page shows its English texts in German too.
    {140, SameAsEnglish},
    {141, SameAsEnglish},
    {142, SameAsEnglish},
    {143, SameAsEnglish},
    {144, SameAsEnglish},
    {145, SameAsEnglish},
    {146, SameAsEnglish},
    {147, SameAsEnglish},
    {148, SameAsEnglish},
    {149, SameAsEnglish},
    {150, "SOCKS"},
};
static_assert(RowsCoverEveryId(kGerman));

}  // namespace

const TTextRow* const GermanTexts = kGerman;
