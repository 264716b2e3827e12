#pragma once
// Application-wide exception handling: an exception that escapes an event
// handler is caught in QApplication::notify and handed to the installed
// handler (the exception report); nothing is thrown through Qt, and the
// message loop goes on.

#include <QApplication>
#include <exception>
#include <functional>
#include <string>

struct TExceptionInfo {
  std::string ClassName;
  std::string Message;
};

// Class name and message of any exception: ours carry both, standard ones
// give their type name, anything else is an "Exception" without a message.
TExceptionInfo DescribeException(std::exception_ptr error);

using TExceptionHandler = std::function<void(QObject* sender, const TExceptionInfo& info)>;

// Installs the handler and returns the one installed before.
TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler);
// Passes an exception to the installed handler; without one it is written to
// standard error.
void HandleApplicationException(QObject* sender, std::exception_ptr error);

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};
