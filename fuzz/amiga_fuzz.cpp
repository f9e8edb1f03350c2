// The Amiga reader factory and gzip inflation in memory over arbitrary
// bytes: the first byte picks the image type (-1 to 3), the rest is the image.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/check.h"
#include "images/adf.h"
#include "images/factory.h"
#include "util/gzip.h"

namespace {

void ListImage(ImageType type, uint8_t* image, uint32_t size) {
  NullSink quiet;
  std::unique_ptr<CImage> reader = CreateImageAmiga(type, image, size, quiet);
  if (!reader) return;
  // A compressed disk is listed from the reader's own inflated copy.
  auto* adf = dynamic_cast<const CImageADF*>(reader.get());
  FUZZ_CHECK(adf != nullptr);
  uint32_t files = 0;
  uint32_t length = 0;
  while (const uint8_t* file = reader->next_file(&length)) {
    FUZZ_CHECK(Within(file, length, image, size) ||
               Within(file, length, adf->inflated.get(), reader->image_size));
    ReadEveryByte(file, length);
    FUZZ_CHECK(++files < kMaxFilesPerImage);
  }
}

void Gunzip(const uint8_t* data, uint32_t size) {
  uint32_t out_size = 0xDEADBEEF;
  std::unique_ptr<uint8_t[]> out = GunzipMemory(data, size, &out_size);
  if (!out) {
    FUZZ_CHECK(out_size == 0xDEADBEEF);
    return;
  }
  ReadEveryByte(out.get(), out_size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (64u << 20)) return 0;
  ImageType type = static_cast<ImageType>(data[0] % 5) - 1;
  uint32_t image_size = static_cast<uint32_t>(size - 1);
  std::unique_ptr<uint8_t[]> image(new uint8_t[image_size]);
  memcpy(image.get(), data + 1, image_size);
  ListImage(type, image.get(), image_size);
  memcpy(image.get(), data + 1, image_size);
  Gunzip(image.get(), image_size);
  return 0;
}
