// Placeholder factories: no reader yet.
#include "images/factory.h"

ImageType IdentifyImageC64(const uint8_t*, uint32_t) { return 0; }

std::unique_ptr<CImage> CreateImageC64(ImageType, uint8_t*, uint32_t) {
  return nullptr;
}

std::unique_ptr<CImage> CreateImageAmiga(ImageType, uint8_t*, uint32_t) {
  return nullptr;
}
