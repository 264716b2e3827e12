#pragma once
// Whether the FTP client encrypts its conversation, and the line that tells
// the user how it went.

#include <string>

// The values are those of the setting "Encryption" in the user key "Update".
enum TFtpTlsMode {
  ftpTlsAuto = 0,     // TLS when the server offers it, plain text when it refuses AUTH
  ftpTlsRequire = 1,  // TLS or nothing
  ftpTlsOff = 2       // the plain conversation, no AUTH
};

// "auto", "require", "off".
const char* TlsModeName(TFtpTlsMode Mode);
// Reads one of those names; false for anything else.
bool ParseTlsMode(const std::string& Text, TFtpTlsMode& Mode);

// How a conversation went: encrypted (with its version and the host whose
// certificate was verified) or not, and why not.
struct TTlsOutcome {
  bool Encrypted = false;
  std::string Version;  // "TLS 1.3"
  std::string Host;     // the verified name
  std::string Why;      // why not encrypted
};

// "connection encrypted (TLS 1.3), certificate of ftp.example.org verified"
// or "connection not encrypted: <why>".
std::string TlsOutcomeText(const TTlsOutcome& Outcome);
