#include "platform/d3d_gl_repeat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Five lit vertices (position, normal) with one diffuse colour for all; the
// indices use vertices 1 to 3.
struct lit_draw {
    std::vector<float> positions, normals;
    DWORD colour = 0xFF336699;
    WORD indices[3] = {3, 1, 2};
    d3d_draw_call call = {};

    lit_draw()
    {
        for (int v = 0; v < 5; ++v) {
            positions.insert(positions.end(), {(float)v, 2.0f * v, 3.0f * v});
            normals.insert(normals.end(), {0.0f, 0.0f, (float)v});
        }
        call.primitive_type = D3DPT_TRIANGLELIST;
        call.vertex_format = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
        call.vertex_count = 5;
        call.data.position = {positions.data(), 3 * sizeof(float)};
        call.data.normal = {normals.data(), 3 * sizeof(float)};
        call.data.diffuse = {&colour, 0};
        call.indices = indices;
        call.index_count = 3;
        call.first_vertex = 1;
        call.last_vertex = 3;
    }
};

d3d_device_state lit_state()
{
    d3d_device_state state = {};
    state.render_states[D3DRENDERSTATE_LIGHTING] = 1;
    state.render_states[D3DRENDERSTATE_ZENABLE] = D3DZB_TRUE;
    state.lights[4] = {{}, TRUE, TRUE};
    state.lights[4].light.dltType = D3DLIGHT_POINT;
    state.lights[6] = {{}, TRUE, FALSE};  // set, not enabled: no draw reads it
    state.transforms[D3DTRANSFORMSTATE_WORLD].m[3][0] = 7.0f;
    state.viewport.dwWidth = 640;
    return state;
}

}  // namespace

// A held draw is made from the record alone: the vertices its indices use,
// packed, the indices counted from the first of them, a colour given once
// for all vertices, and the lights that shine in their slots.
TEST(GlRepeat, ARecordedDrawComesBackAsItWasGiven)
{
    gl_repeat_record record;
    gl_repeat_start(&record);
    lit_draw draw;
    d3d_device_state state = lit_state();
    ASSERT_TRUE(gl_repeat_clear(&record, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f));
    ASSERT_TRUE(gl_repeat_draw(&record, state, draw.call, 9, true));

    size_t at = 0;
    gl_repeat_call call;
    ASSERT_TRUE(gl_repeat_next(record, &at, &call));
    EXPECT_FALSE(call.is_draw);
    EXPECT_EQ(call.clear_flags, (DWORD)(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER));
    ASSERT_TRUE(gl_repeat_next(record, &at, &call));
    ASSERT_TRUE(call.is_draw);
    const d3d_draw_call& got = call.draw;
    EXPECT_EQ(got.first_vertex, 0u);
    EXPECT_EQ(got.last_vertex, 2u);
    ASSERT_EQ(got.index_count, 3u);
    EXPECT_EQ(std::vector<WORD>(got.indices, got.indices + 3), (std::vector<WORD>{2, 0, 1}));
    for (DWORD v = 0; v < 3; ++v) {
        const float* position = (const float*)d3d_draw_component(got.data.position, v);
        EXPECT_EQ(std::vector<float>(position, position + 3),
                  (std::vector<float>{v + 1.0f, 2.0f * (v + 1), 3.0f * (v + 1)}));
        EXPECT_EQ(((const float*)d3d_draw_component(got.data.normal, v))[2], v + 1.0f);
    }
    EXPECT_EQ(got.data.diffuse.dwStride, 0u);
    EXPECT_EQ(*(const DWORD*)got.data.diffuse.lpvData, draw.colour);
    EXPECT_EQ(got.data.specular.lpvData, nullptr);
    EXPECT_EQ(call.state.transforms[D3DTRANSFORMSTATE_WORLD].m[3][0], 7.0f);
    EXPECT_EQ(call.state.viewport.dwWidth, 640u);
    EXPECT_TRUE(call.state.lights[4].enabled);
    EXPECT_EQ(call.state.lights[4].light.dltType, (DWORD)D3DLIGHT_POINT);
    EXPECT_FALSE(call.state.lights[6].set) << "not read by the draw";
    EXPECT_FALSE(gl_repeat_next(record, &at, &call)) << "past the last call";
}

// A frame is held only after frames that follow from their calls alone
// repeated; each frame here is drawn after three alike with the lit draw.
TEST(GlRepeat, OnlyFramesWhosePictureFollowsFromTheirCallsAreHeld)
{
    const struct {
        const char* name;
        DWORD clear;       // before the draw
        bool depth;        // the target has a depth buffer
        int draws;         // of the lit draw
        uint64_t version;  // of the texels
        bool held;
    } cases[] = {
        {"alike", D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, true, 1, 9, true},
        {"the colour not cleared", D3DCLEAR_ZBUFFER, true, 1, 9, false},
        {"depth tested, not cleared", D3DCLEAR_TARGET, true, 1, 9, false},
        {"no depth buffer to clear", D3DCLEAR_TARGET, false, 1, 9, true},
        {"other texels", D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, true, 1, 10, false},
        {"past the record's room", D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, true, 200, 9, false},
    };
    lit_draw draw;
    d3d_device_state state = lit_state();
    for (const auto& test_case : cases) {
        SCOPED_TRACE(test_case.name);
        gl_repeat_record record;
        gl_repeat_start(&record);
        for (int frame = 0; frame < GL_REPEAT_FRAMES; ++frame) {
            gl_repeat_clear(&record, test_case.clear, 0xFF000000, 1.0f);
            for (int i = 0; i < test_case.draws; ++i)
                gl_repeat_draw(&record, state, draw.call, 9, test_case.depth);
            gl_repeat_presented(&record, true);
        }
        gl_repeat_clear(&record, test_case.clear, 0xFF000000, 1.0f);
        for (int i = 0; i < test_case.draws; ++i)
            gl_repeat_draw(&record, state, draw.call, test_case.version, test_case.depth);
        EXPECT_EQ(record.holding && gl_repeat_same(record), test_case.held);
    }
}

// A frame that outgrew the record (a level's) is followed by frames that
// record nothing, and a screen standing still after them is held again.
TEST(GlRepeat, FramesAfterOneThatOutgrewTheRecordRestBeforeTheyAreRecorded)
{
    lit_draw draw;
    d3d_device_state state = lit_state();
    gl_repeat_record record;
    gl_repeat_start(&record);
    const DWORD clear = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
    gl_repeat_clear(&record, clear, 0xFF000000, 1.0f);
    bool recorded = true;
    while (recorded)
        recorded = gl_repeat_draw(&record, state, draw.call, 9, true);
    gl_repeat_presented(&record, true);
    for (int frame = 0; frame < GL_REPEAT_REST_FRAMES; ++frame) {
        EXPECT_FALSE(gl_repeat_clear(&record, clear, 0xFF000000, 1.0f)) << frame;
        EXPECT_FALSE(gl_repeat_draw(&record, state, draw.call, 9, true)) << frame;
        gl_repeat_presented(&record, true);
        EXPECT_FALSE(record.holding) << frame;
    }
    for (int frame = 0; frame < GL_REPEAT_FRAMES; ++frame) {
        EXPECT_TRUE(gl_repeat_clear(&record, clear, 0xFF000000, 1.0f)) << frame;
        EXPECT_TRUE(gl_repeat_draw(&record, state, draw.call, 9, true)) << frame;
        gl_repeat_presented(&record, true);
    }
    EXPECT_TRUE(record.holding);
}
