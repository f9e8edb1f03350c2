// Format identification by content and the reader factories of both profiles.
#pragma once

#include <cstdint>
#include <memory>

#include "images/image.h"

// A reader factory: a reader over the caller's buffer, which it borrows and
// may rewrite in place, or nullptr when no reader can be made.
using ImageFactory = std::unique_ptr<CImage> (*)(ImageType type, uint8_t* image,
                                                 uint32_t size);

// 1 (D64), 2 (T64), 3 (PRG), 4 (P00), 5 (CRT) or 7 (TAP), or 0.
ImageType IdentifyImageC64(const uint8_t* image, uint32_t size);

std::unique_ptr<CImage> CreateImageC64(ImageType type, uint8_t* image,
                                       uint32_t size);
std::unique_ptr<CImage> CreateImageAmiga(ImageType type, uint8_t* image,
                                         uint32_t size);
