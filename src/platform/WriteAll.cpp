#include "WriteAll.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>

int WriteAll(int Fd, const void* Data, size_t Count) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Count > 0) {
    const ssize_t n = ::write(Fd, p, Count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    p += n;
    Count -= static_cast<size_t>(n);
  }
  return 0;
}
