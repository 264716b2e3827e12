#include "HTMLHelper.h"

#include <QVariant>
#include <QWidget>
#include <memory>

#include "Shell.h"

namespace {
std::unique_ptr<THTMLHelper>& Holder() {
  static std::unique_ptr<THTMLHelper> holder;
  return holder;
}
}  // namespace

THTMLHelper& THTMLHelper::Instance() {
  if (!Holder()) Holder().reset(new THTMLHelper());
  return *Holder();
}

bool THTMLHelper::Exists() {
  return Holder() != nullptr;
}

int THTMLHelper::HelpContextOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const QVariant v = w->property("HelpContext");
    if (v.isValid() && v.toInt() != 0) return v.toInt();
  }
  return 0;
}

bool THTMLHelper::HelpRequest(const QWidget* widget) {
  ++FRequests;
  return ShowHelpContext(HelpContextOf(widget));
}

bool THTMLHelper::ShowHelpContext(int context) {
  if (context == 0 || FHelpFile.empty()) return false;
  // The help files are documents for the desktop's viewer, which has no way
  // to jump to a topic number; it opens the file.
  return ShellOpen(FHelpFile, "", "");
}
