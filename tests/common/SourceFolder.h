#pragma once
// The folder of a test's source file, from its __FILE__, for tests that run
// scripts kept beside their sources.

#include <cstdlib>
#include <string>

inline std::string SourceFolderOf(std::string File) {
  // A compiler cache with a base folder names sources relative to the build
  // folder, where the compiler ran; the tests run elsewhere.
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  if (!File.empty() && File[0] != '/' && build) File = std::string(build) + "/" + File;
  return File.substr(0, File.rfind('/'));
}
