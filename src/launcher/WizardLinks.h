#pragma once
// Connects the main window to the two wizards and to the navigation
// program's chart folder, where those parts are built in.

void ConnectWizards();
