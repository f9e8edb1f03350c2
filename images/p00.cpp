// CImageP00: the stored file is everything behind the 26-byte header.
#include "images/p00.h"

CImageP00::CImageP00(uint8_t* image, uint32_t size) {
  image_data = image;
  image_size = size;
  rewind();
}

// An image no longer than its header holds no file.
void CImageP00::rewind() {
  next_file_size = image_size > kHeaderSize ? image_size - kHeaderSize : 0;
}

const uint8_t* CImageP00::next_file(uint32_t* length) {
  if (next_file_size == 0) {
    *length = 0;
    return nullptr;
  }
  *length = next_file_size;
  next_file_size = 0;
  return image_data + kHeaderSize;
}
