#include "DownloadReport.h"

namespace {

constexpr int HostNotFound = 11001;
constexpr int ConnectionRefused = 10061;

// A line feed and two carriage returns separate the client's message from
// the advice.
std::string WithAdvice(const std::string& Message, const char* Advice) {
  return Message + "\n\r\r" + Advice;
}

std::string WithNumber(int Error, const std::string& Message) {
  return "(Error " + std::to_string(Error) + ") " + Message;
}

}  // namespace

TFailureReport DescribeDownloadFailure(int Error, const std::string& Message, bool ViaProxy) {
  const char* const checkSettings = "Check FTP settings and try again.";
  if (Error == HostNotFound) {
    if (ViaProxy) return {WithAdvice(Message, checkSettings), TNextPage::Summary};
    return {WithAdvice(Message, "Make sure you are connected to the internet and try again."),
            TNextPage::Proxy};
  }
  if (Error == ConnectionRefused && ViaProxy)
    return {WithAdvice(Message, checkSettings), TNextPage::Proxy};
  // Refused without a proxy included: the proxy page is where the user can
  // change how the server is reached, and go on from there.
  return {WithNumber(Error, Message), TNextPage::Proxy};
}

std::string DownloadSizeText(int64_t Bytes, const std::string& DecimalSeparator) {
  if (Bytes < 1024) return std::to_string(Bytes) + " bytes";
  // Hundredths of a kilobyte, rounded; no C locale is consulted.
  const int64_t hundredths = (Bytes * 100 + 512) / 1024;
  const int64_t fraction = hundredths % 100;
  return std::to_string(hundredths / 100) + DecimalSeparator + (fraction < 10 ? "0" : "") +
         std::to_string(fraction) + " kB";
}
