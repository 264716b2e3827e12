#include "InstallPages.h"

TInstallPage NextPage(TInstallPage Page) {
  switch (Page) {
    case TInstallPage::License:
      return TInstallPage::Folders;
    case TInstallPage::Folders:
      return TInstallPage::Charts;
    case TInstallPage::Charts:
      return TInstallPage::Summary;
    case TInstallPage::Summary:
    case TInstallPage::Run:
      return TInstallPage::Run;
  }
  return Page;
}

TInstallPage PrevPage(TInstallPage Page) {
  switch (Page) {
    case TInstallPage::Folders:
      return TInstallPage::License;
    case TInstallPage::Charts:
      return TInstallPage::Folders;
    case TInstallPage::Summary:
      return TInstallPage::Charts;
    case TInstallPage::License:
    case TInstallPage::Run:
      break;
  }
  return Page;
}
