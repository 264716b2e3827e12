#pragma once
// The runs of zrnupdate: each returns the exit status.

#include "TerminalView.h"
#include "ZrnUpdateOptions.h"

int RunApply(const TZrnUpdateOptions& Options, TTerminalView& View);
int RunDownload(const TZrnUpdateOptions& Options, TTerminalView& View);

// Tells a failure on standard error; returns 1.
int FailRun(TTerminalView& View, const std::string& Message);
// The results lines of an applying run, on standard output.
void PrintResults(const std::vector<std::string>& Results);
