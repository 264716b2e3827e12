#pragma once
// Small text helpers for names and codes: comparisons without regard to ASCII
// case (as the program compares file names, set codes and registry names)
// and the parts of a file name.

#include <string>

// Equal without regard to ASCII case.
bool SameText(const std::string& A, const std::string& B);
// "A" to "Z" lowered; every other byte (UTF-8 included) stays as it is.
char LowerAscii(char C);
// Text begins with Prefix, without regard to ASCII case.
bool StartsText(const std::string& Text, const std::string& Prefix);
// Text ends with Suffix, without regard to ASCII case.
bool EndsText(const std::string& Text, const std::string& Suffix);
std::string LowerCase(std::string Text);

// The last name of a path ("a/b.txt" gives "b.txt").
std::string ExtractFileName(const std::string& Path);
// The extension with its dot (".txt"), or empty; taken from the last name only.
std::string ExtractFileExt(const std::string& Path);
// The path without the extension of its last name.
std::string StripFileExt(const std::string& Path);
