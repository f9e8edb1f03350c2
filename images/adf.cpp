// The Amiga disk image reader: the whole disk is its one stored file.
#include "images/adf.h"

#include "util/gzip.h"

namespace {

bool IsGzip(const uint8_t* image, uint32_t size) {
  return size >= 3 && image[0] == 0x1F && image[1] == 0x8B && image[2] == 0x08;
}

}  // namespace

CImageADF::CImageADF(uint8_t* image, uint32_t size) : CImageRaw(image, size) {
  if (!IsGzip(image, size)) return;
  // A stream that does not inflate leaves the reader without a file.
  inflated = GunzipMemory(image, size, &image_size);
  image_data = inflated.get();
  if (image_data == nullptr) {
    next_file_size = 0;
  } else {
    rewind();
  }
}
