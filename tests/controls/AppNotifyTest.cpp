#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <stdexcept>

#include "AppNotify.h"
#include "Exception.h"
#include "TestApplication.h"

namespace {

ZARNAVIS_DECLARE_EXCEPTION(ETestError, Exception);

}  // namespace

TEST(AppNotify, DescribesEveryKindOfException) {
  struct Row {
    std::exception_ptr error;
    std::string className, message;
  };
  const Row rows[] = {
      {std::make_exception_ptr(ETestError("Disk on fire.")), "ETestError", "Disk on fire."},
      {std::make_exception_ptr(EProgInitError("No timer.")), "EProgInitError", "No timer."},
      {std::make_exception_ptr(std::runtime_error("bad")), "std::runtime_error", "bad"},
      {std::make_exception_ptr(42), "Exception", ""},
  };
  for (const Row& r : rows) {
    const TExceptionInfo info = DescribeException(r.error);
    EXPECT_EQ(info.ClassName, r.className);
    EXPECT_EQ(info.Message, r.message);
  }
}

TEST(AppNotify, HandlerExceptionIsReportedAndTheLoopGoesOn) {
  std::vector<TExceptionInfo> reported;
  QObject* reportedSender = nullptr;
  TExceptionHandler previous =
      SetApplicationExceptionHandler([&](QObject* sender, const TExceptionInfo& info) {
        reported.push_back(info);
        reportedSender = sender;
      });
  QPushButton button;
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] {
    ++clicks;
    throw ETestError("Handler failed.");
  });
  // Two clicks through the event loop: both reach the handler, both are reported.
  QTimer::singleShot(0, &button, [&] { button.click(); });
  QTimer::singleShot(0, &button, [&] { button.click(); });
  QTimer::singleShot(20, [] { QCoreApplication::quit(); });
  QCoreApplication::exec();
  SetApplicationExceptionHandler(std::move(previous));
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[0].ClassName, "ETestError");
  EXPECT_EQ(reported[1].Message, "Handler failed.");
  EXPECT_NE(reportedSender, nullptr);
}

TEST(AppNotify, SetHandlerReturnsThePreviousOne) {
  int first = 0, second = 0;
  TExceptionHandler original =
      SetApplicationExceptionHandler([&](QObject*, const TExceptionInfo&) { ++first; });
  TExceptionHandler was =
      SetApplicationExceptionHandler([&](QObject*, const TExceptionInfo&) { ++second; });
  HandleApplicationException(nullptr, std::make_exception_ptr(ETestError("x")));
  SetApplicationExceptionHandler(std::move(was));
  HandleApplicationException(nullptr, std::make_exception_ptr(ETestError("x")));
  SetApplicationExceptionHandler(std::move(original));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}
