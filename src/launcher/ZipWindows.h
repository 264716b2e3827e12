#pragma once
// The zip component has no windows of its own: its message boxes ("Zip
// Error", "File Exists Alert", the disk prompt), its hourglass and its "let
// pending events run" calls are connected here to the program's message box,
// the application's wait cursor and its event loop.

void ConnectZipToWindows();
