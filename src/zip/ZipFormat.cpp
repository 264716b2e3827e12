#include "ZipFormat.h"

#include <zlib.h>

#include <cstring>

#include "CodePage.h"

bool TZipCentralEntry::IsDirectory() const {
  if (!StoredName.empty() && (StoredName.back() == '/' || StoredName.back() == '\\')) return true;
  return (ExternalAttr & 0x10) != 0 && UncompressedSize == 0;
}

bool TZipFieldReader::Take(size_t Count) {
  if (!FOk || Count > FSize - FPos) {
    FOk = false;
    FPos = FSize;
    return false;
  }
  return true;
}

uint16_t TZipFieldReader::U16() {
  if (!Take(2)) return 0;
  const uint16_t v = static_cast<uint16_t>(FData[FPos] | (FData[FPos + 1] << 8));
  FPos += 2;
  return v;
}

uint32_t TZipFieldReader::U32() {
  if (!Take(4)) return 0;
  const uint8_t* p = FData + FPos;
  FPos += 4;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::string TZipFieldReader::Text(size_t Count) {
  if (!Take(Count)) return {};
  std::string s(reinterpret_cast<const char*>(FData + FPos), Count);
  FPos += Count;
  return s;
}

std::vector<uint8_t> TZipFieldReader::Bytes(size_t Count) {
  if (!Take(Count)) return {};
  std::vector<uint8_t> v(FData + FPos, FData + FPos + Count);
  FPos += Count;
  return v;
}

void TZipFieldReader::Skip(size_t Count) {
  if (Take(Count)) FPos += Count;
}

void TZipFieldWriter::U16(uint16_t Value) {
  FData.push_back(static_cast<uint8_t>(Value));
  FData.push_back(static_cast<uint8_t>(Value >> 8));
}

void TZipFieldWriter::U32(uint32_t Value) {
  for (int i = 0; i < 4; ++i) FData.push_back(static_cast<uint8_t>(Value >> (8 * i)));
}

void TZipFieldWriter::Bytes(const void* Data, size_t Count) {
  const auto* p = static_cast<const uint8_t*>(Data);
  FData.insert(FData.end(), p, p + Count);
}

bool ParseCentralEntry(TZipFieldReader& R, TZipCentralEntry& E) {
  if (R.U32() != ZipSig::Central) return false;
  E.VersionMadeBy = R.U16();
  E.VersionNeeded = R.U16();
  E.Flags = R.U16();
  E.Method = R.U16();
  E.ModTime = R.U16();
  E.ModDate = R.U16();
  E.Crc32 = R.U32();
  E.CompressedSize = R.U32();
  E.UncompressedSize = R.U32();
  const uint16_t nameLength = R.U16();
  const uint16_t extraLength = R.U16();
  const uint16_t commentLength = R.U16();
  E.DiskStart = R.U16();
  E.InternalAttr = R.U16();
  E.ExternalAttr = R.U32();
  E.LocalOffset = R.U32();
  E.StoredName = DecodeStoredName(R.Text(nameLength), E.Flags, E.VersionMadeBy);
  E.Extra = R.Bytes(extraLength);
  E.Comment = R.Text(commentLength);
  return R.Ok();
}

bool ParseEndRecord(const uint8_t* Data, size_t Size, TZipEndRecord& Rec) {
  TZipFieldReader r(Data, Size);
  if (r.U32() != ZipSig::End) return false;
  Rec.ThisDisk = r.U16();
  Rec.CentralDisk = r.U16();
  Rec.EntriesOnDisk = r.U16();
  Rec.TotalEntries = r.U16();
  Rec.CentralSize = r.U32();
  Rec.CentralOffset = r.U32();
  const uint16_t commentLength = r.U16();
  Rec.Comment = r.Text(commentLength);
  return r.Ok();
}

// The fields that local and central headers share, from the flags to the
// name length.
static void WriteSharedFields(TZipFieldWriter& w, const TZipCentralEntry& E, uint16_t flags,
                              const std::string& name) {
  w.U16(flags);
  w.U16(E.Method);
  w.U16(E.ModTime);
  w.U16(E.ModDate);
  w.U32(E.Crc32);
  w.U32(E.CompressedSize);
  w.U32(E.UncompressedSize);
  w.U16(static_cast<uint16_t>(name.size()));
}

std::vector<uint8_t> BuildLocalHeader(const TZipCentralEntry& E) {
  uint16_t flags = E.Flags;
  const std::string name = EncodeStoredName(E.StoredName, flags);
  TZipFieldWriter w;
  w.U32(ZipSig::Local);
  w.U16(E.VersionNeeded);
  WriteSharedFields(w, E, flags, name);
  w.U16(0);
  w.Text(name);
  return w.Data();
}

std::vector<uint8_t> BuildCentralHeader(const TZipCentralEntry& E) {
  uint16_t flags = E.Flags;
  const std::string name = EncodeStoredName(E.StoredName, flags);
  TZipFieldWriter w;
  w.U32(ZipSig::Central);
  w.U16(E.VersionMadeBy);
  w.U16(E.VersionNeeded);
  WriteSharedFields(w, E, flags, name);
  w.U16(static_cast<uint16_t>(E.Extra.size()));
  w.U16(static_cast<uint16_t>(E.Comment.size()));
  w.U16(E.DiskStart);
  w.U16(E.InternalAttr);
  w.U32(E.ExternalAttr);
  w.U32(E.LocalOffset);
  w.Text(name);
  w.Bytes(E.Extra.data(), E.Extra.size());
  w.Text(E.Comment);
  return w.Data();
}

std::vector<uint8_t> BuildEndRecord(const TZipEndRecord& R) {
  TZipFieldWriter w;
  w.U32(ZipSig::End);
  w.U16(R.ThisDisk);
  w.U16(R.CentralDisk);
  w.U16(R.EntriesOnDisk);
  w.U16(R.TotalEntries);
  w.U32(R.CentralSize);
  w.U32(R.CentralOffset);
  w.U16(static_cast<uint16_t>(R.Comment.size()));
  w.Text(R.Comment);
  return w.Data();
}

namespace {

bool IsValidUtf8(const std::string& Text) {
  for (size_t i = 0; i < Text.size();) {
    const auto c = static_cast<unsigned char>(Text[i]);
    size_t follow = 0;
    if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0)
        follow = 1;
      else if ((c & 0xF0) == 0xE0)
        follow = 2;
      else if ((c & 0xF8) == 0xF0)
        follow = 3;
      else
        return false;
    }
    if (i + follow >= Text.size()) return false;
    for (size_t k = 1; k <= follow; ++k)
      if ((static_cast<unsigned char>(Text[i + k]) & 0xC0) != 0x80) return false;
    i += follow + 1;
  }
  return true;
}

}  // namespace

std::string DecodeStoredName(const std::string& Raw, uint16_t Flags, uint16_t MadeBy) {
  if (Flags & zfUtf8Name) return Raw;
  // Unix zip programs store the names as the system has them, in UTF-8
  // nowadays, without saying so; DOS and Windows ones in their code page.
  if ((MadeBy >> 8) == ZipHostUnix && IsValidUtf8(Raw)) return Raw;
  return AnsiToUtf8(Raw);
}

std::string EncodeStoredName(const std::string& Utf8, uint16_t& Flags) {
  const std::string ansi = Utf8ToAnsi(Utf8);
  if (AnsiToUtf8(ansi) == Utf8) {
    Flags &= static_cast<uint16_t>(~zfUtf8Name);
    return ansi;
  }
  Flags |= zfUtf8Name;
  return Utf8;
}

std::string SafeEntryFileName(const std::string& StoredName) {
  std::string name = StoredName;
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  // A drive prefix such as "C:" is no part of a file name.
  const size_t colon = name.find_last_of(':');
  if (colon != std::string::npos) name = name.substr(colon + 1);
  if (name == "." || name == "..") return {};
  return name;
}

uint32_t ZipCrc32(uint32_t Crc, const uint8_t* Data, size_t Count) {
  while (Count > 0) {
    const uInt n = static_cast<uInt>(Count > 0x40000000 ? 0x40000000 : Count);
    Crc = static_cast<uint32_t>(crc32(Crc, Data, n));
    Data += n;
    Count -= n;
  }
  return Crc;
}
