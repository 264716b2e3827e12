#include "UpdatePages.h"

TUpdatePage NextPage(TUpdatePage Page, TUpdateMode Mode) {
  switch (Page) {
    case TUpdatePage::Settings:
      return TUpdatePage::Charts;
    case TUpdatePage::Charts:
      return Downloading(Mode) ? TUpdatePage::Proxy : TUpdatePage::Summary;
    case TUpdatePage::Proxy:
      return TUpdatePage::Summary;
    case TUpdatePage::Summary:
      return TUpdatePage::Progress;
    case TUpdatePage::Progress:
      return TUpdatePage::Results;
    case TUpdatePage::Start:
    case TUpdatePage::Results:
      break;
  }
  return Page;
}

TUpdatePage PrevPage(TUpdatePage Page, TUpdateMode Mode) {
  switch (Page) {
    case TUpdatePage::Settings:
      return TUpdatePage::Start;
    case TUpdatePage::Charts:
      return TUpdatePage::Settings;
    case TUpdatePage::Proxy:
      return TUpdatePage::Charts;
    case TUpdatePage::Summary:
      return Downloading(Mode) ? TUpdatePage::Proxy : TUpdatePage::Charts;
    case TUpdatePage::Progress:
      return TUpdatePage::Summary;
    case TUpdatePage::Start:
    case TUpdatePage::Results:
      break;
  }
  return Page;
}

TUpdatePage PageAfterFailure(bool WayToServer, TUpdateMode Mode) {
  return WayToServer && Downloading(Mode) ? TUpdatePage::Proxy : TUpdatePage::Summary;
}
