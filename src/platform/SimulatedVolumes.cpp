#include "SimulatedVolumes.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "LinuxVolumes.h"
#include "Paths.h"

namespace fs = std::filesystem;

namespace {

std::string NormalFolder(const std::string& Path) {
  return IncludeTrailingPathDelimiter(
      fs::absolute(Path.empty() ? "." : Path).lexically_normal().string());
}

int64_t FolderBytes(const std::string& Folder) {
  std::error_code ec;
  int64_t total = 0;
  fs::recursive_directory_iterator it(Folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    if (it->is_regular_file(sec)) {
      auto size = it->file_size(sec);
      if (!sec) total += static_cast<int64_t>(size);
    }
  }
  return total;
}

}  // namespace

TSimulatedVolumes::TSimulatedVolumes(std::string Root, std::unique_ptr<TVolumes> Fallback)
    : FRoot(IncludeTrailingPathDelimiter(std::move(Root))), FFallback(std::move(Fallback)) {
  if (!FFallback) FFallback = std::make_unique<TLinuxVolumes>();
}

TSimulatedVolumes::~TSimulatedVolumes() = default;

void TSimulatedVolumes::AddFixed(const std::string& MountPoint, int64_t Capacity,
                                 const std::string& Label) {
  TDisk d;
  d.Folder = NormalFolder(MountPoint);
  d.Capacity = Capacity;
  d.Label = Label;
  FDisks.push_back(d);
  TVolume v;
  v.MountPoint = d.Folder;
  v.Disk = static_cast<int>(FDisks.size()) - 1;
  FVolumes.push_back(v);
}

int TSimulatedVolumes::AddRemovableDrive(const std::string& MountPoint) {
  TVolume v;
  v.MountPoint = NormalFolder(MountPoint);
  v.Removable = true;
  FVolumes.push_back(v);
  PointLink(v);
  return static_cast<int>(Drives().size()) - 1;
}

int TSimulatedVolumes::AddDisk(int64_t Capacity, const std::string& Label) {
  TDisk d;
  d.Folder = FRoot + "disk" + std::to_string(FDisks.size()) + "/";
  d.Capacity = Capacity;
  d.Label = Label;
  fs::create_directories(d.Folder);
  FDisks.push_back(d);
  return static_cast<int>(FDisks.size()) - 1;
}

std::vector<TSimulatedVolumes::TVolume*> TSimulatedVolumes::Drives() {
  std::vector<TVolume*> r;
  for (TVolume& v : FVolumes)
    if (v.Removable) r.push_back(&v);
  return r;
}

void TSimulatedVolumes::InsertDisk(int Disk, int Drive) {
  std::vector<TVolume*> drives = Drives();
  if (Drive < 0 || Drive >= static_cast<int>(drives.size()))
    throw std::out_of_range("no simulated drive " + std::to_string(Drive));
  if (Disk < -1 || Disk >= DiskCount())
    throw std::out_of_range("no simulated disk " + std::to_string(Disk));
  drives[Drive]->Disk = Disk;
  PointLink(*drives[Drive]);
}

void TSimulatedVolumes::PointLink(const TVolume& Drive) {
  std::string link = ExcludeTrailingPathDelimiter(Drive.MountPoint);
  std::string target = Drive.Disk >= 0 ? ExcludeTrailingPathDelimiter(FDisks[Drive.Disk].Folder)
                                       : FRoot + "no-disk-in-drive";
  // A new link renamed over the old one: the mount point never disappears
  // half-way.
  std::string temp = link + ".changing";
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0)
    throw std::runtime_error("cannot point simulated drive " + link);
}

int TSimulatedVolumes::CurrentDisk(int Drive) const {
  int n = 0;
  for (const TVolume& v : FVolumes)
    if (v.Removable && n++ == Drive) return v.Disk;
  return -1;
}

std::string TSimulatedVolumes::DiskFolder(int Disk) const {
  return FDisks.at(Disk).Folder;
}
std::string TSimulatedVolumes::DiskLabel(int Disk) const {
  return FDisks.at(Disk).Label;
}
int64_t TSimulatedVolumes::DiskCapacity(int Disk) const {
  return FDisks.at(Disk).Capacity;
}
int64_t TSimulatedVolumes::UsedSpace(int Disk) const {
  return FolderBytes(FDisks.at(Disk).Folder);
}

void TSimulatedVolumes::SetWriteProtected(int Disk, bool Protected) {
  FDisks.at(Disk).WriteProtected = Protected;
}

const TSimulatedVolumes::TVolume* TSimulatedVolumes::Find(const std::string& Path) const {
  std::string p = NormalFolder(Path);
  const TVolume* best = nullptr;
  for (const TVolume& v : FVolumes)
    if (p.compare(0, v.MountPoint.size(), v.MountPoint) == 0 &&
        (!best || v.MountPoint.size() > best->MountPoint.size()))
      best = &v;
  return best;
}

TSimulatedVolumes::TDisk* TSimulatedVolumes::DiskOf(const std::string& Path) {
  const TVolume* v = Find(Path);
  return v && v->Disk >= 0 ? &FDisks[v->Disk] : nullptr;
}

std::string TSimulatedVolumes::MountPointOf(const std::string& Path) {
  const TVolume* v = Find(Path);
  return v ? v->MountPoint : FFallback->MountPointOf(Path);
}

bool TSimulatedVolumes::IsReady(const std::string& Path) {
  if (!Find(Path)) return FFallback->IsReady(Path);
  return DiskOf(Path) != nullptr;
}

bool TSimulatedVolumes::IsRemovable(const std::string& Path) {
  const TVolume* v = Find(Path);
  return v ? v->Removable : FFallback->IsRemovable(Path);
}

int64_t TSimulatedVolumes::FreeSpace(const std::string& Path) {
  if (!Find(Path)) return FFallback->FreeSpace(Path);
  TDisk* d = DiskOf(Path);
  if (!d) return -1;
  int64_t free = d->Capacity - FolderBytes(d->Folder);
  return free > 0 ? free : 0;
}

int64_t TSimulatedVolumes::Capacity(const std::string& Path) {
  if (!Find(Path)) return FFallback->Capacity(Path);
  TDisk* d = DiskOf(Path);
  return d ? d->Capacity : -1;
}

std::string TSimulatedVolumes::GetLabel(const std::string& Path) {
  if (!Find(Path)) return FFallback->GetLabel(Path);
  TDisk* d = DiskOf(Path);
  return d ? d->Label : std::string();
}

bool TSimulatedVolumes::SetLabel(const std::string& Path, const std::string& Label) {
  if (!Find(Path)) return FFallback->SetLabel(Path, Label);
  TDisk* d = DiskOf(Path);
  if (!d || d->WriteProtected) return false;
  d->Label = Label;
  return true;
}

std::vector<TVolumeInfo> TSimulatedVolumes::List() {
  std::vector<TVolumeInfo> r;
  for (const TVolume& v : FVolumes) {
    TVolumeInfo i;
    i.MountPoint = v.MountPoint;
    i.Device = v.Removable ? "simulated-drive" : "simulated-disk";
    i.FileSystem = "simulated";
    i.Removable = v.Removable;
    r.push_back(i);
  }
  return r;
}
