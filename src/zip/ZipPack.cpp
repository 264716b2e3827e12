#include "ZipPack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "ZipErrors.h"

TZipFileSource::TZipFileSource(const std::string& FileName) : FName(FileName) {
  FHandle = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (FHandle < 0 || ::fstat(FHandle, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (FHandle >= 0) ::close(FHandle);
    throw EZipError("Cannot open file " + FileName);
  }
  FSize = static_cast<uint64_t>(st.st_size);
}

TZipFileSource::~TZipFileSource() {
  if (FHandle >= 0) ::close(FHandle);
}

size_t TZipFileSource::Read(uint8_t* Buffer, size_t Count) {
  for (;;) {
    const ssize_t n = ::read(FHandle, Buffer, Count);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) throw EZipError("Read failed in " + FName);
  }
}

void TZipFileSource::Rewind() {
  if (::lseek(FHandle, 0, SEEK_SET) != 0) ZipFail(ZipText::SeekError);
}

size_t TZipStreamSource::Read(uint8_t* Buffer, size_t Count) {
  return static_cast<size_t>(FStream.Read(Buffer, static_cast<int64_t>(Count)));
}

namespace {

// Owns a raw-deflate zlib stream.
class TDeflater {
 public:
  explicit TDeflater(int Level) {
    std::memset(&FStream, 0, sizeof FStream);
    if (deflateInit2(&FStream, Level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw EZipError("Deflate could not start");
  }
  ~TDeflater() { deflateEnd(&FStream); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;
  z_stream& Stream() { return FStream; }

 private:
  z_stream FStream;
};

std::vector<uint8_t> Deflate(TZipPackSource& Source, int Level, uint32_t& Crc, uint64_t& Size,
                             const std::function<void(uint64_t)>& Progress) {
  TDeflater deflater(Level);
  z_stream& z = deflater.Stream();
  std::vector<uint8_t> in(262144), out;
  out.reserve(static_cast<size_t>(Source.Size() / 2 + 1024));
  int flush = Z_NO_FLUSH;
  Crc = 0;
  Size = 0;
  do {
    const size_t n = Source.Read(in.data(), in.size());
    Crc = ZipCrc32(Crc, in.data(), n);
    Size += n;
    if (Progress) Progress(Size);
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      const size_t old = out.size();
      const size_t room = 262144;
      out.resize(old + room);
      z.next_out = out.data() + old;
      z.avail_out = static_cast<uInt>(room);
      deflate(&z, flush);
      out.resize(old + room - z.avail_out);
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  return out;
}

std::vector<uint8_t> Store(TZipPackSource& Source, uint32_t& Crc, uint64_t& Size) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> block(262144);
  Crc = 0;
  while (const size_t n = Source.Read(block.data(), block.size())) {
    Crc = ZipCrc32(Crc, block.data(), n);
    out.insert(out.end(), block.data(), block.data() + n);
  }
  Size = out.size();
  return out;
}

}  // namespace

std::vector<uint8_t> PackEntry(TZipPackSource& Source, int Level, TZipCentralEntry& Header,
                               const std::function<void(uint64_t Done)>& Progress) {
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<uint8_t> data;
  bool stored = Level <= 0;
  if (!stored) {
    data = Deflate(Source, Level > 9 ? 9 : Level, crc, size, Progress);
    // Data that does not shrink is kept as it is.
    stored = data.size() >= size;
  }
  if (stored) {
    Source.Rewind();
    data = Store(Source, crc, size);
    if (Progress) Progress(size);
  }
  if (size > 0xFFFFFFFEu || data.size() > 0xFFFFFFFEu)
    throw EZipError("File too large for a zip archive");
  Header.Method = stored ? zmStored : zmDeflated;
  Header.VersionNeeded = stored ? 10 : 20;
  Header.Crc32 = crc;
  Header.UncompressedSize = static_cast<uint32_t>(size);
  Header.CompressedSize = static_cast<uint32_t>(data.size());
  return data;
}
