#pragma once
// The geometry of a message box, computed from the font's measures alone so
// that it can be checked without a window.

#include <vector>

#include "MsgBox.h"

struct TMsgRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TMsgRect&) const = default;
};

struct TMsgBoxMetrics {
  int AvgCharWidth = 0;   // X: average width of the letters A-Z and a-z
  int CharHeight = 0;     // Y: the font's character height
  int TextWidth = 0;      // the word-wrapped message's bounding width
  int TextHeight = 0;     // and height
  bool HasIcon = false;   // the types warning to confirmation show a 32 x 32 icon
  int WidestCaption = 0;  // widest caption among the buttons of the set
};

struct TMsgBoxButtonPlace {
  TMsgDlgBtn Button;
  TMsgRect Rect;
};

struct TMsgBoxLayout {
  int ClientWidth = 0;
  int ClientHeight = 0;
  TMsgRect Icon;  // empty without an icon
  TMsgRect Text;
  std::vector<TMsgBoxButtonPlace> Buttons;  // left to right
  int DefaultResult = mrNone;               // result of the default button (Enter), mrNone if none
  int CancelResult = mrNone;                // result of the cancel button (Escape), mrNone if none
};

TMsgBoxLayout ComputeMsgBoxLayout(const TMsgBoxMetrics& m, TMsgDlgButtons buttons);

// The default button: OK if present, else Yes, else Retry.
int MsgDefaultButton(TMsgDlgButtons buttons);
// The cancel button: Cancel if present, else No, else OK. -1 when none.
int MsgCancelButton(TMsgDlgButtons buttons);
