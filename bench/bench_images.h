// Image loading shared by the benchmarks.
#pragma once

#include <string>

namespace bench {

// Folder of BMP copies of the samples, set by --bmp-dir=DIR; empty by default.
extern std::string g_bmpDir;

// Reads an image file into a new DIB handle (release with FreeImage), or
// null with a message in *error. BMP files always work; other formats need
// the image I/O component.
void* ReadImage(const std::string& path, std::string* error);
void FreeImage(void* dib);

// Reads the sample photo `name` ("autumn.jpg"), or its BMP copy
// (<bmp-dir>/autumn.bmp) when a BMP folder is set.
void* ReadSample(const std::string& name, std::string* error);

// Writes a DIB as BMP, or through the image I/O component for other
// extensions. True when written.
bool WriteImage(void* dib, const std::string& path, std::string* error);

// A bilinear resampling of a 24-bit DIB to w x h as a new 24-bit DIB
// (released with hv::FreeHandle); null for another depth.
void* Resample(void* src, int w, int h);

}  // namespace bench
