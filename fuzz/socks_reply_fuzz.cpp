// Arbitrary bytes as SOCKS proxy replies: every check must either ask for
// more, fail with a SOCKS number, or complete within the bytes it was given.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "SocksProtocol.h"

namespace {

void CheckOne(TSocksReply (*Check)(const uint8_t*, size_t), const uint8_t* Data, size_t Size) {
  // Fed as the bytes trickle in, as the socket does.
  for (size_t n = 0; n <= Size; ++n) {
    const TSocksReply r = Check(Data, n);
    if (r.Kind == TSocksReply::Complete && (r.Length == 0 || r.Length > n)) std::abort();
    if (r.Kind == TSocksReply::Failed && (r.Error < 20001 || r.Error > 20017)) std::abort();
    if (r.Kind != TSocksReply::NeedMore) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  CheckOne(SocksCheckMethodReply, Data, Size);
  CheckOne(SocksCheckAuthReply, Data, Size);
  CheckOne(SocksCheckReply4, Data, Size);
  CheckOne(SocksCheckReply5, Data, Size);
  return 0;
}
