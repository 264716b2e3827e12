#pragma once
// Conversions between the single-byte texts of the file formats and registry
// (Windows-1252, "ANSI") and UTF-8 inside the program, and the DOS code page
// 437 ("OEM") that old text files may use.

#include <cstddef>
#include <cstdint>
#include <string>

std::string AnsiToUtf8(const std::string& Ansi);
// Characters without a Windows-1252 form become '?'.
std::string Utf8ToAnsi(const std::string& Utf8);
void OemToAnsiInPlace(uint8_t* Bytes, size_t Count);
// Unicode code point of one Windows-1252 byte.
char32_t AnsiToUnicode(uint8_t Byte);
