#include "SettingsHives.h"

#include <memory>

#include "Paths.h"

namespace {

struct THiveSlot {
  std::unique_ptr<THiveFile> File;
};

THiveSlot gSlots[2];

}  // namespace

const char* RegRootName(TRegRoot Root) {
  return Root == TRegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

THiveFile& SettingsHive(TRegRoot Root) {
  int index = Root == TRegRoot::LocalMachine ? 0 : 1;
  std::string name = GetSettingsFolder() + (index == 0 ? "system.reg" : "user.reg");
  THiveSlot& slot = gSlots[index];
  if (!slot.File || slot.File->FileName() != name)
    slot.File = std::make_unique<THiveFile>(name, RegRootName(Root));
  return *slot.File;
}
