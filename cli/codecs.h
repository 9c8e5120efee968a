// Internal pieces of the image I/O shared by its source files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "huevane/platform.h"
#include "imageio.h"

namespace hvio {
namespace detail {

// A new zeroed DIB handle made with GlobalAlloc: 24 bits, or 8 bits with a
// 256-entry table. Checks the size before allocating; null with a message.
void* NewDib(long long width, long long height, int bits, std::string* error);

// Checks what decoding an image of width x height pixels from a file of
// fileBytes bytes would take: at most maxPixels pixels; at most
// pixelsPerByte pixels per byte of the file (what the format's coding can
// plausibly pack); and at most the memory of a 24-bit image of maxPixels
// pixels for the 24-bit result and `scratch` bytes of the decoder's own
// buffers of the image's size together. False with a message naming `format` otherwise.
bool WithinLimits(const char* format, uint64_t width, uint64_t height, uint64_t fileBytes,
                  uint64_t pixelsPerByte, uint64_t scratch, long long maxPixels, std::string* error);

// Decoders over a whole file held in memory, within the limits above; null
// with a message.
void* DecodePng(const unsigned char* data, size_t size, std::string* error,
                long long maxPixels = kDefaultMaxPixels);
void* DecodeJpeg(const unsigned char* data, size_t size, std::string* error,
                 long long maxPixels = kDefaultMaxPixels);

// Encoders into an open file; false with a message.
bool EncodePng(void* dib, std::FILE* out, std::string* error);
bool EncodeJpeg(void* dib, std::FILE* out, int quality, std::string* error);

}  // namespace detail
}  // namespace hvio
