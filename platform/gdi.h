// The graphics-device subset the game uses: fonts added from a file, text
// drawn into a surface's device context, single pixels of a surface, and
// device-independent bitmaps in memory (made, loaded from BMP files,
// described).
//
// A device context (HDC) is obtained from a surface (GetDC of
// IDirectDrawSurface7): pixel calls read and write the surface's memory, and
// text goes to the font interface of font.h, which draws it into the surface.
// A memory context (CreateCompatibleDC) has no surface: pixel and text calls
// on it fail.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "platform/win_types.h"

struct platform_dc;
struct platform_font;
struct platform_bitmap;

typedef platform_dc* HDC;
typedef void* HGDIOBJ;
typedef platform_font* HFONT;
typedef platform_bitmap* HBITMAP;
typedef DWORD COLORREF;  // 0x00BBGGRR

#define RGB(r, g, b) \
    ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define CLR_INVALID ((COLORREF)0xFFFFFFFF)
#define HGDI_ERROR ((HGDIOBJ)(intptr_t)-1)

enum { TRANSPARENT = 1, OPAQUE = 2 };
enum { FW_NORMAL = 400, FW_BOLD = 700 };
enum { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1 };
enum { OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0 };
enum { DEFAULT_QUALITY = 0, PROOF_QUALITY = 2 };
enum { DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2, FF_SWISS = 0x20 };
enum { BLACK_BRUSH = 4 };

struct TEXTMETRIC {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
};

// Fonts. AddFontResource returns the number of faces added (0 on failure).
int AddFontResource(const char* file_name);
BOOL RemoveFontResource(const char* file_name);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strike_out, DWORD char_set, DWORD out_precision,
                 DWORD clip_precision, DWORD quality, DWORD pitch_and_family, const char* face);
BOOL DeleteObject(HGDIOBJ object);
// The previously selected object (NULL when none was), or NULL on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetStockObject(int index);

// Text in a device context.
COLORREF SetTextColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const void* rect, const char* text, UINT count,
                const int* spacing);
BOOL TextOut(HDC dc, int x, int y, const char* text, int count);
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics);
struct SIZE {
    LONG cx, cy;
};
// The advance of `count` characters of `text` and the font's cell height.
BOOL GetTextExtentPoint32(HDC dc, const char* text, int count, SIZE* size);

// Pixels of the surface behind the context.
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);

// ---- device-independent bitmaps

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;  // bytes of one row, a multiple of 4
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;  // the rows, bottom row first for a bottom-up bitmap
};
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: bottom-up rows; negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER keeps its 40-byte layout");

enum { BI_RGB = 0, BI_BITFIELDS = 3 };
enum { DIB_RGB_COLORS = 0 };
enum { IMAGE_BITMAP = 0 };
enum { LR_LOADFROMFILE = 0x0010, LR_CREATEDIBSECTION = 0x2000 };

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// 24- or 32-bit BI_RGB bitmaps of at most 16384 x 16384 pixels, zeroed;
// *bits receives the rows. NULL for anything else. Released with
// DeleteObject.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Fills a BITMAP for a bitmap; returns the bytes written, 0 for anything else.
int GetObject(HGDIOBJ object, int size, void* buffer);
// IMAGE_BITMAP with LR_LOADFROMFILE: a BMP file (through the path resolver)
// as a 32-bit bottom-up bitmap; the program has no bitmap resources, so
// without LR_LOADFROMFILE the answer is NULL.
HANDLE LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
