#include "platform/d3d_gl_depth.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A screen-space triangle list of the given depths (1/w of `rhw`), with
// texture coordinates.
struct screen_draw {
    std::vector<float> positions;
    std::vector<float> uvs;
    d3d_draw_call call = {};

    screen_draw(std::initializer_list<float> depths, float rhw = 1.0f)
    {
        for (float z : depths) {
            positions.insert(positions.end(), {10.0f * (float)positions.size(), 5.0f, z, rhw});
            uvs.insert(uvs.end(), {z, 1.0f - z});
        }
        call.primitive_type = D3DPT_TRIANGLELIST;
        call.vertex_format = D3DFVF_XYZRHW | D3DFVF_TEX1;
        call.vertex_count = (DWORD)depths.size();
        call.data.position = {positions.data(), 4 * sizeof(float)};
        call.data.textureCoords[0] = {uvs.data(), 2 * sizeof(float)};
        call.first_vertex = 0;
        call.last_vertex = call.vertex_count - 1;
    }
};

const float bias = 4.0f / 65536.0f;  // one level of z bias

}  // namespace

// A draw may go without the depth test only when no value the buffer may
// hold can fail it: depths near the floor are left to the test.
TEST(GlDepth, ADrawPassesEverywhereOnlyWhenNoValueCanFailIt)
{
    const struct {
        const char* name;
        std::initializer_list<float> depths;
        float rhw, bias;
        DWORD func;
        double floor;
        bool passes;
    } cases[] = {
        {"at 0 over anything", {0.0f, 0.0f, 0.0f}, 1.0f, 0.0f, D3DCMP_LESSEQUAL, 0.0, true},
        {"at 0, less than 0", {0.0f, 0.0f, 0.0f}, 1.0f, 0.0f, D3DCMP_LESS, 0.0, false},
        {"at 0 with another 1/w", {0.0f, 0.0f, 0.0f}, 0.5f, 0.0f, D3DCMP_LESSEQUAL, 0.0, false},
        {"at 0 with a bias", {0.0f, 0.0f, 0.0f}, 1.0f, bias, D3DCMP_LESSEQUAL, 0.0, false},
        {"well in front of the floor", {0.2f, 0.5f, 0.4f}, 1.0f, 0.0f, D3DCMP_LESS, 1.0, true},
        {"its farthest at the floor", {0.2f, 0.5f, 0.4f}, 1.0f, 0.0f, D3DCMP_LESSEQUAL, 0.5, false},
        {"a bias brings it in front",
         {0.5f, 0.5f, 0.5f},
         1.0f,
         16 * bias,
         D3DCMP_LESSEQUAL,
         0.5,
         true},
        {"behind the floor, always", {0.9f, 0.9f, 0.9f}, 1.0f, 0.0f, D3DCMP_ALWAYS, 0.1, true},
        {"in front, greater", {0.1f, 0.1f, 0.1f}, 1.0f, 0.0f, D3DCMP_GREATER, 1.0, false},
        {"in front, never", {0.1f, 0.1f, 0.1f}, 1.0f, 0.0f, D3DCMP_NEVER, 1.0, false},
        {"in front, equal", {0.1f, 0.1f, 0.1f}, 1.0f, 0.0f, D3DCMP_EQUAL, 1.0, false},
        {"unknown function, as less-equal", {0.0f, 0.0f, 0.0f}, 1.0f, 0.0f, 0, 0.0, true},
    };
    for (const auto& test_case : cases) {
        screen_draw draw(test_case.depths, test_case.rhw);
        gl_depth_span span = gl_depth_span_of(draw.call, test_case.bias);
        EXPECT_EQ(gl_depth_passes(test_case.func, span, test_case.floor), test_case.passes)
            << test_case.name;
    }
}

// The floor follows clears and writes; a clear drops what waits, and a
// lost buffer holds anything from 0 on.
TEST(GlDepth, TheFloorIsTheNearestValueWritten)
{
    gl_depth_record record = {};
    gl_depth_clear(&record, 1.0f);
    EXPECT_TRUE(record.clear_waits);
    EXPECT_EQ(record.floor, 1.0);

    screen_draw far({0.75f, 0.5f, 0.75f});
    gl_depth_span span = gl_depth_span_of(far.call, bias);
    gl_depth_lower(&record, &span);
    EXPECT_DOUBLE_EQ(record.floor, 0.5 - bias / 2.0) << "its nearest vertex, biased";
    screen_draw behind({0.9f, 0.9f, 0.9f});
    span = gl_depth_span_of(behind.call, 0.0f);
    gl_depth_lower(&record, &span);
    EXPECT_DOUBLE_EQ(record.floor, 0.5 - bias / 2.0) << "a farther draw leaves it";
    gl_depth_lower(&record, nullptr);
    EXPECT_EQ(record.floor, 0.0) << "a draw of unknown depth";

    gl_depth_keep(&record, far.call, {});
    gl_depth_clear(&record, 0.25f);
    EXPECT_TRUE(record.writes.empty() && record.vertices.empty());
    EXPECT_EQ(record.floor, 0.25);
    gl_depth_forget(&record);
    EXPECT_FALSE(record.clear_waits);
    EXPECT_EQ(record.floor, 0.0);
}

// Kept draws hold the vertices their indices use, and indices counted from
// the first of them.
TEST(GlDepth, KeptDrawsHoldTheVerticesTheirIndicesUse)
{
    gl_depth_record record = {};
    screen_draw first({0.1f, 0.2f, 0.3f});
    gl_depth_keep(&record, first.call, {});
    screen_draw second({0.9f, 0.4f, 0.5f, 0.6f, 0.7f});
    const WORD indices[] = {3, 1, 2};
    second.call.indices = indices;
    second.call.index_count = 3;
    second.call.first_vertex = 1;
    second.call.last_vertex = 3;
    gl_depth_write how = {};
    how.texture = 7;
    how.colour_key = 2;
    gl_depth_keep(&record, second.call, how);

    ASSERT_EQ(record.writes.size(), 2u);
    const gl_depth_write& kept = record.writes[1];
    EXPECT_EQ(kept.first_vertex, 3u);
    EXPECT_EQ(kept.vertex_count, 3u);
    EXPECT_EQ(kept.first_index, 0u);
    EXPECT_EQ(kept.index_count, 3u);
    EXPECT_EQ(record.indices, (std::vector<WORD>{2, 0, 1}));
    EXPECT_EQ(record.writes[0].index_count, 0u) << "drawn in order";
    // Vertex 1 of the second draw: x, y, z, 1/w, u, v.
    const float* vertex = &record.vertices[(size_t)kept.first_vertex * GL_DEPTH_VERTEX_FLOATS];
    EXPECT_EQ(std::vector<float>(vertex, vertex + GL_DEPTH_VERTEX_FLOATS),
              (std::vector<float>{40.0f, 5.0f, 0.4f, 1.0f, 0.4f, 0.6f}));
    EXPECT_TRUE(gl_depth_uses_texture(record, 7));
    EXPECT_FALSE(gl_depth_uses_texture(record, 8));
    EXPECT_FALSE(gl_depth_uses_texture(record, 0)) << "no texture is none of them";
}
