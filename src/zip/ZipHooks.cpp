#include "ZipHooks.h"

#include <cstdio>

#include "ZipErrors.h"

namespace {

TZipMessageHook& MessageHook() {
  static TZipMessageHook hook;
  return hook;
}

TZipProcessMessagesHook& ProcessHook() {
  static TZipProcessMessagesHook hook;
  return hook;
}

TZipBusyHook& BusyHook() {
  static TZipBusyHook hook;
  return hook;
}

}  // namespace

void ZipFail(const char* Text) {
  throw EZipError(Text);
}

TZipMessageHook SetZipMessageHook(TZipMessageHook Hook) {
  TZipMessageHook old = std::move(MessageHook());
  MessageHook() = std::move(Hook);
  return old;
}

TZipProcessMessagesHook SetZipProcessMessagesHook(TZipProcessMessagesHook Hook) {
  TZipProcessMessagesHook old = std::move(ProcessHook());
  ProcessHook() = std::move(Hook);
  return old;
}

TZipBusyHook SetZipBusyHook(TZipBusyHook Hook) {
  TZipBusyHook old = std::move(BusyHook());
  BusyHook() = std::move(Hook);
  return old;
}

TZipBusy::TZipBusy() {
  if (BusyHook()) BusyHook()(true);
}

TZipBusy::~TZipBusy() {
  if (BusyHook()) BusyHook()(false);
}

int ZipMessageBox(const std::string& Text, const std::string& Caption, TZipButtons Buttons) {
  if (MessageHook()) return MessageHook()(Text, Caption, Buttons);
  std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
  return Buttons == TZipButtons::YesNo ? zmrYes : zmrOk;
}

void ZipProcessMessages() {
  if (ProcessHook()) ProcessHook()();
}
