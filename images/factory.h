// Format identification by content, the extension tables of both profiles,
// and their reader factories.
#pragma once

#include <cstdint>
#include <memory>

#include "images/image.h"
#include "util/messages.h"

// The C64 profile's image types, positions in kC64Extensions.
namespace c64 {
constexpr ImageType kD64 = 1, kT64 = 2, kPrg = 3, kP00 = 4, kCrt = 5, kG64 = 6,
                    kTap = 7, kZip = 8, kD71 = 9, kD81 = 10;
}

// The Amiga profile's image types, positions in kAmigaExtensions.
namespace amiga {
constexpr ImageType kAdf = 1, kAdz = 2, kZip = 3;
}

// Extension tables: entry 0 is the placeholder "????", which no extension
// matches; the index of an entry is its ImageType; "" closes the table.
extern const char* const kC64Extensions[];
extern const char* const kAmigaExtensions[];

// A reader factory: a reader over the caller's buffer, which it borrows and
// may rewrite in place, or nullptr when no reader can be made. Readers hand
// their damage messages to `sink`.
using ImageFactory = std::unique_ptr<CImage> (*)(ImageType type, uint8_t* image,
                                                 uint32_t size, MessageSink& sink);

// c64::kD64, kT64, kPrg, kP00, kCrt, kTap or kD81 by the image's first bytes
// and size, or 0.
ImageType IdentifyImageC64(const uint8_t* image, uint32_t size);

std::unique_ptr<CImage> CreateImageC64(ImageType type, uint8_t* image,
                                       uint32_t size, MessageSink& sink);
std::unique_ptr<CImage> CreateImageAmiga(ImageType type, uint8_t* image,
                                         uint32_t size, MessageSink& sink);
