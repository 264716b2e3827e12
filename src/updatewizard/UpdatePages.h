#pragma once
// The update wizard's pages and their order, without a window. The start
// page offers the three actions, each of which chooses a mode and leads to
// the folders; then come the chart sets, the proxy (only when the mode
// downloads), the summary, the run's progress and its results. The window
// keeps the page it shows and goes where these functions say.

#include "UpdateSettings.h"

enum class TUpdatePage { Start, Settings, Charts, Proxy, Summary, Progress, Results };

// Where Next leads from Page in Mode once the page's check has passed: from
// the summary to the run's progress, from the progress to the results.
// Page itself where Next leads nowhere (the start page, whose actions lead
// on, and the results, which end the wizard).
TUpdatePage NextPage(TUpdatePage Page, TUpdateMode Mode);

// Where Back leads from Page in Mode; Page itself on the start page and on
// the results.
TUpdatePage PrevPage(TUpdatePage Page, TUpdateMode Mode);

// The page a failed run goes back to: the proxy page when the way to the
// server was at fault (WayToServer) and the mode has that page, else the
// summary, from which the run starts again.
TUpdatePage PageAfterFailure(bool WayToServer, TUpdateMode Mode);
