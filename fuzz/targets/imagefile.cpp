// The tool's image reader (BMP, PNG, JPEG recognised by content): a file
// is refused with a message or gives an image that converts to 24 bits and
// survives a lossless save and reload.
#include <cmath>
#include <string>

#include "../fuzz.h"
#include "imageio.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(imagefile, "imageio;bmp") {
    const std::string path = ScratchFile("in.img", std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    hvio::OwnedDib dib(hvio::ReadImage(path, &error));
    if (!dib.get()) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    hvio::OwnedDib rgb(hvio::ToRgb24(dib.get(), &error));
    if (!rgb.get()) return;  // a BMP of a layout the conversion refuses, with a message
    const std::string copy = ScratchPath("copy.png");
    FUZZ_CHECK(hvio::WriteImage(rgb.get(), copy, &error));
    hvio::OwnedDib again(hvio::ReadImage(copy, &error));
    FUZZ_CHECK(again.get() != nullptr);
    FUZZ_CHECK(std::isinf(hvio::Psnr(rgb.get(), again.get())));
}
