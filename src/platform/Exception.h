#pragma once
// The root of every error the program raises. Each error carries an English
// message text; the exception report shows its class name and message.

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  ~Exception() override = default;

  const std::string& Message() const noexcept { return FMessage; }
  virtual const char* ClassName() const noexcept { return "Exception"; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// Declares an error class that only differs from its base by its name.
#define ZARNAVIS_DECLARE_EXCEPTION(Name, Base)                        \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  }

// The start-up failures (no high-resolution counter and the like).
ZARNAVIS_DECLARE_EXCEPTION(EProgInitError, Exception);
// Failures of the operating-system layer that have no more specific class.
ZARNAVIS_DECLARE_EXCEPTION(EOSError, Exception);
