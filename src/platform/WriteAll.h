#pragma once
// Writing a whole buffer to a file descriptor, across short writes and
// interrupted calls.

#include <cstddef>

// 0 when all Count bytes were written, else the errno of the failure (EIO
// when the system took nothing without saying why).
int WriteAll(int Fd, const void* Data, size_t Count);
