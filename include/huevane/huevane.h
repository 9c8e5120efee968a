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

/* ---- Style application ---- */

/* One pairing of GetMatchLinks / AdjustImageStyle3: the index of a target
 * pocket (its position in the target buffer) and of the style pocket it
 * takes its colour from, or -1 for none. */
typedef struct MatchLink {
    int32_t targetIndex;
    int32_t styleIndex;
} MatchLink;

/* A list of pairings; the links array belongs to the host. */
typedef struct MatchLinkTable {
    int32_t count;
    MatchLink* links;
} MatchLinkTable;

/* Re-colours the image in place in the style of a style buffer (made by
 * GenStyle or Preprocess): the colour table of an 8-bit image, the pixels of
 * a 24-bit one. target is the image's own style buffer or null (the image is
 * then analysed). 0, or -1 for a depth other than 8 and 24 or a failed
 * reduction to 8 bits (image unchanged). Every handle made inside is
 * released before it returns. */
HUEVANE_API int HUEVANE_CALL AdjustImageStyle(void* dib, char* style, char* target);

/* As AdjustImageStyle (note the buffer order), for repeated calls on one
 * 24-bit image: dib8 is its 8-bit form, backup a copy of its first pixels,
 * both optional and both kept by the host; with them each call re-colours
 * from the same first colours. A dib8 or backup of another size or depth
 * leaves the image unchanged (result 0). */
HUEVANE_API int HUEVANE_CALL AdjustImageStyle2(void* dib, char* target, char* style, void* dib8, void* backup);

/* Re-colours the image with the pairings of table instead of computing
 * them; entries naming pockets that do not exist leave their target pocket
 * unpaired or are skipped. Always 0. */
HUEVANE_API int HUEVANE_CALL AdjustImageStyle3(void* dib, char* style, char* target, MatchLinkTable* table);

/* Pairs the target buffer's pockets with the style buffer's by method 1 to 5
 * (1 by size, 2 by size refined by hue, 3 by lightness, 4 by colour
 * differences, 5 by neighbour chains) and writes one entry per target pocket,
 * largest first, into table->links, which must have room for as many
 * entries as the target has pockets (with links null only count is
 * written). count = the target's pocket count. Always 0. */
HUEVANE_API int HUEVANE_CALL GetMatchLinks(char* style, char* target, int method, MatchLinkTable* table);

/* ---- Region style application ---- */

/* A closed polygon of count vertices (xs[i], ys[i]), in pixels from the
 * left edge and rows from the top of the picture. */
typedef struct RegionPolygon {
    int32_t count;
    int32_t* xs;
    int32_t* ys;
} RegionPolygon;

/* As AdjustImageStyle without a target buffer, then the pixels inside the n
 * regions (even-odd rule over all their edges; clipped to the image) are
 * given back their colours from the start of the call. n = 0 is
 * AdjustImageStyle(dib, style, null). 0; -1 for a depth other than 8 and 24,
 * a failed reduction or copy, a negative n or vertex count, null arrays, or
 * memory too short for the regions (image unchanged in each case). Regions
 * of fewer than 3 vertices restore nothing. */
HUEVANE_API int HUEVANE_CALL AdjustImageStyleWithRegions(void* dib, char* style, RegionPolygon* regions, int n);

/* The same with the options of AdjustImageStyle2: a target buffer, the
 * image's 8-bit form and a backup of its first pixels, each optional and
 * kept by the host; with n = 0 they are not used. */
HUEVANE_API int HUEVANE_CALL AdjustImageStyleWithRegions2(void* dib, char* target, char* style,
                                                          RegionPolygon* regions, int n, void* dib8,
                                                          void* backup);

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
