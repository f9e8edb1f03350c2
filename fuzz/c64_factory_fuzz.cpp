// The C64 reader factory over arbitrary bytes, for every image type: the
// first byte picks the type (-1 to 11), the rest is the image.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/check.h"
#include "images/d64.h"
#include "images/factory.h"
#include "images/image.h"

namespace {

constexpr uint32_t kKnownErrors = IMGERR_NO_FILES | IMGERR_TOO_BIG |
                                  IMGERR_BAD_LINK | IMGERR_PAST_END |
                                  IMGERR_TRUNCATED | IMGERR_DIR_CORRUPT;

// A disk reader (D64, D71, D81) gathers each file's sectors into its own
// buffer of image_size bytes; every other reader points into the image.
void CheckFile(const CImage& reader, const uint8_t* file, uint32_t length,
               const uint8_t* image, uint32_t size) {
  if (Within(file, length, image, size)) return;
  auto* d64 = dynamic_cast<const CImageD64*>(&reader);
  FUZZ_CHECK(d64 != nullptr);
  FUZZ_CHECK(Within(file, length, d64->file_buffer(), reader.image_size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (64u << 20)) return 0;
  ImageType type = static_cast<ImageType>(data[0] % 13) - 1;
  uint32_t image_size = static_cast<uint32_t>(size - 1);
  // Exactly as long as the image, so that ASan sees the first byte past it.
  std::unique_ptr<uint8_t[]> image(new uint8_t[image_size]);
  memcpy(image.get(), data + 1, image_size);

  NullSink quiet;
  std::unique_ptr<CImage> reader = CreateImageC64(type, image.get(), image_size, quiet);
  if (!reader) return 0;
  FUZZ_CHECK(reader->image_size <= image_size);
  uint32_t files = 0;
  uint32_t length = 0;
  while (const uint8_t* file = reader->next_file(&length)) {
    CheckFile(*reader, file, length, image.get(), image_size);
    ReadEveryByte(file, length);
    FUZZ_CHECK(++files < kMaxFilesPerImage);
  }
  FUZZ_CHECK((reader->error_flags & ~kKnownErrors) == 0);
  // The audit's fallback: one CRC over the buffer as the reader left it.
  ReadEveryByte(image.get(), image_size);
  return 0;
}
