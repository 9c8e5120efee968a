// Fidelity of a reduced image: peak signal-to-noise ratio over RGB.
#pragma once

namespace hv {

// PSNR in dB of image b against image a, over the red, green and blue values
// of every pixel (peak 255). Each image is a 24-bit DIB or an 8-bit DIB with
// a 256-entry colour table; both must have the same size. Infinity for
// identical colours; -1 for an unusable image or a size mismatch.
double ImagePsnr(void* a, void* b);

}  // namespace hv
