// Clears and draws in the GL back-end: each is recorded for the frame
// repeat and drawn unless the frame is held; the vertices go up through the
// stream buffer; the depth writes that wait are made before a draw reads
// depth (d3d_gl_depth.h); text is blended into the target.
#include <cstring>
#include <type_traits>

#include "platform/d3d_gl_internal.h"

namespace d3d_gl {

// A clear or a draw goes into the frame's record, and is drawn unless the
// frame is held.
HRESULT gl_backend::clear(DWORD flags, D3DCOLOR colour, float depth_value)
{
    if (!make_current()) {
        forget_frames();
        return DDERR_SURFACELOST;
    }
    bool recorded = gl_repeat_clear(&repeat, flags, colour, depth_value);
    if (repeat.holding && recorded)
        return D3D_OK;
    flush_held();
    return clear_now(flags, colour, depth_value);
}

HRESULT gl_backend::clear_now(DWORD flags, D3DCOLOR colour, float depth_value)
{
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float rgba[4];
        colour_vector(colour, rgba);
        gl.ClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    // The depth buffer's clear waits until a draw tests depth (see
    // d3d_gl_depth.h).
    if ((flags & D3DCLEAR_ZBUFFER) && has_depth)
        gl_depth_clear(&depth, depth_value);
    if (mask)
        gl.Clear(mask);
    return D3D_OK;
}

void gl_backend::make_depth_current()
{
    if (depth.clear_waits) {
        if (!cache.valid || !cache.depth_write) {
            gl.DepthMask(GL_TRUE);
            cache.depth_write = true;
        }
        gl.ClearDepth(depth.clear_value);
        gl.Clear(GL_DEPTH_BUFFER_BIT);
        depth.clear_waits = false;
    }
    if (!depth.writes.empty())
        write_kept_depth();
}

// The kept draws into the depth buffer alone, in their order: each writes
// the depth of every fragment it drew (func ALWAYS), and the texels of a
// colour key leave out the fragments they left out. Their program places
// vertices as the one they were drawn with did.
void gl_backend::write_kept_depth()
{
    size_t vertex_bytes = depth.vertices.size() * sizeof(float);
    size_t index_bytes = depth.indices.size() * sizeof(WORD);
    bind_vertex_array(vertex_array);  // the stream buffer is bound to it
    size_t base = 0;
    uint8_t* memory = stream_map(vertex_bytes + 16 + index_bytes, &base);
    if (!memory)
        return;
    size_t indices_at = (base + vertex_bytes + 15) & ~(size_t)15;
    memcpy(memory, depth.vertices.data(), vertex_bytes);
    if (index_bytes)
        memcpy(memory + (indices_at - base), depth.indices.data(), index_bytes);
    bool mapped = gl.UnmapBuffer(GL_ARRAY_BUFFER) != GL_FALSE;
    const GLsizei stride = GL_DEPTH_VERTEX_FLOATS * sizeof(float);
    gl.VertexAttribPointer(ATTRIBUTE_POSITION, 4, GL_FLOAT, GL_FALSE, stride, (const void*)base);
    gl.VertexAttribPointer(ATTRIBUTE_UV, 2, GL_FLOAT, GL_FALSE, stride,
                           (const void*)(base + 4 * sizeof(float)));
    vertex_layout = ~0u;
    set_arrays(1u << ATTRIBUTE_POSITION | 1u << ATTRIBUTE_UV);
    gl.ColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    gl.Disable(GL_BLEND);
    gl.Enable(GL_DEPTH_TEST);
    gl.DepthFunc(GL_ALWAYS);
    gl.DepthMask(GL_TRUE);
    gl.Viewport(0, 0, (GLsizei)width, (GLsizei)height);
    for (const gl_depth_write& write : depth.writes) {
        program_key key = {};
        key.values[KEY_PRETRANSFORMED] = 1;
        key.values[KEY_TEXTURE] = write.colour_key != 0;
        key.values[KEY_COLOUR_KEY] = write.colour_key;
        compiled_program* program = mapped ? program_for(key) : nullptr;
        if (!program)
            break;
        gl.UseProgram(program->program);
        gl.BindTexture(GL_TEXTURE_2D, write.texture);
        gl.BindSampler(0, write.sampler);
        if (culls(write.cull_mode))
            gl.Enable(GL_CULL_FACE);
        else
            gl.Disable(GL_CULL_FACE);
        gl.CullFace(cull_face(write.cull_mode));
        gl.PolygonMode(GL_FRONT_AND_BACK, polygon_mode(write.fill_mode));
        if (!block_sent || sent.pixel[3] != write.bias) {
            sent.pixel[3] = write.bias;
            gl.BindBuffer(GL_UNIFORM_BUFFER, uniform_buffer);
            gl.BufferData(GL_UNIFORM_BUFFER, sizeof sent, &sent, GL_STREAM_DRAW);
        }
        GLenum mode = primitive_mode(write.primitive_type);
        if (write.index_count)
            gl.DrawElementsBaseVertex(
                mode, (GLsizei)write.index_count, GL_UNSIGNED_SHORT,
                (const void*)(indices_at + (size_t)write.first_index * sizeof(WORD)),
                (GLint)write.first_vertex);
        else
            gl.DrawArrays(mode, (GLint)write.first_vertex, (GLsizei)write.vertex_count);
    }
    gl.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    depth.writes.clear();
    depth.vertices.clear();
    depth.indices.clear();
    cache.valid = false;
    drawn_valid = false;
}

// The next `bytes` of this frame's stream buffer, mapped for writing; NULL
// when GL cannot map it. A frame writes its buffer front to back through
// unsynchronised mappings, so a draw never waits for the draws before it
// that still read their part; the next frame writes the other buffer, and
// the one after this one again from its front, once presenting has seen
// this frame finished (limit_frames_in_flight). A frame that outgrows its
// buffer orphans it: GL keeps the old storage for the draws that read it,
// and writing starts again at the front of new storage, twice as large
// when one draw needs it.
uint8_t* gl_backend::stream_map(size_t bytes, size_t* offset)
{
    size_t start = (stream_used + 15) & ~(size_t)15;
    bool orphan = start + bytes > stream_sizes[stream];
    if (stream_switch) {
        stream ^= 1;
        gl.BindBuffer(GL_ARRAY_BUFFER, stream_buffers[stream]);
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, stream_buffers[stream]);
        vertex_layout = ~0u;  // the attributes point into the other buffer
        start = 0;
        orphan = !stream_safe || bytes > stream_sizes[stream];
        stream_switch = false;
    }
    if (orphan) {
        while (stream_sizes[stream] < bytes)
            stream_sizes[stream] *= 2;
        gl.BufferData(GL_ARRAY_BUFFER, (GLsizeiptr)stream_sizes[stream], nullptr, GL_STREAM_DRAW);
        start = 0;
    }
    void* memory = gl.MapBufferRange(GL_ARRAY_BUFFER, (GLintptr)start, (GLsizeiptr)bytes,
                                     GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT |
                                         GL_MAP_UNSYNCHRONIZED_BIT);
    if (!memory)
        return nullptr;
    stream_used = start + bytes;
    *offset = start;
    return (uint8_t*)memory;
}

namespace {

// Copies `count` items of `bytes` bytes from `in` (items `in_stride` apart)
// to `out` (items `out_stride` apart); the sizes vertices come in are
// copied with fixed-size moves.
void copy_strided(uint8_t* out, size_t out_stride, const uint8_t* in, size_t in_stride, DWORD bytes,
                  DWORD count)
{
    auto copy = [&](auto size) {
        for (DWORD i = 0; i < count; ++i, out += out_stride, in += in_stride)
            memcpy(out, in, size);
    };
    switch (bytes) {
    case 4:
        return copy(std::integral_constant<size_t, 4>());
    case 8:
        return copy(std::integral_constant<size_t, 8>());
    case 12:
        return copy(std::integral_constant<size_t, 12>());
    default:
        return copy(std::integral_constant<size_t, 16>());
    }
}

}  // namespace

// Sends the vertices the call uses (its index range) and its indices in one
// upload.
//
// The vertices go up packed: the components the call gives, in attribute
// order, interleaved. The attributes point at the stream buffer's start
// with that layout and stay so while the layout does not change (pointing
// them anew costs the driver more than the draw), and the draw reaches its
// vertices through a base vertex: they are placed at a multiple of the
// packed size, and `*base_vertex` is the first one's number less the call's
// first vertex, which the indices count from. The indices land at
// `*index_offset`.
bool gl_backend::send_draw_data(const d3d_draw_call& call, GLint* base_vertex, size_t* index_offset)
{
    bool pretransformed = (call.vertex_format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    struct component {
        const D3DDP_PTRSTRIDE* data;
        GLint size;
        GLenum type;
        GLboolean normalised;
        DWORD bytes;
    };
    // By attribute location.
    const component components[ATTRIBUTE_COUNT] = {
        {&call.data.position, pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE,
         pretransformed ? 16u : 12u},
        {&call.data.normal, 3, GL_FLOAT, GL_FALSE, 12},
        {&call.data.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4},
        {&call.data.specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4},
        {&call.data.textureCoords[0], 2, GL_FLOAT, GL_FALSE, 8},
    };
    DWORD offsets[ATTRIBUTE_COUNT] = {};
    DWORD vertex_size = 0;
    unsigned arrays = 0;
    for (int i = 0; i < ATTRIBUTE_COUNT; ++i) {
        const D3DDP_PTRSTRIDE& data = *components[i].data;
        if (!data.lpvData)
            continue;
        if (data.dwStride == 0) {
            // One value for every vertex.
            float value[4] = {0.0f, 0.0f, 0.0f, 1.0f};
            if (components[i].type == GL_FLOAT)
                memcpy(value, data.lpvData, components[i].bytes);
            else
                colour_vector(raw_pixel((const uint8_t*)data.lpvData, 4), value);
            gl.VertexAttrib4f((GLuint)i, value[0], value[1], value[2], value[3]);
            continue;
        }
        offsets[i] = vertex_size;
        vertex_size += components[i].bytes;
        arrays |= 1u << i;
    }

    DWORD count = call.last_vertex - call.first_vertex + 1;
    size_t vertex_bytes = (size_t)vertex_size * count;
    size_t index_bytes = call.indices ? (size_t)call.index_count * sizeof(WORD) : 0;
    // Room for the vertices at a multiple of their size, and the indices
    // 16-byte aligned.
    size_t room = vertex_size + vertex_bytes + 16 + index_bytes;
    size_t base = 0;
    uint8_t* memory = stream_map(room, &base);
    if (!memory)
        return false;
    size_t first = base;
    if (vertex_size)
        first = (first + vertex_size - 1) / vertex_size * vertex_size;
    size_t indices_at = (first + vertex_bytes + 15) & ~(size_t)15;
    uint8_t* vertices = memory + (first - base);
    for (int i = 0; i < ATTRIBUTE_COUNT; ++i) {
        if (!(arrays & (1u << i)))
            continue;
        const D3DDP_PTRSTRIDE& data = *components[i].data;
        copy_strided(vertices + offsets[i], vertex_size,
                     (const uint8_t*)data.lpvData + (size_t)data.dwStride * call.first_vertex,
                     data.dwStride, components[i].bytes, count);
    }
    if (index_bytes)
        memcpy(memory + (indices_at - base), call.indices, index_bytes);
    if (!gl.UnmapBuffer(GL_ARRAY_BUFFER))
        return false;

    unsigned layout = arrays | (pretransformed ? 1u << ATTRIBUTE_COUNT : 0u);
    if (layout != vertex_layout) {
        for (int i = 0; i < ATTRIBUTE_COUNT; ++i)
            if (arrays & (1u << i))
                gl.VertexAttribPointer((GLuint)i, components[i].size, components[i].type,
                                       components[i].normalised, (GLsizei)vertex_size,
                                       (const void*)(size_t)offsets[i]);
        vertex_layout = layout;
    }
    set_arrays(arrays);
    *base_vertex = vertex_size ? (GLint)(first / vertex_size) - (GLint)call.first_vertex : 0;
    *index_offset = indices_at;
    return true;
}

namespace {

// Whether two device states draw alike, their world transforms aside: the
// same in every part this back-end reads (render states, texture stage 0,
// view and projection, material, viewport, and the lights that are set).
bool same_for_drawing(const d3d_device_state& a, const d3d_device_state& b)
{
    auto same = [](const auto& x, const auto& y) { return memcmp(&x, &y, sizeof x) == 0; };
    if (!same(a.render_states, b.render_states) || !same(a.stage_states[0], b.stage_states[0]) ||
        a.textures[0] != b.textures[0] ||
        !same(a.transforms[D3DTRANSFORMSTATE_VIEW], b.transforms[D3DTRANSFORMSTATE_VIEW]) ||
        !same(a.transforms[D3DTRANSFORMSTATE_PROJECTION],
              b.transforms[D3DTRANSFORMSTATE_PROJECTION]) ||
        !same(a.material, b.material) || !same(a.viewport, b.viewport))
        return false;
    for (int i = 0; i < D3D_MAX_LIGHTS; ++i) {
        const d3d_light_slot &x = a.lights[i], &y = b.lights[i];
        if (x.set != y.set || x.enabled != y.enabled || (x.set && !same(x.light, y.light)))
            return false;
    }
    return true;
}

}  // namespace

// Everything of a draw but its world transform and vertices: the program,
// the texture and sampler, the GL states and the device's uniform block.
// NULL when the program did not build.
compiled_program* gl_backend::set_up_draw(const d3d_device_state& state, const d3d_draw_call& call,
                                          d3d_surface* surface, GLuint texture, bool white)
{
    const DWORD* stage = state.stage_states[0];
    bool pretransformed = (call.vertex_format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    program_key key = key_for(state, call,
                              texture ? (const gl_texture*)surface->backend_data : nullptr, white);
    compiled_program* program = program_for(key);
    if (!program)
        return nullptr;

    if (!cache.valid)
        gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    use_program(program->program);
    bind_vertex_array(vertex_array);
    GLuint sampler = texture ? sampler_for(filter_index(stage[D3DTSS_MAGFILTER]),
                                           filter_index(stage[D3DTSS_MINFILTER]),
                                           address_index(stage[D3DTSS_ADDRESSU]),
                                           address_index(stage[D3DTSS_ADDRESSV]))
                             : 0;
    bind_texture(texture, sampler);
    apply_states(state, pretransformed);
    fill_block(state, key);
    if (!block_sent || memcmp(&block, &sent, sizeof block) != 0) {
        gl.BindBuffer(GL_UNIFORM_BUFFER, uniform_buffer);
        gl.BufferData(GL_UNIFORM_BUFFER, sizeof block, &block, GL_STREAM_DRAW);
        sent = block;
        block_sent = true;
    }
    return program;
}

HRESULT gl_backend::draw(const d3d_device_state& state, const d3d_draw_call& call)
{
    if (call.vertex_count == 0 || (call.indices && call.index_count == 0))
        return D3D_OK;
    if (!make_current()) {
        forget_frames();
        return DDERR_SURFACELOST;
    }
    // The texels as they are now go to the card, and their version into
    // the record: a held draw is drawn with them.
    d3d_surface* surface = static_cast<d3d_surface*>(state.textures[0]);
    uint64_t version = texture_for(surface) ? ((gl_texture*)surface->backend_data)->version : 0;
    bool recorded = gl_repeat_draw(&repeat, state, call, version, has_depth);
    if (repeat.holding && recorded)
        return D3D_OK;
    flush_held();
    return draw_now(state, call);
}

HRESULT gl_backend::draw_now(const d3d_device_state& state, const d3d_draw_call& call)
{
    d3d_surface* surface = static_cast<d3d_surface*>(state.textures[0]);
    GLuint texture = texture_for(surface);
    const DWORD* rs = state.render_states;
    bool pretransformed = (call.vertex_format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    // A screen-space draw whose every fragment passes the depth test is
    // drawn without it, its depth writes kept for later (d3d_gl_depth.h);
    // any other draw with depth on finds the buffer as the draws before it
    // left it.
    bool depth_on = has_depth && rs[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE;
    bool writes_depth = depth_on && rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
    gl_depth_span span = {};
    bool test_depth = depth_on;
    if (depth_on && pretransformed) {
        span = gl_depth_span_of(call, depth_offset(state));
        test_depth = !gl_depth_passes(rs[D3DRENDERSTATE_ZFUNC], span, depth.floor);
    }
    if (test_depth)
        make_depth_current();
    // Unlit, the diffuse colour reaches the texture stage as the vertices
    // have it; white at every vertex, the stage's products by it are the
    // texels themselves, which the program then need not compute.
    bool white = (pretransformed || !rs[D3DRENDERSTATE_LIGHTING]) && diffuse_is_white(call);
    unsigned streams = (pretransformed ? 1u : 0u) | (call.data.normal.lpvData ? 2u : 0u) |
                       (call.data.diffuse.lpvData ? 4u : 0u) |
                       (call.data.specular.lpvData ? 8u : 0u) | (white ? 16u : 0u);
    compiled_program* program;
    if (drawn_valid && cache.valid && streams == drawn_streams && uploads == drawn_uploads &&
        same_for_drawing(state, drawn_state)) {
        program = &programs[last_program];
    } else {
        if (!(program = set_up_draw(state, call, surface, texture, white)))
            return DDERR_GENERIC;
        drawn_state = state;
        drawn_streams = streams;
        drawn_uploads = uploads;
    }
    drawn_valid = false;  // until the draw is sent
    // The draw's own uniforms belong to the program: each keeps what it got.
    // A program without lighting reads no normals' matrix.
    fill_draw_part(state, program->matrices == 2);
    size_t matrix_bytes = (size_t)program->matrices * sizeof draw_part.world_view;
    if (!program->has_sent || memcmp(&program->sent, &draw_part, matrix_bytes) != 0) {
        gl.UniformMatrix4fv(program->draw_matrices, program->matrices, GL_FALSE,
                            draw_part.world_view);
        memcpy(&program->sent, &draw_part, matrix_bytes);
        program->has_sent = true;
    }
    set_capability(GL_DEPTH_TEST, test_depth, cache.depth_test);
    GLint base_vertex = 0;
    size_t index_offset = 0;
    if (!send_draw_data(call, &base_vertex, &index_offset))
        return DDERR_GENERIC;
    cache.valid = true;
    drawn_valid = true;

    GLenum mode = primitive_mode(call.primitive_type);
    if (call.indices)
        gl.DrawRangeElementsBaseVertex(mode, call.first_vertex, call.last_vertex,
                                       (GLsizei)call.index_count, GL_UNSIGNED_SHORT,
                                       (const void*)index_offset, base_vertex);
    else
        gl.DrawArrays(mode, base_vertex, (GLsizei)call.vertex_count);

    if (writes_depth) {
        gl_depth_lower(&depth, pretransformed ? &span : nullptr);
        if (!test_depth)
            keep_depth_writes(state, call, surface, texture);
    }
    return D3D_OK;
}

// A draw drawn without the depth test whose depth writes wait: what
// decides its fragments is kept, the texture and sampler only where a
// colour key leaves texels out.
void gl_backend::keep_depth_writes(const d3d_device_state& state, const d3d_draw_call& call,
                                   d3d_surface* surface, GLuint texture)
{
    const DWORD* rs = state.render_states;
    const DWORD* stage = state.stage_states[0];
    gl_depth_write how = {};
    how.primitive_type = call.primitive_type;
    how.fill_mode = rs[D3DRENDERSTATE_FILLMODE];
    how.cull_mode = rs[D3DRENDERSTATE_CULLMODE];
    how.bias = depth_offset(state);
    if (texture && rs[D3DRENDERSTATE_COLORKEYENABLE])
        how.colour_key = ((const gl_texture*)surface->backend_data)->colour_key;
    if (how.colour_key) {
        how.texture = texture;
        how.sampler = sampler_for(
            filter_index(stage[D3DTSS_MAGFILTER]), filter_index(stage[D3DTSS_MINFILTER]),
            address_index(stage[D3DTSS_ADDRESSU]), address_index(stage[D3DTSS_ADDRESSV]));
    }
    gl_depth_keep(&depth, call, how);
    if (depth.writes.size() > GL_DEPTH_MAX_WRITES)
        make_depth_current();
}

// ---- text

HRESULT gl_backend::blend_coverage(d3d_surface*, int x, int y, int w, int h,
                                   const uint8_t* coverage, D3DCOLOR colour)
{
    if (w <= 0 || h <= 0)
        return D3D_OK;
    if (!make_current())
        return DDERR_SURFACELOST;
    // Text is not in the record: the frame repeats no other.
    flush_held();
    gl_repeat_spoil(&repeat);
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    gl.UseProgram(text_program);
    gl.BindVertexArray(empty_vertex_array);
    gl.BindTexture(GL_TEXTURE_2D, text_texture);
    gl.BindSampler(0, sampler_for(0, 0, 2, 2));
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_R8, w, h, 0, GL_RED, GL_UNSIGNED_BYTE, coverage);
    gl.Enable(GL_BLEND);
    gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.Disable(GL_DEPTH_TEST);
    gl.Disable(GL_CULL_FACE);
    gl.PolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl.Viewport(0, 0, (GLsizei)width, (GLsizei)height);
    // The first corner is the bitmap's top left.
    float row_sign = direct ? -1.0f : 1.0f;
    float rect[4] = {(float)x / (float)width * 2.0f - 1.0f,
                     row_sign * ((float)y / (float)height * 2.0f - 1.0f),
                     (float)(x + w) / (float)width * 2.0f - 1.0f,
                     row_sign * ((float)(y + h) / (float)height * 2.0f - 1.0f)};
    float rgba[4];
    colour_vector(colour, rgba);
    gl.Uniform4fv(text_rect, 1, rect);
    gl.Uniform4fv(text_colour, 1, rgba);
    gl.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    cache.valid = false;
    return D3D_OK;
}

}  // namespace d3d_gl
