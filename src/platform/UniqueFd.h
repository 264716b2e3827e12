#pragma once
// A file descriptor that is closed when its scope ends (and so releases any
// lock held through it).

#include <unistd.h>

class TUniqueFd {
 public:
  explicit TUniqueFd(int Fd = -1) : FFd(Fd) {}
  ~TUniqueFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;
  int Get() const { return FFd; }
  // Gives the descriptor up without closing it.
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }

 private:
  int FFd;
};
