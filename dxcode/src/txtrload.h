// Image-file tools beside the texture cache (not on its loading path):
// binary PPM ("P6") images from a file or from memory and BMP files, each
// into a GDI bitmap, and the game's own bitmap files (".vkb"), written from
// a colour bitmap with an optional alpha bitmap and read back into a
// vk_bitmap record.
//
// VKB file, all integers little-endian int32: a 256-byte zero-terminated name
// (the base name of the bitmap), width, height, pitch (3 x width, or 4 x
// width with alpha), has alpha (0 or 1), then height rows of pitch bytes:
// blue, green, red (and alpha) of each pixel, rows in the order they lie in
// the source bitmap's memory. Widths and heights written are powers of two
// from 2 to 4096.
//
// PPM images become 32-bit bottom-up bitmaps whose memory rows follow the
// file's rows, so the first row of the file is the bottom row of the
// picture. Header numbers are taken modulo 65536 and every whitespace byte
// after the maximum value is skipped (headers written with CRLF line ends).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi.h"
#include "texture_container.h"

enum { VKB_NAME_SIZE = 256, VKB_HEADER_SIZE = 272, VKB_MAX_SIZE = 4096 };

// 0 and the bitmap; E_INVALIDARG for a NULL argument; DDERR_NOTFOUND when
// the file does not open; E_FAIL for a bad header, missing pixels or a
// bitmap that cannot be made.
HRESULT txtrload_load_ppm_file(const char* file_name, HBITMAP* bitmap);
// The same over `size` bytes of a PPM image in memory.
HRESULT txtrload_load_ppm_from_memory(const uint8_t* data, size_t size, HBITMAP* bitmap);
// 0 and the bitmap, DDERR_NOTFOUND, or E_INVALIDARG for a NULL argument.
HRESULT txtrload_load_bmp_file(const char* name, HBITMAP* bitmap);

// Writes directory\<base name>.vkb; the colour bitmap needs 24 or more bits a
// pixel, the alpha bitmap (or NULL) the same size. 1 written, 0 failed.
int SaveVKBFile(const char* bitmap_name, HBITMAP* colour_bitmap, HBITMAP* alpha_bitmap,
                const char* directory);
// A new vk_bitmap (released with free_vk_bitmap), or NULL for a file that
// does not open, is short, or whose header gives no valid pixel size.
vk_bitmap* LoadVKBFile(const char* file_name);
