// The G64 to D64 conversion over arbitrary bytes, into an output buffer
// whose capacity the first byte picks.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/check.h"
#include "images/g64.h"

namespace {

constexpr uint32_t kD64Size = 174848;            // 683 sectors
constexpr uint32_t kD64WithErrors = 175531;      // and one status byte each

uint32_t Capacity(uint8_t pick, uint32_t input_size) {
  switch (pick % 6) {
    case 0: return 0;
    case 1: return kD64Size - 1;
    case 2: return kD64Size;
    case 3: return kD64WithErrors - 1;
    case 4: return kD64WithErrors;
    default: return input_size;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (64u << 20)) return 0;
  uint32_t g64_size = static_cast<uint32_t>(size - 1);
  std::unique_ptr<uint8_t[]> g64(new uint8_t[g64_size]);
  memcpy(g64.get(), data + 1, g64_size);
  uint32_t capacity = Capacity(data[0], g64_size);
  std::unique_ptr<uint8_t[]> out(new uint8_t[capacity]);

  uint32_t written = ConvertG64ToD64(g64.get(), g64_size, out.get(), capacity);
  FUZZ_CHECK(written <= capacity);
  FUZZ_CHECK(written == 0 || written == kD64Size || written == kD64WithErrors);
  ReadEveryByte(out.get(), written);
  // The conversion reads the G64 data only.
  FUZZ_CHECK(memcmp(g64.get(), data + 1, g64_size) == 0);
  return 0;
}
