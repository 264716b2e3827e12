#pragma once
// The local file a download is written to when the client opens it itself:
// the received blocks go straight to the file, without a copy into a buffer
// of its own and without a seek per block. Closing does not flush to disk:
// a download lands in a work folder and is read back at once, and one that
// a power cut spoiled is fetched again; what the program keeps is made
// durable by the writers that write it (installed charts, settings,
// archives on disks).

#include <cstddef>
#include <cstdint>
#include <string>

class TFtpLocalFile {
 public:
  TFtpLocalFile() = default;
  ~TFtpLocalFile();
  TFtpLocalFile(const TFtpLocalFile&) = delete;
  TFtpLocalFile& operator=(const TFtpLocalFile&) = delete;

  // A new, empty file (an existing one is emptied); false with Error() set.
  bool Create(const std::string& FileName);
  // An existing file of at least Offset bytes, cut to Offset bytes and
  // written on from there; false when it is missing or shorter.
  bool OpenAt(const std::string& FileName, int64_t Offset);
  bool IsOpen() const { return FHandle >= 0; }
  bool Write(const char* Data, size_t Count);
  bool Close();

  const std::string& FileName() const { return FFileName; }
  // The errno of the last failure.
  int Error() const { return FError; }

 private:
  bool Fail();

  std::string FFileName;
  int FHandle = -1;
  int FError = 0;
};
