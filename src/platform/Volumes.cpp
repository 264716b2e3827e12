#include "Volumes.h"

#include <atomic>

#include "LinuxVolumes.h"

namespace {

std::atomic<TVolumes*> gInstalled{nullptr};

TVolumes& LinuxInstance() {
  static TLinuxVolumes instance;
  return instance;
}

}  // namespace

std::string TVolumes::FirstRemovableMountPoint() {
  for (const TVolumeInfo& v : List())
    if (v.Removable) return v.MountPoint;
  return {};
}

TVolumes& Volumes() {
  TVolumes* v = gInstalled.load();
  return v ? *v : LinuxInstance();
}

TVolumes* InstallVolumes(TVolumes* Instance) {
  return gInstalled.exchange(Instance);
}

TScopedVolumes::TScopedVolumes(TVolumes& Instance) : FPrevious(InstallVolumes(&Instance)) {}

TScopedVolumes::~TScopedVolumes() {
  InstallVolumes(FPrevious);
}
