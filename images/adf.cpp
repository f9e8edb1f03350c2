// The Amiga disk image reader: the whole disk is its one stored file.
#include "images/adf.h"

#include "archive/inflate.h"

namespace {

bool IsGzip(const uint8_t* image, uint32_t size) {
  return size >= 3 && image[0] == 0x1F && image[1] == 0x8B && image[2] == 0x08;
}

}  // namespace

CImageADF::CImageADF(uint8_t* image, uint32_t size) {
  image_data = image;
  if (IsGzip(image, size)) {
    // A stream that does not inflate leaves the reader without a file.
    inflated = GunzipMemory(image, size, &size);
    image_data = inflated.get();
  }
  image_size = size;
  if (image_data == nullptr) {
    next_file_size = 0;
  } else {
    rewind();
  }
}

void CImageADF::rewind() { next_file_size = image_size; }

const uint8_t* CImageADF::next_file(uint32_t* length) {
  if (next_file_size == 0) {
    *length = 0;
    return nullptr;
  }
  *length = image_size;
  next_file_size = 0;
  return image_data;
}
