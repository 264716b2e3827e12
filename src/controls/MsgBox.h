#pragma once
// The one message box of the program: warnings, errors, information and
// yes/no questions, with the caption and the button texts in the library
// language of the moment the box is built.

#include <initializer_list>
#include <string>

#include "MsgDlgTypes.h"

// Shows the box modally and returns the modal result of the pressed button;
// closing the box by its title bar returns mrCancel.
int ShowMsgBox(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons,
               int helpContext = 0);
// The same with the caller's caption instead of the type's caption.
int ShowMsgBoxCaption(const std::string& caption, const std::string& message, TMsgDlgType type,
                      TMsgDlgButtons buttons, int helpContext = 0);

// The modal result a button returns (mrNone for Help).
int MsgButtonResult(TMsgDlgBtn button);
// The buttons of a set in the order they stand in the box, left to right.
std::initializer_list<TMsgDlgBtn> MsgButtonOrder();
// The caption of a button and of a message type in the current library language.
std::string MsgButtonCaption(TMsgDlgBtn button);
std::string MsgTypeCaption(TMsgDlgType type);
