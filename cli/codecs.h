// Internal pieces of the image I/O shared by its source files.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "huevane/platform.h"
#include "imageio.h"

namespace hvio {
namespace detail {

// A new zeroed DIB handle made with GlobalAlloc: 24 bits, or 8 bits with a
// 256-entry table. Checks the size before allocating; null with a message.
void* NewDib(long long width, long long height, int bits, std::string* error);

// Decoders over a whole file held in memory; null with a message.
void* DecodePng(const unsigned char* data, size_t size, std::string* error);
void* DecodeJpeg(const unsigned char* data, size_t size, std::string* error);

// Encoders into an open file; false with a message.
bool EncodePng(void* dib, std::FILE* out, int level, std::string* error);
bool EncodeJpeg(void* dib, std::FILE* out, int quality, std::string* error);

}  // namespace detail
}  // namespace hvio
