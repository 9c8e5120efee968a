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

/* ---- Style extraction ---- */

/* Extracts the theme of an 8- or 24-bit image into the library's style
 * buffer (any other depth gives an empty theme's 50-byte style); returns its
 * length in bytes, or -1 when a 24-bit image cannot be reduced to 8 bits or
 * memory is short (the previous style buffer is then kept). */
HUEVANE_API int HUEVANE_CALL GenStyle(void* dib);

/* Copies the style buffer of the last successful GenStyle into dest, which
 * holds at least its length; returns that length, or -1 without a buffer. */
HUEVANE_API int HUEVANE_CALL FetchStyle(void* dest);

/* As GenStyle, but stores a new style buffer of the caller's in *out (its
 * first four bytes plus 4 give its size; release it with FreeStyleBuf).
 * Returns 0, or -1 with *out untouched when the image cannot be reduced. */
HUEVANE_API int HUEVANE_CALL Preprocess(void* dib, char** out);

/* Releases a buffer made by Preprocess or SaveToBuf; null is ignored. */
HUEVANE_API void HUEVANE_CALL FreeStyleBuf(char* buffer);

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
