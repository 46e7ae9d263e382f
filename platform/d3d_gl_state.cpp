// Device state to GL in the GL back-end: Direct3D 7 values to GL, the GL
// state cache, the programs and samplers, the surfaces' textures, and the
// uniforms of a draw.
#include <cmath>
#include <cstring>
#include <string>

#include "platform/d3d_gl_internal.h"
#include "platform/d3d_gl_shader.h"
#include "platform/report.h"

namespace d3d_gl {

namespace {

// Direct3D 7 values to GL.
GLenum blend_factor(DWORD factor, GLenum otherwise)
{
    static const GLenum factors[] = {GL_ZERO,      GL_ONE,
                                     GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                     GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                     GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                                     GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR};
    return factor >= D3DBLEND_ZERO && factor <= D3DBLEND_INVDESTCOLOR
               ? factors[factor - D3DBLEND_ZERO]
               : otherwise;
}

}  // namespace

GLenum primitive_mode(DWORD type)
{
    static const GLenum modes[] = {GL_POINTS,    GL_LINES,          GL_LINE_STRIP,
                                   GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return modes[type - D3DPT_POINTLIST];  // the device checked the type
}

// Filters: 0 nearest, 1 linear. Addressing: 0 wrap, 1 mirror, 2 clamp.
int filter_index(DWORD filter)
{
    return filter == D3DTFG_POINT ? 0 : 1;
}

int address_index(DWORD address)
{
    return address == D3DTADDRESS_MIRROR ? 1 : address == D3DTADDRESS_CLAMP ? 2 : 0;
}

void colour_vector(D3DCOLOR colour, float out[4])
{
    out[0] = (float)((colour >> 16) & 0xFF) / 255.0f;
    out[1] = (float)((colour >> 8) & 0xFF) / 255.0f;
    out[2] = (float)(colour & 0xFF) / 255.0f;
    out[3] = (float)(colour >> 24) / 255.0f;
}

namespace {

void colour_value(const D3DCOLORVALUE& colour, float out[4])
{
    out[0] = colour.r;
    out[1] = colour.g;
    out[2] = colour.b;
    out[3] = colour.a;
}

}  // namespace

// Each level of z bias moves depth by two steps of a 16-bit depth buffer (0..1
// units; twice that in GL's -1..1, the clip units this is in), enough to
// part coplanar surfaces in any depth buffer.
float depth_offset(const d3d_device_state& state)
{
    return (float)std::min<DWORD>(state.render_states[D3DRENDERSTATE_ZBIAS], 16) *
           (4.0f / 65536.0f);
}

GLenum polygon_mode(DWORD fill)
{
    return fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
}

// Direct3D's clockwise fronts are GL's front faces (see choose_framebuffer).
bool culls(DWORD cull_mode)
{
    return cull_mode == D3DCULL_CW || cull_mode == D3DCULL_CCW;
}

GLenum cull_face(DWORD cull_mode)
{
    return cull_mode == D3DCULL_CW ? GL_FRONT : GL_BACK;
}

namespace {

float state_float(const d3d_device_state& state, DWORD type)
{
    float value;
    memcpy(&value, &state.render_states[type], sizeof value);
    return value;
}

// Row-vector products: (p . a) . b = p . (a b).
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX product;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[row][k] * b.m[k][column];
            product.m[row][column] = sum;
        }
    return product;
}

// Normals follow the inverse transpose of the upper 3 x 3; a singular one
// is used as it is.
D3DMATRIX normal_matrix(const D3DMATRIX& a)
{
    const float(*m)[4] = a.m;
    float cofactor[3][3];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            int r0 = (row + 1) % 3, r1 = (row + 2) % 3, c0 = (column + 1) % 3,
                c1 = (column + 2) % 3;
            cofactor[row][column] = m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0];
        }
    float determinant = m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] +
                        m[0][2] * cofactor[0][2];
    D3DMATRIX result = {};
    result.m[3][3] = 1.0f;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            result.m[row][column] = determinant != 0.0f ? cofactor[row][column] / determinant
                                                        : m[row][column];
    return result;
}

void transform_point(const D3DVECTOR& p, const D3DMATRIX& m, float out[4])
{
    for (int i = 0; i < 3; ++i)
        out[i] = p.x * m.m[0][i] + p.y * m.m[1][i] + p.z * m.m[2][i] + m.m[3][i];
}

void transform_direction(const D3DVECTOR& d, const D3DMATRIX& m, float out[4])
{
    float length_squared = 0.0f;
    for (int i = 0; i < 3; ++i) {
        out[i] = d.x * m.m[0][i] + d.y * m.m[1][i] + d.z * m.m[2][i];
        length_squared += out[i] * out[i];
    }
    float length = std::sqrt(length_squared);
    for (int i = 0; length > 0.0f && i < 3; ++i)
        out[i] /= length;
}

// Where a material colour comes from: 0 the material, 1 the vertex diffuse
// colour, 2 the vertex specular colour; vertex colours only when the vertex
// has them and colour-vertex is on.
int material_source(const d3d_device_state& state, DWORD type, bool has_diffuse, bool has_specular)
{
    DWORD source = state.render_states[type];
    if (!state.render_states[D3DRENDERSTATE_COLORVERTEX])
        return 0;
    if (source == D3DMCS_COLOR1 && has_diffuse)
        return 1;
    if (source == D3DMCS_COLOR2 && has_specular)
        return 2;
    return 0;
}

// Light groups, in the order the block holds them: 0 directional, 1 point
// (a parallel point light shines as a point light), 2 spot.
int light_group(const D3DLIGHT7& light)
{
    return light.dltType == D3DLIGHT_DIRECTIONAL ? 0 : light.dltType == D3DLIGHT_SPOT ? 2 : 1;
}

// The lights that shine: enabled ones, the first ten by index.
int shining_lights(const d3d_device_state& state, const D3DLIGHT7* out[max_lights])
{
    int count = 0;
    for (int i = 0; i < D3D_MAX_LIGHTS && count < max_lights; ++i)
        if (state.lights[i].set && state.lights[i].enabled)
            out[count++] = &state.lights[i].light;
    return count;
}

}  // namespace

// Whether every vertex the draw uses is opaque white, or has no diffuse
// colour, which the program takes as white.
bool diffuse_is_white(const d3d_draw_call& call)
{
    const D3DDP_PTRSTRIDE& diffuse = call.data.diffuse;
    for (DWORD i = call.first_vertex; diffuse.lpvData && i <= call.last_vertex; ++i) {
        uint32_t colour;
        memcpy(&colour, d3d_draw_component(diffuse, i), sizeof colour);
        if (colour != 0xFFFFFFFFu)
            return false;
        if (diffuse.dwStride == 0)
            break;
    }
    return true;
}

uint32_t raw_pixel(const uint8_t* pixel, DWORD bytes)
{
    uint32_t value = 0;
    for (DWORD i = 0; i < bytes && i < 4; ++i)
        value |= (uint32_t)pixel[i] << (8 * i);
    return value;
}

// ---- GL state

void gl_backend::use_program(GLuint program)
{
    if (!cache.valid || cache.program != program) {
        gl.UseProgram(program);
        cache.program = program;
    }
}

void gl_backend::bind_vertex_array(GLuint array)
{
    if (!cache.valid || cache.vertex_array != array) {
        gl.BindVertexArray(array);
        cache.vertex_array = array;
    }
}

void gl_backend::set_capability(GLenum capability, bool on, bool& known)
{
    if (cache.valid && known == on)
        return;
    if (on)
        gl.Enable(capability);
    else
        gl.Disable(capability);
    known = on;
}

void gl_backend::set_viewport(GLint x, GLint y, GLint w, GLint h)
{
    GLint wanted[4] = {x, y, w, h};
    if (cache.valid && memcmp(wanted, cache.viewport, sizeof wanted) == 0)
        return;
    gl.Viewport(x, y, w, h);
    memcpy(cache.viewport, wanted, sizeof wanted);
}

void gl_backend::bind_texture(GLuint texture, GLuint sampler)
{
    if (!cache.valid || cache.texture != texture) {
        gl.BindTexture(GL_TEXTURE_2D, texture);
        cache.texture = texture;
    }
    if (!cache.valid || cache.sampler != sampler) {
        gl.BindSampler(0, sampler);
        cache.sampler = sampler;
    }
}

void gl_backend::set_arrays(unsigned arrays)
{
    for (unsigned i = 0; i < ATTRIBUTE_COUNT; ++i) {
        unsigned bit = 1u << i;
        if (cache.valid && (cache.arrays & bit) == (arrays & bit))
            continue;
        if (arrays & bit)
            gl.EnableVertexAttribArray(i);
        else
            gl.DisableVertexAttribArray(i);
    }
    cache.arrays = arrays;
}

GLuint gl_backend::sampler_for(int mag, int min, int u, int v)
{
    GLuint& sampler = samplers[((mag * 2 + min) * 3 + u) * 3 + v];
    if (sampler)
        return sampler;
    static const GLint filters[] = {GL_NEAREST, GL_LINEAR};
    static const GLint wraps[] = {GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE};
    gl.GenSamplers(1, &sampler);
    gl.SamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, filters[mag]);
    gl.SamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, filters[min]);
    gl.SamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wraps[u]);
    gl.SamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wraps[v]);
    return sampler;
}

compiled_program* gl_backend::program_for(const program_key& key)
{
    uint64_t packed = key.packed();
    // Draws in a row mostly share their states.
    if (last_program < programs.size() && programs[last_program].key == packed)
        return &programs[last_program];
    for (size_t i = 0; i < programs.size(); ++i)
        if (programs[i].key == packed) {
            last_program = i;
            return &programs[i];
        }
    std::string defines = "#version 330 core\n";
    for (int i = 0; i < KEY_FIELD_COUNT; ++i)
        defines += "#define " + std::string(key_fields[i].name) + " " +
                   std::to_string(key.values[i]) + "\n";
    std::string vertex = defines + d3d_gl_shader::common + d3d_gl_shader::vertex;
    std::string fragment = defines + d3d_gl_shader::common + d3d_gl_shader::fragment;
    char log[2048];
    GLuint program = gl_api_build_program(vertex.c_str(), fragment.c_str(), log, (int)sizeof log);
    if (!program) {
        PLATFORM_ERROR("GL back-end: a device program did not build: %s", log);
        return nullptr;
    }
    GLuint block_index = gl.GetUniformBlockIndex(program, "device_block");
    if (block_index != GL_INVALID_INDEX)
        gl.UniformBlockBinding(program, block_index, 0);
    GLint sampler = gl.GetUniformLocation(program, "texture0");
    if (sampler >= 0) {
        gl.UseProgram(program);
        gl.Uniform1i(sampler, 0);
        cache.valid = false;
    }
    programs.push_back({packed,
                        program,
                        gl.GetUniformLocation(program, "draw_matrices"),
                        key.values[KEY_LIGHTING] ? 2 : 1,
                        {},
                        false});
    last_program = programs.size() - 1;
    return &programs.back();
}

// ---- textures

// Texels as 0xAARRGGBB words, which GL reads as BGRA bytes. Colour-keyed
// texels (their colour bits within the key's range) get alpha 0; without
// alpha in the format every other texel is opaque. The 32-bit formats
// without a key go up as they are: the program reads a format without alpha
// as opaque whatever its fourth byte holds (KEY_TEXTURE_ALPHA_ONE).
void gl_backend::upload(d3d_surface* surface, gl_texture* texture)
{
    const DDPIXELFORMAT& format = surface->format;
    d3d_pixel_layout layout;
    d3d_pixel_layout_make(format, &layout);
    bool keyed = surface->has_colour_key;
    gl.BindTexture(GL_TEXTURE_2D, texture->name);
    cache.texture = texture->name;
    bool as_they_are = !keyed && surface->pitch % 4 == 0 &&
                       (layout.kind == d3d_pixel_layout::ARGB32 ||
                        layout.kind == d3d_pixel_layout::XRGB32);
    if (as_they_are) {
        gl.PixelStorei(GL_UNPACK_ROW_LENGTH, surface->pitch / 4);
        gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, (GLsizei)surface->width, (GLsizei)surface->height,
                      0, GL_BGRA, GL_UNSIGNED_BYTE, surface->pixels);
        gl.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    } else {
        uint32_t colour_bits = format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
        uint32_t key_low = surface->colour_key.dwColorSpaceLowValue & colour_bits;
        uint32_t key_high = std::max(surface->colour_key.dwColorSpaceHighValue & colour_bits,
                                     key_low);
        texels.resize((size_t)surface->width * surface->height);
        for (DWORD y = 0; y < surface->height; ++y) {
            const uint8_t* row = surface->pixels + (size_t)y * (size_t)surface->pitch;
            uint32_t* out = &texels[(size_t)y * surface->width];
            d3d_pixels_to_argb(layout, row, out, surface->width);
            for (DWORD x = 0; keyed && x < surface->width; ++x) {
                uint32_t raw = raw_pixel(row + (size_t)x * layout.bytes, layout.bytes) &
                               colour_bits;
                if (raw >= key_low && raw <= key_high)
                    out[x] &= 0x00FFFFFFu;
            }
        }
        gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, (GLsizei)surface->width, (GLsizei)surface->height,
                      0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
    }
    texture->colour_key = keyed ? (layout.has_alpha ? 1 : 2) : 0;
    texture->alpha_one = !layout.has_alpha;
    texture->dirty = false;
    ++uploads;
}

// The card's copy of a surface that can be drawn with; 0 for none. Buffers
// the back-end keeps and surfaces of another device draw untextured.
GLuint gl_backend::texture_for(d3d_surface* surface)
{
    if (!surface || surface->ddraw->backend != this || !surface->pixels)
        return 0;
    gl_texture* texture = (gl_texture*)surface->backend_data;
    if (!texture) {
        texture = new gl_texture{0, true, 0, false, ++texel_versions};
        gl.GenTextures(1, &texture->name);
        surface->backend_data = texture;
    }
    if (texture->dirty)
        upload(surface, texture);
    return texture->name;
}

// A kept draw's depth writes, and a held draw, follow the texels it was
// drawn with: they are made before the texels change or go.
void gl_backend::surface_changed(d3d_surface* surface)
{
    gl_texture* texture = (gl_texture*)surface->backend_data;
    if (!texture)
        return;
    if (repeat.holding && gl_repeat_uses(repeat, surface) && make_current())
        flush_held();
    if (gl_depth_uses_texture(depth, texture->name) && make_current())
        make_depth_current();
    texture->dirty = true;
    texture->version = ++texel_versions;
}

void gl_backend::surface_destroyed(d3d_surface* surface)
{
    gl_texture* texture = (gl_texture*)surface->backend_data;
    if (!texture)
        return;
    if (make_current()) {
        if (gl_repeat_uses(repeat, surface))
            flush_held();
        if (gl_depth_uses_texture(depth, texture->name))
            make_depth_current();
        if (cache.texture == texture->name)
            cache.valid = false;
        gl.DeleteTextures(1, &texture->name);
    }
    delete texture;
    surface->backend_data = nullptr;
}

// The draw's own matrices; the normals' one only for a program that lights.
void gl_backend::fill_draw_part(const d3d_device_state& state, bool lit)
{
    D3DMATRIX world_view = multiply(state.transforms[D3DTRANSFORMSTATE_WORLD],
                                    state.transforms[D3DTRANSFORMSTATE_VIEW]);
    memcpy(draw_part.world_view, world_view.m, sizeof draw_part.world_view);
    if (lit) {
        D3DMATRIX normals = normal_matrix(world_view);
        memcpy(draw_part.normal_matrix, normals.m, sizeof draw_part.normal_matrix);
    }
}

void gl_backend::fill_block(const d3d_device_state& state, const program_key& key)
{
    const DWORD* rs = state.render_states;
    const D3DMATRIX& view = state.transforms[D3DTRANSFORMSTATE_VIEW];
    const D3DMATRIX& projection = state.transforms[D3DTRANSFORMSTATE_PROJECTION];
    gl_device_block& b = block;
    memset(&b, 0, sizeof b);
    memcpy(b.projection, projection.m, sizeof b.projection);

    const D3DVIEWPORT7& viewport = state.viewport;
    b.pixel[0] = viewport.dwWidth ? 1.0f / (float)viewport.dwWidth : 0.0f;
    b.pixel[1] = viewport.dwHeight ? 1.0f / (float)viewport.dwHeight : 0.0f;
    b.pixel[2] = direct ? 1.0f : -1.0f;
    b.pixel[3] = depth_offset(state);
    b.target[0] = (float)width;
    b.target[1] = (float)height;
    b.fog_params[0] = state_float(state, D3DRENDERSTATE_FOGSTART);
    b.fog_params[1] = state_float(state, D3DRENDERSTATE_FOGEND);
    b.fog_params[2] = state_float(state, D3DRENDERSTATE_FOGDENSITY);
    colour_vector(rs[D3DRENDERSTATE_FOGCOLOR] | 0xFF000000u, b.fog_colour);
    colour_vector(rs[D3DRENDERSTATE_TEXTUREFACTOR], b.texture_factor);
    colour_vector(rs[D3DRENDERSTATE_AMBIENT], b.ambient);
    colour_value(state.material.diffuse, b.material_diffuse);
    colour_value(state.material.ambient, b.material_ambient);
    colour_value(state.material.specular, b.material_specular);
    colour_value(state.material.emissive, b.material_emissive);
    b.material_power[0] = state.material.power;
    // A projection whose w is -z looks down -z, so a distant viewer lies
    // along +z.
    b.viewer[2] = projection.m[2][3] < 0.0f ? 1.0f : -1.0f;
    b.switches[0] = rs[D3DRENDERSTATE_LOCALVIEWER] ? 1 : 0;
    b.switches[1] = rs[D3DRENDERSTATE_RANGEFOGENABLE] ? 1 : 0;

    if (!key.values[KEY_LIGHTING])
        return;
    const D3DLIGHT7* shining[max_lights];
    int shining_count = shining_lights(state, shining);
    int count = 0;
    for (int group = 0; group < 3; ++group)
        for (int i = 0; i < shining_count; ++i) {
            if (light_group(*shining[i]) != group)
                continue;
            const D3DLIGHT7& light = *shining[i];
            gl_light_record& out = b.lights[count++];
            colour_value(light.dcvDiffuse, out.diffuse);
            colour_value(light.dcvSpecular, out.specular);
            colour_value(light.dcvAmbient, out.ambient);
            transform_point(light.dvPosition, view, out.position);
            transform_direction(light.dvDirection, view, out.direction);
            out.direction[3] = light.dvRange;
            out.attenuation[0] = light.dvAttenuation0;
            out.attenuation[1] = light.dvAttenuation1;
            out.attenuation[2] = light.dvAttenuation2;
            out.attenuation[3] = light.dvFalloff;
            out.spot[0] = std::cos(light.dvTheta / 2.0f);
            out.spot[1] = std::cos(light.dvPhi / 2.0f);
        }
}

// Every cached value is written while the cache is not valid, whether its
// feature is on or not, so the cache holds nothing stale afterwards.
void gl_backend::apply_states(const d3d_device_state& state, bool pretransformed)
{
    const DWORD* rs = state.render_states;
    set_capability(GL_BLEND, rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0, cache.blend);
    GLenum source = blend_factor(rs[D3DRENDERSTATE_SRCBLEND], GL_ONE);
    GLenum dest = blend_factor(rs[D3DRENDERSTATE_DESTBLEND], GL_ZERO);
    if (!cache.valid || source != cache.blend_source || dest != cache.blend_dest) {
        gl.BlendFunc(source, dest);
        cache.blend_source = source;
        cache.blend_dest = dest;
    }
    DWORD func = rs[D3DRENDERSTATE_ZFUNC];
    GLenum depth_func = func >= D3DCMP_NEVER && func <= D3DCMP_ALWAYS
                            ? GL_NEVER + (func - D3DCMP_NEVER)
                            : GL_LEQUAL;
    if (!cache.valid || depth_func != cache.depth_func) {
        gl.DepthFunc(depth_func);
        cache.depth_func = depth_func;
    }
    bool write = rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
    if (!cache.valid || write != cache.depth_write) {
        gl.DepthMask(write ? GL_TRUE : GL_FALSE);
        cache.depth_write = write;
    }
    DWORD cull_mode = rs[D3DRENDERSTATE_CULLMODE];
    set_capability(GL_CULL_FACE, culls(cull_mode), cache.cull);
    GLenum face = cull_face(cull_mode);
    if (!cache.valid || face != cache.cull_face) {
        gl.CullFace(face);
        cache.cull_face = face;
    }
    GLenum fill = polygon_mode(rs[D3DRENDERSTATE_FILLMODE]);
    if (!cache.valid || fill != cache.polygon_mode) {
        gl.PolygonMode(GL_FRONT_AND_BACK, fill);
        cache.polygon_mode = fill;
    }
    // Screen-space vertices are placed on the whole target.
    const D3DVIEWPORT7& viewport = state.viewport;
    if (pretransformed)
        set_viewport(0, 0, (GLint)width, (GLint)height);
    else
        set_viewport((GLint)viewport.dwX, gl_row((GLint)viewport.dwY, (GLint)viewport.dwHeight),
                     (GLint)viewport.dwWidth, (GLint)viewport.dwHeight);
}

// The program a draw needs: its discrete states (see d3d_gl_shader.h).
program_key gl_backend::key_for(const d3d_device_state& state, const d3d_draw_call& call,
                                const gl_texture* texture, bool white)
{
    const DWORD* rs = state.render_states;
    const DWORD* stage = state.stage_states[0];
    bool pretransformed = (call.vertex_format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    program_key key = {};
    int* k = key.values;
    k[KEY_PRETRANSFORMED] = pretransformed;
    k[KEY_LIGHTING] = !pretransformed && rs[D3DRENDERSTATE_LIGHTING] != 0;
    k[KEY_HAS_NORMAL] = call.data.normal.lpvData != nullptr;
    k[KEY_HAS_DIFFUSE] = call.data.diffuse.lpvData != nullptr;
    k[KEY_HAS_SPECULAR] = call.data.specular.lpvData != nullptr;
    k[KEY_DIFFUSE_WHITE] = !k[KEY_LIGHTING] && white;
    if (k[KEY_LIGHTING]) {
        const D3DLIGHT7* shining[max_lights];
        int shining_count = shining_lights(state, shining);
        for (int i = 0; i < shining_count; ++i)
            ++k[KEY_DIRECTIONAL_LIGHTS + light_group(*shining[i])];
        bool has_diffuse = k[KEY_HAS_DIFFUSE] != 0, has_specular = k[KEY_HAS_SPECULAR] != 0;
        k[KEY_NORMALIZE_NORMALS] = rs[D3DRENDERSTATE_NORMALIZENORMALS] != 0;
        const DWORD sources[4] = {
            D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DRENDERSTATE_AMBIENTMATERIALSOURCE,
            D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DRENDERSTATE_EMISSIVEMATERIALSOURCE};
        for (int i = 0; i < 4; ++i)
            k[KEY_MATERIAL_DIFFUSE + i] = material_source(state, sources[i], has_diffuse,
                                                          has_specular);
    }
    k[KEY_SPECULAR_ADD] = rs[D3DRENDERSTATE_SPECULARENABLE] != 0;
    k[KEY_FOG_FUNC] = D3DFOG_LINEAR;
    if (rs[D3DRENDERSTATE_FOGENABLE]) {
        // Table (pixel) fog wins over vertex fog; screen-space vertices
        // bring their own fog factor in the specular alpha.
        DWORD table = rs[D3DRENDERSTATE_FOGTABLEMODE];
        DWORD vertex = rs[D3DRENDERSTATE_FOGVERTEXMODE];
        if (table >= D3DFOG_EXP && table <= D3DFOG_LINEAR) {
            k[KEY_FOG_SOURCE] = 2;
            k[KEY_FOG_FUNC] = (int)table;
        } else if (pretransformed ? k[KEY_HAS_SPECULAR] != 0
                                  : (vertex >= D3DFOG_EXP && vertex <= D3DFOG_LINEAR)) {
            k[KEY_FOG_SOURCE] = 1;
            k[KEY_FOG_FUNC] = pretransformed ? (int)D3DFOG_LINEAR : (int)vertex;
        }
    }
    // Without a texture the stage passes the diffuse colour and alpha on.
    if (texture) {
        k[KEY_TEXTURE] = 1;
        k[KEY_COLOUR_KEY] = rs[D3DRENDERSTATE_COLORKEYENABLE] ? texture->colour_key : 0;
        k[KEY_TEXTURE_ALPHA_ONE] = texture->alpha_one;
        auto op = [](DWORD value) {
            return value >= D3DTOP_DISABLE && value <= D3DTOP_ADD ? (int)value
                                                                  : (int)D3DTOP_MODULATE;
        };
        auto arg = [](DWORD value) {
            return (value & 0xF) <= D3DTA_TFACTOR ? (int)(value & 0xF) : (int)D3DTA_DIFFUSE;
        };
        k[KEY_COLOR_OP] = op(stage[D3DTSS_COLOROP]);
        k[KEY_COLOR_ARG1] = arg(stage[D3DTSS_COLORARG1]);
        k[KEY_COLOR_ARG2] = arg(stage[D3DTSS_COLORARG2]);
        k[KEY_ALPHA_OP] = op(stage[D3DTSS_ALPHAOP]);
        k[KEY_ALPHA_ARG1] = arg(stage[D3DTSS_ALPHAARG1]);
        k[KEY_ALPHA_ARG2] = arg(stage[D3DTSS_ALPHAARG2]);
    }
    return key;
}

}  // namespace d3d_gl
