#include "DownloadReport.h"

#include "FtpCli.h"

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

// Whether the way to the server failed: the network, the proxy, or a
// connection that could not be made or broke. Up to the login every answer
// may be the proxy's. Numbers from 10000 on are the sockets' and the SOCKS
// proxy's; 421, 425 and 426 are a server's words for a connection that
// ends or cannot be opened.
bool OnTheWay(int Error, const std::string& Message, bool LoggingIn) {
  if (LoggingIn || Error >= 10000 || Error == 421 || Error == 425 || Error == 426) return true;
  if (Error == 500) return Message.rfind("500 Control connection closed", 0) == 0;
  if (Error == 550) return Message.rfind(FtpDataConnectionFailed, 0) == 0;
  return false;
}

}  // namespace

TFailureReport DescribeDownloadFailure(int Error, const std::string& Message, bool ViaProxy,
                                       bool LoggingIn) {
  const char* const checkSettings = "Check FTP settings and try again.";
  if (Error == HostNotFound) {
    if (ViaProxy) return {WithAdvice(Message, checkSettings), TNextPage::Summary};
    return {WithAdvice(Message, "Make sure you are connected to the internet and try again."),
            TNextPage::Proxy};
  }
  if (Error == ConnectionRefused && ViaProxy)
    return {WithAdvice(Message, checkSettings), TNextPage::Proxy};
  // Refused without a proxy included: the proxy page is where the user can
  // change how the server is reached, and go on from there. Where the way
  // is not at fault the run starts again from the summary.
  return {WithNumber(Error, Message),
          OnTheWay(Error, Message, LoggingIn) ? TNextPage::Proxy : TNextPage::Summary};
}

std::string DownloadSizeText(int64_t Bytes, const std::string& DecimalSeparator) {
  if (Bytes < 1024) return std::to_string(Bytes) + " bytes";
  // Hundredths of a kilobyte, rounded; no C locale is consulted.
  const int64_t hundredths = (Bytes * 100 + 512) / 1024;
  const int64_t fraction = hundredths % 100;
  return std::to_string(hundredths / 100) + DecimalSeparator + (fraction < 10 ? "0" : "") +
         std::to_string(fraction) + " kB";
}
