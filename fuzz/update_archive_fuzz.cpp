// An "Updates.BaZ" given as bytes on an update disk, taken by an apply-only
// run: unpacked into the work folder, its index read, nothing applied (no
// chart sets are installed). Any input ends in an outcome or an error of
// the program's own; nothing lands outside the work folder, and the work
// folder is gone afterwards.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "QvRegistry.h"
#include "UpdateProcessor.h"
#include "ZipErrors.h"
#include "ZipHooks.h"

namespace {

class TQuietView : public TUpdateView {
 public:
  // Disk prompts are refused: a spanned set ends at once.
  int Message(const std::string&, TMsgDlgType, TMsgDlgButtons Buttons) override {
    return Buttons.Contains(mbCancel) ? mrCancel : Buttons.Contains(mbNo) ? mrNo : mrOk;
  }
};

size_t Entries(const std::string& Folder) {
  size_t n = 0;
  if (DIR* d = ::opendir(Folder.c_str())) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

std::string& Root() {
  static std::string root = [] {
    char folder[] = "/tmp/zrn-fuzz-disk-XXXXXX";
    if (!::mkdtemp(folder)) std::abort();
    const std::string r = folder;
    ::mkdir((r + "/disk").c_str(), 0700);
    ::mkdir((r + "/home").c_str(), 0700);
    ::mkdir((r + "/runtime").c_str(), 0700);
    ::setenv("ZARNAVIS_HOME", (r + "/home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (r + "/runtime").c_str(), 1);
    SetRegistryKeyNames("ZRN", "2003");
    SetZipMessageHook(
        [](const std::string&, const std::string&, TZipButtons) { return zmrCancel; });
    return r;
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string root = Root();
  const std::string disk = root + "/disk/";
  TMemoryStream(std::vector<uint8_t>(Data, Data + Size)).SaveToFile(disk + "Updates.BaZ");
  TQuietView view;
  {
    TUpdateProcessor processor(TUpdateMode::ApplyOnly, view);
    processor.SetFolders(root + "/cd/", root + "/installed/", disk);
    processor.BeginRun();
    try {
      processor.RunUpdate();
    } catch (const Exception&) {
      // A damaged or hostile archive is an error of its own kind.
    }
  }
  // Only the archive itself on the disk; no work folder left; nothing else
  // beside the disk.
  if (Entries(disk) != 3 || Entries(root + "/runtime") != 2 || Entries(root) != 5) std::abort();
  return 0;
}
