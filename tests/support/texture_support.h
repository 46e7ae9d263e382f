// What the texture tests share: the writers of the image files they load
// (image_writers.h), a reader of surface pixels, and a fixture with the
// render frame up.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "image_writers.h"
#include "platform/d3d.h"
#include "platform/win32.h"
#include "test_support.h"

// The pixels of a 32-bit surface as 0xAARRGGBB, alpha 0xFF where the format
// has none.
Pixels surface_pixels(IDirectDrawSurface7* surface);

struct texture_container;

// A 4 x 4 texture named `name`, its upper half `top` and its lower half
// `bottom` (0xAARRGGBB), written into `dir` as a TGA file and loaded through
// the texture cache attached to `dir` (which reloads it from there after a
// device loss): the cache's container, uncounted, or NULL.
texture_container* test_load_two_tone_texture(const TempDir& dir, const char* name, uint32_t top,
                                              uint32_t bottom);

// A window with the render frame initialised (d3dx_globals) on the recording
// back-end, or on the GL one (test_use_gl_backend) for a fixture made with
// `on_gl`, a log capture and a temporary directory. Where no GL context can
// be made the test is skipped, except under CI, where that is a failure. At
// the end the frame is released and no device object may be left.
class TextureFrameTest : public ::testing::Test {
protected:
    explicit TextureFrameTest(bool on_gl = false) : on_gl_(on_gl) {}
    void SetUp() override;
    void TearDown() override;
    IDirect3DDevice7* device() const;

    TempDir dir;
    std::unique_ptr<LogCapture> log;
    HWND window = nullptr;

private:
    bool on_gl_;
};
