#include "AppNotify.h"

#include <cxxabi.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <typeinfo>

#include "Exception.h"

namespace {

TExceptionHandler& Handler() {
  static TExceptionHandler handler;
  return handler;
}

std::string Demangle(const char* name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> d(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                           std::free);
  return status == 0 && d ? std::string(d.get()) : std::string(name);
}

}  // namespace

TExceptionInfo DescribeException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return {e.ClassName(), e.Message()};
  } catch (const std::exception& e) {
    return {Demangle(typeid(e).name()), e.what()};
  } catch (...) {
    return {"Exception", ""};
  }
}

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler) {
  TExceptionHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void HandleApplicationException(QObject* sender, std::exception_ptr error) {
  const TExceptionInfo info = DescribeException(error);
  if (Handler()) {
    try {
      Handler()(sender, info);
      return;
    } catch (...) {
      // The report itself failed: fall back to standard error below.
    }
  }
  std::cerr << info.ClassName << ": " << info.Message << std::endl;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleApplicationException(receiver, std::current_exception());
    return false;
  }
}
