#pragma once
// UTF-8 <-> UTF-16LE for the registry texts. Bytes that are no valid UTF-8
// travel as lone low surrogates U+DC80..U+DCFF and come back unchanged, so
// no text is lost on a round trip.

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> Utf8ToUtf16Le(const std::string& Text);
// An odd last byte is ignored.
std::string Utf16LeToUtf8(const uint8_t* Data, size_t Size);
