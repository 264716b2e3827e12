#include "ErrorOf.h"
#include "QvFileIO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "TempDir.h"

namespace {

std::vector<uint8_t> Pattern(size_t Count) {
  std::vector<uint8_t> v(Count);
  for (size_t i = 0; i < Count; ++i) v[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return v;
}

class BufferedFileStreamTest : public ::testing::Test {
 protected:
  TempDir Dir;
  std::string Name = Dir / "data.bin";
  std::string FullName = std::filesystem::absolute(Name).lexically_normal().string();
};

TEST_F(BufferedFileStreamTest, BufferSizeIsRoundedToKilobytesAndCapped) {
  WriteFileBytes(Name, Pattern(10));
  EXPECT_EQ(TBufferedFileStream(Name, 1000, fmOpenRead).BufferSize(), 1024);
  EXPECT_EQ(TBufferedFileStream(Name, 1024, fmOpenRead).BufferSize(), 1024);
  EXPECT_EQ(TBufferedFileStream(Name, 1025, fmOpenRead).BufferSize(), 2048);
  EXPECT_EQ(TBufferedFileStream(Name, 40000, fmOpenRead).BufferSize(), 32768);
  EXPECT_EQ(TBufferedFileStream(Name, 65536, fmOpenRead).BufferSize(), 32768);
}

TEST_F(BufferedFileStreamTest, ReadsExactlyToTheEndAndNotOneByteMore) {
  const auto data = Pattern(8000);
  WriteFileBytes(Name, data);
  TBufferedFileStream s(Name, 1024, fmOpenRead);
  std::vector<uint8_t> got(8000);
  // Reads of odd sizes cross every block boundary; one takes whole blocks
  // between two parts of blocks.
  size_t pos = 0;
  for (size_t step : {1u, 3u, 1020u, 1024u, 2000u, 3000u, 952u}) {
    s.ReadBuffer(got.data() + pos, static_cast<int64_t>(step));
    pos += step;
  }
  ASSERT_EQ(pos, 8000u);
  EXPECT_EQ(got, data);
  EXPECT_TRUE(s.IsEOF());
  uint8_t b;
  EXPECT_EQ(ErrorOf<EStreamError>([&] { s.Read(&b, 1); }),
            "Read beyond end of file in " + FullName);
}

TEST_F(BufferedFileStreamTest, ReadBeyondEndReadsNothing) {
  WriteFileBytes(Name, Pattern(100));
  TBufferedFileStream s(Name, 1024, fmOpenRead);
  s.Seek(90, soFromBeginning);
  std::vector<uint8_t> buf(20, 0xEE);
  EXPECT_EQ(ErrorOf<EStreamError>([&] { s.Read(buf.data(), 11); }),
            "Read beyond end of file in " + FullName);
  EXPECT_EQ(buf[0], 0xEE);
  EXPECT_EQ(s.Position(), 90);
  EXPECT_EQ(s.Read(buf.data(), 10), 10);
}

TEST_F(BufferedFileStreamTest, SeekBoundsAndOrigins) {
  WriteFileBytes(Name, Pattern(3000));
  TBufferedFileStream s(Name, 1024, fmOpenRead);
  EXPECT_EQ(s.Seek(0, soFromEnd), 3000);
  EXPECT_EQ(s.Seek(-1000, soFromCurrent), 2000);
  EXPECT_EQ(s.Seek(3000, soFromBeginning), 3000);
  EXPECT_EQ(ErrorOf<EStreamError>([&] { s.Seek(3001, soFromBeginning); }),
            "Invalid new position in " + FullName);
  EXPECT_EQ(ErrorOf<EStreamError>([&] { s.Seek(-1, soFromBeginning); }),
            "Invalid new position in " + FullName);
  EXPECT_EQ(ErrorOf<EStreamError>([&] { s.Seek(0, 3); }),
            "TBufferedFileStream.Seek: Invalid origin.");
  s.Seek(1023, soFromBeginning);
  EXPECT_EQ(s.ReadByte(), Pattern(3000)[1023]);
  EXPECT_EQ(s.ReadByte(), Pattern(3000)[1024]);
}

TEST_F(BufferedFileStreamTest, WritesGrowTheFileAndAreStoredWhenFreed) {
  const auto data = Pattern(70000);
  {
    TBufferedFileStream s(Name, 4096, fmCreate);
    s.WriteBuffer(data.data(), 5);
    s.WriteBuffer(data.data() + 5, 40000);
    s.WriteBuffer(data.data() + 40005, 29995);
    EXPECT_EQ(s.GetSize(), 70000);
    EXPECT_EQ(s.Seek(0, soFromEnd), 70000);
  }
  EXPECT_EQ(ReadFileBytes(Name), data);
}

TEST_F(BufferedFileStreamTest, PartialOverwriteKeepsTheRestOfTheBlock) {
  auto data = Pattern(4000);
  WriteFileBytes(Name, data);
  {
    TBufferedFileStream s(Name, 1024, fmOpenReadWrite);
    s.Seek(1000, soFromBeginning);
    const uint8_t patch[100] = {};
    s.WriteBuffer(patch, 100);  // crosses the block boundary at 1024
    std::memset(data.data() + 1000, 0, 100);
    // Read back through the same stream before it is flushed.
    s.Seek(990, soFromBeginning);
    std::vector<uint8_t> back(120);
    s.ReadBuffer(back.data(), 120);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 990));
  }
  EXPECT_EQ(ReadFileBytes(Name), data);
}

TEST_F(BufferedFileStreamTest, ReadingOffTheEndOfADirtyBlockKeepsTheWrittenBytes) {
  auto data = Pattern(5000);
  WriteFileBytes(Name, data);
  {
    TBufferedFileStream s(Name, 1024, fmOpenReadWrite);
    s.Seek(10, soFromBeginning);
    s.WriteByte(0xAB);
    data[10] = 0xAB;
    std::vector<uint8_t> rest(1024 - 11);
    s.ReadBuffer(rest.data(), static_cast<int64_t>(rest.size()));  // reaches the block's end
    s.Seek(20, soFromBeginning);
    s.WriteByte(0xCD);
    data[20] = 0xCD;
    // On through whole blocks and into a part of the next.
    std::vector<uint8_t> more(3000);
    s.ReadBuffer(more.data(), static_cast<int64_t>(more.size()));
    EXPECT_TRUE(std::equal(more.begin(), more.end(), data.begin() + 21));
    s.Seek(2000, soFromBeginning);
  }
  EXPECT_EQ(ReadFileBytes(Name), data);
}

TEST_F(BufferedFileStreamTest, SetSizeTruncatesAndMovesThePosition) {
  WriteFileBytes(Name, Pattern(5000));
  {
    TBufferedFileStream s(Name, 1024, fmOpenReadWrite);
    s.Seek(4500, soFromBeginning);
    s.SetSize(2000);
    EXPECT_EQ(s.Position(), 2000);
    EXPECT_EQ(s.GetSize(), 2000);
    EXPECT_TRUE(s.IsEOF());
  }
  EXPECT_EQ(std::filesystem::file_size(Name), 2000u);
}

TEST_F(BufferedFileStreamTest, OpenErrorsNameTheFileAsGiven) {
  EXPECT_EQ(ErrorOf<EStreamError>([&] { TBufferedFileStream s("no/such/file", 1024, fmOpenRead); }),
            "Cannot open file no/such/file");
  EXPECT_EQ(ErrorOf<EStreamError>([&] { TBufferedFileStream s(Dir / "none/x", 1024, fmCreate); }),
            "Cannot create file " + Dir / "none/x");
}

TEST_F(BufferedFileStreamTest, ReadStringTakesALengthPrefixedText) {
  std::vector<uint8_t> bytes = {3, 0, 0, 0, 'a', 0xE9, 'c', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  WriteFileBytes(Name, bytes);
  TBufferedFileStream s(Name, 1024, fmOpenRead);
  std::string t;
  s.ReadString(t);
  EXPECT_EQ(t,
            "a\xC3\xA9"
            "c");
  s.ReadString(t);
  EXPECT_EQ(t, "");
  s.ReadString(t);
  EXPECT_EQ(t, "");
  EXPECT_TRUE(s.IsEOF());
}

struct LineCase {
  const char* Bytes;
  std::vector<std::string> Lines;
};

TEST(AsciiFileTest, ReadLineSplitsOnCarriageReturn) {
  const LineCase cases[] = {
      {"ab\r\ncd", {"ab", "cd"}},
      {"ab\rcd", {"ab", "cd"}},
      {"ab\ncd", {"ab\ncd"}},
      {"ab\r\n\r\ncd\r\n", {"ab", "", "cd"}},
      {"x\r", {"x"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFileText(dir / "t.txt", c.Bytes);
    TAsciiFile f(dir / "t.txt", false, 1024, fmOpenRead);
    std::vector<std::string> lines;
    std::string line;
    while (!f.IsEOF()) {
      f.ReadLine(line);
      lines.push_back(line);
    }
    EXPECT_EQ(lines, c.Lines) << c.Bytes;
  }
}

TEST(AsciiFileTest, WriteLineEndsWithCrLfAndOemConversionApplies) {
  TempDir dir;
  {
    TAsciiFile f(dir / "t.txt", false, 1024, fmCreate);
    f.WriteLine("haven");
    f.WriteLine("");
  }
  const auto bytes = ReadFileBytes(dir / "t.txt");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "haven\r\n\r\n");

  WriteFileBytes(dir / "oem.txt",
                 {'K', 0x94, 'r', '\r', '\n'});  // 0x94 is o-umlaut in the OEM page
  TAsciiFile oem(dir / "oem.txt", true, 1024, fmOpenRead);
  std::string line;
  oem.ReadLine(line);
  EXPECT_EQ(line, "K\xC3\xB6r");
}

}  // namespace
