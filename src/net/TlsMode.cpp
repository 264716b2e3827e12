#include "TlsMode.h"

const char* TlsModeName(TFtpTlsMode Mode) {
  switch (Mode) {
    case ftpTlsAuto:
      return "auto";
    case ftpTlsRequire:
      return "require";
    case ftpTlsOff:
      return "off";
  }
  return "auto";
}

bool ParseTlsMode(const std::string& Text, TFtpTlsMode& Mode) {
  for (const TFtpTlsMode m : {ftpTlsAuto, ftpTlsRequire, ftpTlsOff}) {
    if (Text == TlsModeName(m)) {
      Mode = m;
      return true;
    }
  }
  return false;
}

std::string TlsOutcomeText(const TTlsOutcome& Outcome) {
  if (Outcome.Encrypted)
    return "connection encrypted (" + Outcome.Version + "), certificate of " + Outcome.Host +
           " verified";
  return "connection not encrypted: " + Outcome.Why;
}
