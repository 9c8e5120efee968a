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

/* ---- Theme structures and colour tags ---- */

/* One colour of a theme or one colour family of an image: 8 bytes, packed. */
#pragma pack(push, 1)
typedef struct ColorThemeEntry {
    RGBQUAD color; /* blue, green, red; the fourth byte is 0 for a theme
                      colour, the tag index (0..10) for a colour family */
    float share;   /* share of the image's pixels, 0..1 */
} ColorThemeEntry;
#pragma pack(pop)

/* A plain colour list. The host owns the structure; the library allocates
 * `entries` and releases it with FreeThemeStruct. */
typedef struct ColorThemeStruct {
    int32_t count;
    ColorThemeEntry* entries;
} ColorThemeStruct;

/* Lists the pockets of the theme in a style buffer, in theme order: mean
 * colour (fourth byte 0) and share. A buffer that holds no well-formed theme
 * gives count 0 with an empty array. 0; -1 (count 0, entries null) for a null
 * result or when memory is short. Release entries with FreeThemeStruct. */
HUEVANE_API int HUEVANE_CALL GetColorThemeStruct(ColorThemeStruct* result, char* styleBuffer);

/* Releases the array of a ColorThemeStruct (made by GetColorThemeStruct or
 * GetColorTags) and sets count 0, entries null. Harmless when called again
 * or with null. */
HUEVANE_API void HUEVANE_CALL FreeThemeStruct(ColorThemeStruct* s);

/* Fills table[i][j] with the number of horizontally or vertically adjacent
 * pixel pairs whose pockets are i and j (both ways; the table is cleared
 * first). The theme comes from styleBuffer when it is not null, else it is
 * extracted from the image. The host's dib is neither changed nor released.
 * 0 (table untouched when no pocket-number image can be made); -1, table
 * untouched, for a null table, an image that is neither 8 nor 24 bits, or a
 * 24-bit image that cannot be reduced to 8 bits. */
HUEVANE_API int HUEVANE_CALL GetColorThemeNeighbor(void* dib, int table[256][256], char* styleBuffer);

/* Names the colour families of an 8- or 24-bit image: one entry per family
 * present, in ascending tag index (0 Red, 1 Orange, 2 Yellow, 3 Green,
 * 4 Cyan, 5 Blue, 6 Purple, 7 Beige, 8 Black, 9 Gray, 10 White), with the
 * family's pixel-weighted mean colour (fourth byte = tag index) and share.
 * Palette colours of 10 pixels or fewer are ignored. 0; -1 for a null
 * result, an unsupported image or a failed 24-to-8-bit reduction; -2 when no
 * family covers the image. After a failure count is 0 and entries null.
 * Release entries with FreeThemeStruct. */
HUEVANE_API int HUEVANE_CALL GetColorTags(void* dib, ColorThemeStruct* result);

#ifdef __cplusplus
}
#endif

#endif /* HUEVANE_H */
