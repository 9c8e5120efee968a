/* Huevane: image colour-style algorithms.
 *
 * The flat C interface. Images cross it as DIB handles (packed
 * BITMAPINFOHEADER, colour table, bottom-up rows padded to 4 bytes) made
 * with GlobalAlloc; the host owns every handle it passes in, and releases
 * with GlobalFree every handle the library hands out. Usable from C. */
#ifndef HUEVANE_H
#define HUEVANE_H

#include "huevane/platform.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Colour conversion ---- */

/* RGB word (blue, green, red, 0) of an HSL word (hue, saturation, lightness;
 * the grey-flag byte is ignored). */
HUEVANE_API unsigned int HUEVANE_CALL HSLtoRGB(unsigned int hsl);

/* ---- Bitmap files ---- */

/* Reads a Windows bitmap file into a new DIB handle, stored bottom-up.
 * Returns the handle (the caller releases it with GlobalFree), or 0 when the
 * file is missing, not a bitmap, truncated or of an unsupported layout. */
HUEVANE_API intptr_t HUEVANE_CALL LoadDIB(const char* filename);

/* Writes a DIB with a 40-byte header to a bitmap file, replacing it.
 * Returns 1 when written, 0 otherwise. The handle stays the caller's; for an
 * uncompressed DIB its biSizeImage is rewritten with the computed size. */
HUEVANE_API int HUEVANE_CALL SaveDIB(void* dib, const char* filename);

#ifdef __cplusplus
}
#endif

#endif /* HUEVANE_H */
