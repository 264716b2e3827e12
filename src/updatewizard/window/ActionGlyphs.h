#pragma once
// The pictures of the update wizard's three action buttons, drawn here:
// an arrow from the server onto a chart (download and apply), an arrow onto
// a disk (download only), and a disk's update going onto a chart (apply).

#include <QPixmap>

enum class TActionGlyph { DownloadAndApply, Download, Apply };

// Size x Size pixels, on a transparent ground.
QPixmap MakeActionGlyph(TActionGlyph Glyph, int Size = 40);
