// The graphics-device subset the game uses: fonts added from a file, text
// drawn into a surface's device context, and single pixels of a surface.
//
// A device context (HDC) is obtained only from a surface (GetDC of
// IDirectDrawSurface7): pixel calls read and write the surface's memory, and
// text goes to the font interface of font.h, which draws it into the surface.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct platform_dc;
struct platform_font;

typedef platform_dc* HDC;
typedef void* HGDIOBJ;
typedef platform_font* HFONT;
typedef DWORD COLORREF;  // 0x00BBGGRR

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
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

// Pixels of the surface behind the context.
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
