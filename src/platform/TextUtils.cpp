#include "TextUtils.h"

namespace {

bool SameRange(const std::string& A, size_t AtA, const std::string& B) {
  for (size_t i = 0; i < B.size(); ++i)
    if (LowerAscii(A[AtA + i]) != LowerAscii(B[i])) return false;
  return true;
}

size_t NameStart(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

char LowerAscii(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

bool SameText(const std::string& A, const std::string& B) {
  return A.size() == B.size() && SameRange(A, 0, B);
}

bool StartsText(const std::string& Text, const std::string& Prefix) {
  return Text.size() >= Prefix.size() && SameRange(Text, 0, Prefix);
}

bool EndsText(const std::string& Text, const std::string& Suffix) {
  return Text.size() >= Suffix.size() && SameRange(Text, Text.size() - Suffix.size(), Suffix);
}

std::string LowerCase(std::string Text) {
  for (char& c : Text) c = LowerAscii(c);
  return Text;
}

std::string ExtractFileName(const std::string& Path) {
  return Path.substr(NameStart(Path));
}

std::string ExtractFileExt(const std::string& Path) {
  const size_t dot = Path.find_last_of('.');
  return dot == std::string::npos || dot < NameStart(Path) ? std::string() : Path.substr(dot);
}

std::string StripFileExt(const std::string& Path) {
  return Path.substr(0, Path.size() - ExtractFileExt(Path).size());
}
