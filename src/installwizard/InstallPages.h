#pragma once
// The installation wizard's pages and their order, without a window:
// licence, folders, chart sets, summary, and then the run, during which no
// page is shown (the run shows its progress panel). The wizard has one
// order for every run. The window keeps the page it shows and goes where
// these functions say.

enum class TInstallPage { License, Folders, Charts, Summary, Run };

// Where Next leads from Page once the page's check has passed: from the
// summary to the run. The run itself leads nowhere.
TInstallPage NextPage(TInstallPage Page);

// Where Back leads from Page; Page itself on the licence page and during
// the run.
TInstallPage PrevPage(TInstallPage Page);
