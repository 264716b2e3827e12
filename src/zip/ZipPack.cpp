#include "ZipPack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
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

// Files are read in blocks of at most this size. A smaller file gets a
// block of its own size: an update file is a few kilobytes, and a fresh
// block of the full size for each of hundreds of them costs more in
// clearing memory and faulting pages in than the packing itself.
constexpr size_t MaxBlock = 262144;

size_t BlockFor(TZipPackSource& Source) {
  // One byte more than the size: the read after the whole file then sees
  // its end.
  return static_cast<size_t>(std::min<uint64_t>(Source.Size(), MaxBlock - 1)) + 1;
}

std::vector<uint8_t> Deflate(z_stream& z, TZipPackSource& Source, uint32_t& Crc, uint64_t& Size,
                             const std::function<void(uint64_t)>& Progress) {
  std::vector<uint8_t> in(BlockFor(Source));
  // Room for the whole result of a small source at once; a large one, or
  // one that grows, gets more below.
  std::vector<uint8_t> out(
      std::min<uLong>(deflateBound(&z, static_cast<uLong>(Source.Size())), 4 * MaxBlock));
  size_t used = 0;
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
      if (used == out.size()) out.resize(out.size() + MaxBlock);
      z.next_out = out.data() + used;
      z.avail_out = static_cast<uInt>(out.size() - used);
      deflate(&z, flush);
      used = out.size() - z.avail_out;
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  out.resize(used);
  return out;
}

std::vector<uint8_t> Store(TZipPackSource& Source, uint32_t& Crc, uint64_t& Size) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(Source.Size()));
  std::vector<uint8_t> block(BlockFor(Source));
  Crc = 0;
  while (const size_t n = Source.Read(block.data(), block.size())) {
    Crc = ZipCrc32(Crc, block.data(), n);
    out.insert(out.end(), block.data(), block.data() + n);
  }
  Size = out.size();
  return out;
}

}  // namespace

TZipPacker::TZipPacker(int Level) : FLevel(Level > 9 ? 9 : Level) {}

TZipPacker::~TZipPacker() {
  if (FStream) deflateEnd(FStream.get());
}

z_stream_s& TZipPacker::FreshStream() {
  if (!FStream) {
    FStream = std::make_unique<z_stream>();
    if (deflateInit2(FStream.get(), FLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
      FStream.reset();
      throw EZipError("Deflate could not start");
    }
  } else if (deflateReset(FStream.get()) != Z_OK) {
    throw EZipError("Deflate could not start");
  }
  return *FStream;
}

std::vector<uint8_t> TZipPacker::Pack(TZipPackSource& Source, TZipCentralEntry& Header,
                                      const std::function<void(uint64_t Done)>& Progress) {
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<uint8_t> data;
  bool stored = FLevel <= 0;
  if (!stored) {
    data = Deflate(FreshStream(), Source, crc, size, Progress);
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
