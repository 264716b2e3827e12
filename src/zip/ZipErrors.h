#pragma once
// The errors of the zip component and their fixed English texts.

#include "Exception.h"

ZARNAVIS_DECLARE_EXCEPTION(EZipError, Exception);

namespace ZipText {
inline constexpr const char* NotValid = "Not a valid zip file!";
inline constexpr const char* Incomplete = "Incomplete Zip File";
inline constexpr const char* UserCanceledDisk = "User canceled loading new disk";
inline constexpr const char* UserAborted = "User Aborted Operation";
inline constexpr const char* IndexOutOfRange = "Index %d is out of range";
inline constexpr const char* PrematureEnd = "Premature end of file reached";
inline constexpr const char* TooLarge = "File is larger than uncompressed size!";
inline constexpr const char* InflateNoMemory = "*** inflate out of memory ***";
inline constexpr const char* SeekError = "Seek error";
inline constexpr const char* CantWrite = "Cant write uncompressed file";
inline constexpr const char* NoRoom = "Error Not enough room to write archive";
inline constexpr const char* UnknownMethod = "Unknown Compression Method";
inline constexpr const char* ErrorCaption = "Zip Error";
}  // namespace ZipText

// Raises EZipError with the given text.
[[noreturn]] void ZipFail(const char* Text);
