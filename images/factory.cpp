// Identification of C64 images by content, and the factories of both profiles.
#include "images/factory.h"

#include <cstring>
#include <new>

#include "images/adf.h"
#include "images/crt.h"
#include "images/d64.h"
#include "images/g64.h"
#include "images/p00.h"
#include "images/raw.h"
#include "images/t64.h"

const char* const kC64Extensions[] = {
    "????", ".D64", ".T64", ".PRG", ".P00", ".CRT", ".G64", ".TAP", ".ZIP",
    ".D71", ".D81", ""};
const char* const kAmigaExtensions[] = {"????", ".ADF", ".ADZ", ".ZIP", ""};

// Track 18, sector 0 (the BAM) of a D64 image, which links to track 18,
// sector 1.
static constexpr uint32_t kBamOffset = 91392;
static constexpr uint32_t kMinD64Size = 91802;
// The two sizes of a D71 image, without and with its error bytes. Its first
// side is laid out as a D64, BAM link and all.
static constexpr uint32_t kD71Size = 349696;
static constexpr uint32_t kD71SizeWithErrors = 351062;
// Track 40, sector 0 (the header) of a D81 image, which links to the first
// directory sector, track 40, sector 3; and the two sizes of a D81 image,
// without and with its error bytes.
static constexpr uint32_t kD81HeaderOffset = 399360;
static constexpr uint32_t kD81Size = 819200;
static constexpr uint32_t kD81SizeWithErrors = 822400;

static bool BeginsWith(const uint8_t* image, uint32_t size, const char* magic) {
  size_t length = std::strlen(magic);
  return size >= length && std::memcmp(image, magic, length) == 0;
}

// The longer "C64..." magics go before the plain "C64" of a T64. A D71 is
// told from a D64 by its exact size alone, so that test goes first; a D64
// lists the first side of a D71 alike, and only a file that runs on to the
// second side lists differently. The D81 test comes last, so that no other
// image changes the type it always had.
ImageType IdentifyImageC64(const uint8_t* image, uint32_t size) {
  if (size >= 2 && image[0] == 0x01 && image[1] == 0x08) return c64::kPrg;
  if (BeginsWith(image, size, "C64 CARTRIDGE")) return c64::kCrt;
  if (BeginsWith(image, size, "C64File")) return c64::kP00;
  if (BeginsWith(image, size, "C64-TAPE-RAW")) return c64::kTap;
  if (BeginsWith(image, size, "C64")) return c64::kT64;
  if (size >= kMinD64Size && image[kBamOffset] == 18 && image[kBamOffset + 1] == 1) {
    return size == kD71Size || size == kD71SizeWithErrors ? c64::kD71 : c64::kD64;
  }
  if ((size == kD81Size || size == kD81SizeWithErrors) && image[kD81HeaderOffset] == 40 &&
      image[kD81HeaderOffset + 1] == 3) {
    return c64::kD81;
  }
  return 0;
}

// A disk reader without its file buffer would list nothing, so none is made.
template <typename Reader>
static std::unique_ptr<CImage> NewDiskReader(uint8_t* image, uint32_t size,
                                             MessageSink& sink) {
  std::unique_ptr<Reader> reader(new (std::nothrow) Reader(image, size, sink));
  if (!reader || !reader->has_file_buffer()) return nullptr;
  return reader;
}

// The D64 image converted from a G64 image is written over the front of the
// G64's own buffer, which is at least as long.
static std::unique_ptr<CImage> NewG64Reader(uint8_t* image, uint32_t size,
                                            MessageSink& sink) {
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[size]);
  if (!scratch) return nullptr;
  const uint32_t converted = ConvertG64ToD64(image, size, scratch.get(), size);
  if (converted == 0) return nullptr;
  std::memcpy(image, scratch.get(), converted);
  return NewDiskReader<CImageD64>(image, converted, sink);
}

template <typename Reader>
static std::unique_ptr<CImage> NewReader(uint8_t* image, uint32_t size) {
  return std::unique_ptr<CImage>(new (std::nothrow) Reader(image, size));
}

std::unique_ptr<CImage> CreateImageC64(ImageType type, uint8_t* image, uint32_t size,
                                       MessageSink& sink) {
  if (type < 0) type = IdentifyImageC64(image, size);
  switch (type) {
    case c64::kD64:
      return NewDiskReader<CImageD64>(image, size, sink);
    case c64::kD71:
      return NewDiskReader<CImageD71>(image, size, sink);
    case c64::kD81:
      return NewDiskReader<CImageD81>(image, size, sink);
    case c64::kT64:
      return std::unique_ptr<CImage>(new (std::nothrow) CImageT64(image, size, sink));
    case c64::kPrg:
    case c64::kTap:
      return NewReader<CImageRaw>(image, size);
    case c64::kP00:
      return NewReader<CImageP00>(image, size);
    case c64::kCrt:
      return NewReader<CImageCRT>(image, size);
    case c64::kG64:
      return NewG64Reader(image, size, sink);
    default:  // 0, and c64::kZip: archives are opened by the caller
      return nullptr;
  }
}

std::unique_ptr<CImage> CreateImageAmiga(ImageType type, uint8_t* image,
                                         uint32_t size, MessageSink&) {
  if (type != amiga::kAdf && type != amiga::kAdz) return nullptr;
  return NewReader<CImageADF>(image, size);
}
