#pragma once
// The checks that a folder chosen in the folder dialog must pass before the
// dialog closes. No Qt here: the questions go through a callback.

#include <functional>
#include <optional>
#include <string>

#include "BrowseFolder.h"
#include "MsgBox.h"

// Shows a message and returns the modal result (ShowMsgBox in the dialog).
using TBrowseAsk =
    std::function<int(const std::string& Message, TMsgDlgType Type, TMsgDlgButtons Buttons)>;

// Typed: the text of the folder field; Selected: the folder selected in the
// tree (ending in "/", may be empty). Returns the accepted folder ending in
// "/", or nothing when the dialog is to stay open (after a warning, or a
// create question not answered Yes). Folders are created on a Yes.
std::optional<std::string> ConfirmBrowseFolder(const std::string& Typed,
                                               const std::string& Selected,
                                               TBrowseDirOptions Options, const TBrowseAsk& Ask);
