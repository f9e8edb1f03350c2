// CImageRaw: the whole image, load address or tape header included, is one file.
#include "images/raw.h"

CImageRaw::CImageRaw(uint8_t* image, uint32_t size) {
  image_data = image;
  image_size = size;
  rewind();
}

void CImageRaw::rewind() { next_file_size = image_size; }

const uint8_t* CImageRaw::next_file(uint32_t* length) {
  if (next_file_size == 0) {
    *length = 0;
    return nullptr;
  }
  *length = image_size;
  next_file_size = 0;
  return image_data;
}
