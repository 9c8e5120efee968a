/* Huevane platform types.
 *
 * On Windows the real Win32 types and global-memory calls are used. Elsewhere
 * this header supplies them with the same names, layouts and signatures, so a
 * host on any system makes, locks and frees DIB handles the same way. Usable
 * from C. */
#ifndef HUEVANE_PLATFORM_H
#define HUEVANE_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

/* HUEVANE_API marks what the library exports; HUEVANE_CALL is the calling
 * convention of the flat functions (caller cleans the stack).
 * On Windows: HUEVANE_BUILD (the library's sources, and test programs that
 * link its object files directly) exports, HUEVANE_STATIC (a host linking
 * the objects into itself) marks nothing, and a host of the DLL imports.
 * <windows.h> comes in lean and without the min/max macros. */
#if defined(_WIN32)
#  if defined(HUEVANE_BUILD)
#    define HUEVANE_API __declspec(dllexport)
#  elif defined(HUEVANE_STATIC)
#    define HUEVANE_API
#  else
#    define HUEVANE_API __declspec(dllimport)
#  endif
#  if defined(_M_IX86) || defined(__i386__)
#    define HUEVANE_CALL __cdecl
#  else
#    define HUEVANE_CALL
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#  if defined(HUEVANE_BUILD)
/* The library's own code may name things near, far, ERROR and the like:
 * drop the <windows.h> macros that would rewrite such names. */
#    undef near
#    undef far
#    undef ERROR
#    undef DELETE
#    undef TRANSPARENT
#    undef OPAQUE
#  endif
#else
#  define HUEVANE_API __attribute__((visibility("default")))
#  define HUEVANE_CALL

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef int BOOL;
typedef size_t SIZE_T;
typedef void* HGLOBAL;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2

#ifdef __cplusplus
extern "C" {
#endif

/* Global-memory handles. A handle owns its block; it stays valid across
 * GlobalReAlloc. Whoever allocates a handle releases it with GlobalFree. */

/* A new handle of `bytes` bytes (zeroed with GMEM_ZEROINIT); NULL on failure. */
HUEVANE_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
/* Pointer to the block, counting one lock; NULL for a null or invalid handle. */
HUEVANE_API void* GlobalLock(HGLOBAL h);
/* Drops one lock; returns non-zero while the block stays locked. */
HUEVANE_API BOOL GlobalUnlock(HGLOBAL h);
/* Resizes the block; returns the same handle, or NULL with the old block intact. */
HUEVANE_API HGLOBAL GlobalReAlloc(HGLOBAL h, SIZE_T bytes, UINT flags);
/* Releases the handle; returns NULL on success, the handle itself on failure. */
HUEVANE_API HGLOBAL GlobalFree(HGLOBAL h);
/* Size of the block in bytes; 0 for a null or invalid handle. */
HUEVANE_API SIZE_T GlobalSize(HGLOBAL h);

#ifdef __cplusplus
}
#endif

#endif /* _WIN32 */

#ifdef __cplusplus
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD is 4 bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is 14 bytes");
#endif

#endif /* HUEVANE_PLATFORM_H */
