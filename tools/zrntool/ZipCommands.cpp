// zrntool zip: listing, extracting and creating zip archives with the
// program's own zip component.

#include <cstdio>
#include <string>
#include <vector>

#include "UnZipper.h"
#include "ZipHooks.h"
#include "Zipper.h"
#include "ZrnTool.h"

namespace {

int ZipList(const std::string& Archive) {
  TUnZipper unzipper;
  unzipper.SetZipName(Archive);
  unzipper.ReadDirectory();
  for (int i = 0; i < unzipper.EntryCount(); ++i) {
    const TZipCentralEntry& h = unzipper.Entry(i).Header;
    std::printf("%s\t%u\t%u\t%u\t%08x\n", h.StoredName.c_str(), unsigned(h.Method),
                unsigned(h.CompressedSize), unsigned(h.UncompressedSize), unsigned(h.Crc32));
  }
  return 0;
}

int ZipExtract(const std::string& Archive, const std::string& Dir) {
  int failures = 0;
  SetZipMessageHook([&](const std::string& Text, const std::string& Caption, TZipButtons) {
    std::fprintf(stderr, "zrntool: %s: %s\n", Caption.c_str(), Text.c_str());
    ++failures;
    return zmrCancel;
  });
  TUnZipper unzipper;
  unzipper.SetZipName(Archive);
  unzipper.SetDestDir(Dir);
  unzipper.OverwriteMode = TUZOverwriteMode::Always;
  unzipper.ReplaceReadOnly = true;
  unzipper.DoAll = true;
  unzipper.OnSkippingFile = [&](const std::string& Name, const std::string& Reason) {
    std::fprintf(stderr, "zrntool: skipped %s: %s\n", Name.c_str(), Reason.c_str());
    ++failures;
  };
  unzipper.OnBadCRC = [&](const std::string& Name, uint32_t Computed, uint32_t Stored) {
    std::fprintf(stderr, "zrntool: bad CRC in %s: %08x instead of %08x\n", Name.c_str(),
                 unsigned(Computed), unsigned(Stored));
    ++failures;
  };
  unzipper.ReadDirectory();
  int wanted = 0;
  for (int i = 0; i < unzipper.EntryCount(); ++i)
    if (!unzipper.Entry(i).Header.IsDirectory()) ++wanted;
  const int extracted = unzipper.ExtractAll();
  if (failures > 0 || extracted != wanted)
    return ZrnFail(std::to_string(wanted - extracted) + " of " + std::to_string(wanted) +
                   " entries not extracted");
  return 0;
}

int ZipCreate(const std::string& Archive, const std::vector<std::string>& Files) {
  TZipper zipper;
  zipper.SetZipName(Archive);
  zipper.ZipAction = zaReplace;
  zipper.PackLevel = 6;
  zipper.FilesList = Files;
  int failures = 0;
  zipper.OnSkippingFile = [&](const std::string& Name, const std::string& Reason) {
    std::fprintf(stderr, "zrntool: skipped %s: %s\n", Name.c_str(), Reason.c_str());
    ++failures;
  };
  const int stored = zipper.CreateArchive();
  if (failures > 0 || stored != static_cast<int>(Files.size()))
    return ZrnFail(std::to_string(Files.size() - static_cast<size_t>(stored)) + " of " +
                   std::to_string(Files.size()) + " files not stored");
  return 0;
}

int RunZip(const std::vector<std::string>& Args) {
  if (Args.size() == 2 && Args[0] == "list") return ZipList(Args[1]);
  if (Args.size() == 3 && Args[0] == "extract") return ZipExtract(Args[1], Args[2]);
  if (Args.size() >= 3 && Args[0] == "create")
    return ZipCreate(Args[1], std::vector<std::string>(Args.begin() + 2, Args.end()));
  return ZrnUsageError(
      "zip: usage: zrntool zip list ARCHIVE | extract ARCHIVE DIR | create ARCHIVE FILE...");
}

const ZrnCommandGroup zipGroup("zip",
                               "  zip list ARCHIVE\n"
                               "  zip extract ARCHIVE DIR\n"
                               "  zip create ARCHIVE FILE...",
                               RunZip);

}  // namespace
