// The GL back-end of the device object model: OpenGL 3.3 core through SDL's
// GL context for the context's window.
//
// A window whose framebuffer has the context's buffer size is drawn into
// directly. Otherwise (full screen, or a window of another size) the frame
// is drawn into a framebuffer object of the buffer size, kept top row first
// (see d3d_gl_shader.h), and presenting copies it to the window scaled to
// fit, keeping its shape (d3dx_frame_rect), in a window as on the display.
//
// Surfaces keep their pixels in the objects; a GL texture follows a
// surface's pixels when it is next drawn with after a change. Each draw
// sends the vertices its indices use, and the indices, from client memory
// in one upload through a stream buffer (see stream_map), and picks the
// program compiled for its discrete states. A screen-space draw sure to pass
// the depth test is drawn without it (d3d_gl_depth.h). A frame that repeats
// the frames before it is not drawn again (d3d_gl_repeat.h).
#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/d3d_gl_depth.h"
#include "platform/d3d_gl_repeat.h"
#include "platform/d3d_gl_shader.h"
#include "platform/d3d_internal.h"
#include "platform/frame_pacer.h"
#include "platform/gl_api.h"
#include "platform/report.h"
#include "platform/window_internal.h"

namespace {

const int max_lights = 10;
// The stream buffer's first size; it doubles for a draw that does not fit.
const size_t stream_start_size = 4u << 20;

// The uniforms of d3d_gl_shader.h: the draw's own (`draw_matrices`: world
// view, then the normals' matrix), and the device's block in std140 layout.
struct gl_draw_uniforms {
    float world_view[16];
    float normal_matrix[16];
};
static_assert(sizeof(gl_draw_uniforms) == 2 * 16 * sizeof(float), "two matrices in a row");
struct gl_light_record {
    float diffuse[4], specular[4], ambient[4], position[4], direction[4], attenuation[4], spot[4];
};
struct gl_device_block {
    float projection[16];
    float pixel[4];
    float target[4];
    float fog_params[4];
    float fog_colour[4];
    float texture_factor[4];
    float ambient[4];
    float material_diffuse[4];
    float material_ambient[4];
    float material_specular[4];
    float material_emissive[4];
    float material_power[4];
    float viewer[4];
    int32_t switches[4];
    gl_light_record lights[max_lights];
};
static_assert(sizeof(gl_device_block) == 64 + 13 * 16 + max_lights * 112,
              "the block matches its std140 layout");

// The discrete states a program is compiled for, one "#define" each.
enum {
    KEY_PRETRANSFORMED,
    KEY_LIGHTING,
    KEY_HAS_NORMAL,
    KEY_HAS_DIFFUSE,
    KEY_HAS_SPECULAR,
    KEY_DIRECTIONAL_LIGHTS,
    KEY_POINT_LIGHTS,
    KEY_SPOT_LIGHTS,
    KEY_NORMALIZE_NORMALS,
    KEY_MATERIAL_DIFFUSE,
    KEY_MATERIAL_AMBIENT,
    KEY_MATERIAL_SPECULAR,
    KEY_MATERIAL_EMISSIVE,
    KEY_SPECULAR_ADD,
    KEY_FOG_SOURCE,
    KEY_FOG_FUNC,
    KEY_TEXTURE,
    KEY_COLOUR_KEY,
    KEY_TEXTURE_ALPHA_ONE,
    KEY_COLOR_OP,
    KEY_COLOR_ARG1,
    KEY_COLOR_ARG2,
    KEY_ALPHA_OP,
    KEY_ALPHA_ARG1,
    KEY_ALPHA_ARG2,
    KEY_DIFFUSE_WHITE,
    KEY_FIELD_COUNT
};
const struct {
    const char* name;
    int bits;
} key_fields[KEY_FIELD_COUNT] = {
    {"PRETRANSFORMED", 1},    {"LIGHTING", 1},         {"HAS_NORMAL", 1},
    {"HAS_DIFFUSE", 1},       {"HAS_SPECULAR", 1},     {"DIRECTIONAL_LIGHTS", 4},
    {"POINT_LIGHTS", 4},      {"SPOT_LIGHTS", 4},      {"NORMALIZE_NORMALS", 1},
    {"MATERIAL_DIFFUSE", 2},  {"MATERIAL_AMBIENT", 2}, {"MATERIAL_SPECULAR", 2},
    {"MATERIAL_EMISSIVE", 2}, {"SPECULAR_ADD", 1},     {"FOG_SOURCE", 2},
    {"FOG_FUNC", 2},          {"TEXTURE", 1},          {"COLOUR_KEY", 2},
    {"TEXTURE_ALPHA_ONE", 1}, {"COLOR_OP", 3},         {"COLOR_ARG1", 2},
    {"COLOR_ARG2", 2},        {"ALPHA_OP", 3},         {"ALPHA_ARG1", 2},
    {"ALPHA_ARG2", 2},        {"DIFFUSE_WHITE", 1},
};

struct program_key {
    int values[KEY_FIELD_COUNT];

    uint64_t packed() const  // the fields take 50 bits
    {
        uint64_t bits = 0;
        for (int i = 0; i < KEY_FIELD_COUNT; ++i)
            bits = bits << key_fields[i].bits |
                   ((uint64_t)values[i] & ((1u << key_fields[i].bits) - 1));
        return bits;
    }
};

struct compiled_program {
    uint64_t key;
    GLuint program;
    GLint draw_matrices;    // uniform location
    int matrices;           // how many of them the program reads: 2 when lit
    gl_draw_uniforms sent;  // what the program has, when `has_sent`
    bool has_sent;
};

// A surface's copy on the card.
struct gl_texture {
    GLuint name;
    bool dirty;
    int colour_key;    // 0 none, 1 keyed texels among real alpha, 2 alpha holds only the key
    bool alpha_one;    // the format has no alpha: texels read as opaque
    uint64_t version;  // of the texels (see d3d_gl_repeat.h)
};

// Attribute locations of d3d_gl_shader.h.
enum {
    ATTRIBUTE_POSITION,
    ATTRIBUTE_NORMAL,
    ATTRIBUTE_DIFFUSE,
    ATTRIBUTE_SPECULAR,
    ATTRIBUTE_UV,
    ATTRIBUTE_COUNT
};

// What the GL state is known to be, so a draw sets only what changed.
struct gl_state_cache {
    bool valid;
    GLuint program;
    GLuint vertex_array;
    bool blend;
    GLenum blend_source, blend_dest;
    bool depth_test;
    GLenum depth_func;
    bool depth_write;
    bool cull;
    GLenum cull_face;
    GLenum polygon_mode;
    GLint viewport[4];
    GLuint texture;
    GLuint sampler;
    unsigned arrays;  // bit per attribute location
};

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

void colour_value(const D3DCOLORVALUE& colour, float out[4])
{
    out[0] = colour.r;
    out[1] = colour.g;
    out[2] = colour.b;
    out[3] = colour.a;
}

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

struct gl_backend : d3d_backend {
    HWND window = nullptr;
    SDL_GLContext context = nullptr;
    bool fullscreen = false;
    bool made_fullscreen = false;
    DWORD width = 0, height = 0;
    bool has_depth = false;
    bool direct = false;   // drawing straight into the window's framebuffer
    bool paced = false;    // presents wait for the vertical blank (see present)
    int refresh_rate = 0;  // of the window's display; 0 unknown
    frame_pacer pacer = {};
    // The end of the frame presented before the last one. A swap that
    // neither waits nor flushes (SDL's offscreen driver) would let an unpaced
    // game queue frames in the driver faster than it draws them: without
    // bound in memory, and with a context that then takes minutes to destroy.
    // So at most one finished frame waits while the next is drawn.
    GLsync earlier_frame = nullptr;
    // Whether the frame before the last is known to be finished (its fence
    // was reached, not timed out).
    bool earlier_frame_done = false;

    GLuint framebuffer = 0, colour_buffer = 0, depth_buffer = 0;
    GLuint vertex_array = 0, empty_vertex_array = 0;
    // Two stream buffers, one for even frames and one for odd ones (see
    // stream_map); `stream` is the one of this frame, `stream_used` how
    // much of it the frame has written.
    GLuint stream_buffers[2] = {}, uniform_buffer = 0;
    size_t stream_sizes[2] = {};
    int stream = 0;
    size_t stream_used = 0;
    // The other buffer is to be bound at the next draw; when `stream_safe`
    // is false, its contents may still be read and it starts from new
    // storage.
    bool stream_switch = false, stream_safe = false;
    // The packed vertex layout the attributes point at (see send_draw_data);
    // none at first.
    unsigned vertex_layout = ~0u;
    GLuint samplers[2 * 2 * 3 * 3] = {};
    GLuint text_program = 0, text_texture = 0;
    GLint text_rect = -1, text_colour = -1;
    // A modal dialog over the window: its picture.
    GLuint image_program = 0, overlay_texture = 0;
    GLint image_rect = -1;
    std::vector<compiled_program> programs;
    size_t last_program = 0;  // the one the last draw used
    // What the last draw set up, for the draws after it that differ from it
    // only in their world transform, as most draws in a row do: its device
    // state (the world transform aside), the streams its vertices had and
    // the textures uploaded by then. Valid while the GL state cache is.
    d3d_device_state drawn_state = {};
    unsigned drawn_streams = 0, drawn_uploads = 0;
    bool drawn_valid = false;
    unsigned uploads = 0;             // of textures, so far
    gl_draw_uniforms draw_part = {};  // the draw's uniforms
    gl_device_block block = {};       // the device's uniforms
    gl_device_block sent = {};        // the ones the card has
    bool block_sent = false;
    gl_state_cache cache = {};
    gl_depth_record depth = {};    // what the depth buffer holds and what waits for it
    gl_repeat_record repeat = {};  // this frame's calls and the last's, and what is held
    uint64_t texel_versions = 0;   // given to textures so far
    // Drawing into the window's framebuffer, whose back buffer holds nothing
    // defined after a swap: the frame object holds a copy of the picture the
    // frames repeat.
    bool kept_copy = false;
    std::vector<uint32_t> texels;

    ~gl_backend() override;
    HRESULT start(const d3d_context_params& params) override;
    HRESULT resize(DWORD new_width, DWORD new_height) override;
    HRESULT clear(DWORD flags, D3DCOLOR colour, float depth_value) override;
    HRESULT draw(const d3d_device_state& state, const d3d_draw_call& call) override;
    HRESULT present() override;
    void surface_changed(d3d_surface* surface) override;
    void surface_destroyed(d3d_surface* surface) override;
    HRESULT blend_coverage(d3d_surface* target, int x, int y, int w, int h, const uint8_t* coverage,
                           D3DCOLOR colour) override;
    HRESULT read_pixels(DWORD x, DWORD y, DWORD w, DWORD h, DWORD* argb) override;
    HRESULT overlay_begin() override;
    HRESULT overlay_show(int w, int h, const DWORD* argb) override;
    void overlay_end() override;

    SDL_Window* sdl_window() const { return platform_window_sdl(window); }
    GLuint draw_framebuffer() const { return direct ? 0 : framebuffer; }
    // The first GL row of `rows` rows of the target from row y (top first).
    GLint gl_row(GLint y, GLint rows) const { return direct ? (GLint)height - y - rows : y; }
    bool make_current();
    // Draws the frame's held calls (see d3d_gl_repeat.h), if any.
    void flush_held();
    // The buffers hold a picture no record tells.
    void forget_frames();
    bool show_again();
    void copy_picture(GLuint from, GLuint to);
    HRESULT clear_now(DWORD flags, D3DCOLOR colour, float depth_value);
    HRESULT draw_now(const d3d_device_state& state, const d3d_draw_call& call);
    void limit_frames_in_flight();
    GLuint build_rect_program(const char* fragment, const char* what);
    bool make_buffers();
    // The frame into the window's back buffer: the frame buffer object
    // scaled to fit, keeping its shape.
    void show_frame();
    void draw_image(GLuint texture, const float rect[4]);
    void choose_framebuffer();
    compiled_program* program_for(const program_key& key);
    GLuint sampler_for(int mag, int min, int u, int v);
    GLuint texture_for(d3d_surface* surface);
    void upload(d3d_surface* surface, gl_texture* texture);
    void fill_draw_part(const d3d_device_state& state, bool lit);
    void fill_block(const d3d_device_state& state, const program_key& key);
    compiled_program* set_up_draw(const d3d_device_state& state, const d3d_draw_call& call,
                                  d3d_surface* surface, GLuint texture, bool white);
    uint8_t* stream_map(size_t bytes, size_t* offset);
    bool send_draw_data(const d3d_draw_call& call, GLint* base_vertex, size_t* index_offset);
    void apply_states(const d3d_device_state& state, bool pretransformed);
    // The depth buffer as the draws so far would have left it: the clear
    // and the depth writes that wait are made.
    void make_depth_current();
    void write_kept_depth();
    void keep_depth_writes(const d3d_device_state& state, const d3d_draw_call& call,
                           d3d_surface* surface, GLuint texture);
    program_key key_for(const d3d_device_state& state, const d3d_draw_call& call,
                        const gl_texture* texture, bool white);

    void use_program(GLuint program);
    void bind_vertex_array(GLuint array);
    void set_capability(GLenum capability, bool on, bool& known);
    void set_viewport(GLint x, GLint y, GLint w, GLint h);
    void bind_texture(GLuint texture, GLuint sampler);
    void set_arrays(unsigned arrays);
};

bool gl_backend::make_current()
{
    SDL_Window* sdl = sdl_window();
    return sdl && context && SDL_GL_MakeCurrent(sdl, context) == 0;
}

HRESULT gl_backend::start(const d3d_context_params& params)
{
    window = params.window;
    fullscreen = params.fullscreen != FALSE;
    width = params.width;
    height = params.height;
    has_depth = params.depth_bits != 0;
    SDL_Window* sdl = sdl_window();
    if (!sdl)
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    if (fullscreen) {
        if (SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return D3DXERR_INVALIDMODE;
        made_fullscreen = true;
    }
    // SDL unloads the GL library with the last GL window; one load of our
    // own keeps it (and the driver's state) for the whole run.
    static bool library_held = SDL_GL_LoadLibrary(nullptr) == 0;
    (void)library_held;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    context = SDL_GL_CreateContext(sdl);
    if (!context) {
        PLATFORM_ERROR("No OpenGL 3.3 context: %s", SDL_GetError());
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    if (!gl_api_load()) {
        PLATFORM_ERROR("%s", "The OpenGL library lacks functions the game draws with.");
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    d3dx_set_renderer_name((const char*)gl.GetString(GL_RENDERER));
    // Where the swap cannot wait for the vertical blank, present waits as
    // long as it would (see present).
    paced = d3d_vertical_blank_wait() != 0;
    SDL_GL_SetSwapInterval(paced ? 1 : 0);
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(sdl), &mode) == 0)
        refresh_rate = mode.refresh_rate;
    if (!make_buffers())
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    choose_framebuffer();
    gl_repeat_start(&repeat);
    kept_copy = false;
    return D3D_OK;
}

// The window's own framebuffer when it has the buffer size (and a depth
// buffer if one is wanted), else the back-end's.
void gl_backend::choose_framebuffer()
{
    int drawable_width = 0, drawable_height = 0;
    SDL_GL_GetDrawableSize(sdl_window(), &drawable_width, &drawable_height);
    bool fits = !fullscreen && (DWORD)drawable_width == width && (DWORD)drawable_height == height;
    if (fits && has_depth) {
        GLint depth_bits = 0;
        gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        gl.GetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH,
                                               GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth_bits);
        fits = depth_bits > 0;
    }
    direct = fits;
    gl_depth_forget(&depth);  // a depth buffer new or of another size
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    // Direct3D's fronts are clockwise on the screen, which GL sees as
    // counter-clockwise once the rows run top first.
    gl.FrontFace(direct ? GL_CW : GL_CCW);
    cache.valid = false;
}

GLuint gl_backend::build_rect_program(const char* fragment, const char* what)
{
    char log[1024];
    GLuint program = gl_api_build_program(d3d_gl_shader::text_vertex, fragment, log,
                                          (int)sizeof log);
    if (!program)
        PLATFORM_ERROR("GL back-end: the %s program did not build: %s", what, log);
    return program;
}

bool gl_backend::make_buffers()
{
    gl.GenFramebuffers(1, &framebuffer);
    gl.GenRenderbuffers(1, &colour_buffer);
    gl.GenRenderbuffers(1, &depth_buffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, (GLsizei)width, (GLsizei)height);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                               colour_buffer);
    if (has_depth) {
        gl.BindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
        gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, (GLsizei)width,
                               (GLsizei)height);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                   depth_buffer);
    }
    if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;

    gl.GenVertexArrays(1, &vertex_array);
    gl.GenVertexArrays(1, &empty_vertex_array);
    gl.GenBuffers(2, stream_buffers);
    gl.GenBuffers(1, &uniform_buffer);
    // Vertices and indices share a stream buffer; this frame's stays bound.
    gl.BindVertexArray(vertex_array);
    for (int i = 1; i >= 0; --i) {
        gl.BindBuffer(GL_ARRAY_BUFFER, stream_buffers[i]);
        stream_sizes[i] = stream_start_size;
        gl.BufferData(GL_ARRAY_BUFFER, (GLsizeiptr)stream_sizes[i], nullptr, GL_STREAM_DRAW);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, stream_buffers[0]);
    stream = 0;
    stream_used = 0;
    gl.BindBuffer(GL_UNIFORM_BUFFER, uniform_buffer);
    gl.BufferData(GL_UNIFORM_BUFFER, sizeof block, nullptr, GL_STREAM_DRAW);
    gl.BindBufferBase(GL_UNIFORM_BUFFER, 0, uniform_buffer);
    gl.ActiveTexture(GL_TEXTURE0);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.PixelStorei(GL_PACK_ALIGNMENT, 4);

    // Screen rectangles of one texture: text coverage, and dialog pictures.
    text_program = build_rect_program(d3d_gl_shader::text_fragment, "text");
    image_program = build_rect_program(d3d_gl_shader::image_fragment, "image");
    if (!text_program || !image_program)
        return false;
    text_rect = gl.GetUniformLocation(text_program, "rect");
    text_colour = gl.GetUniformLocation(text_program, "colour");
    image_rect = gl.GetUniformLocation(image_program, "rect");
    gl.GenTextures(1, &text_texture);
    gl.GenTextures(1, &overlay_texture);
    cache.valid = false;
    return true;
}

gl_backend::~gl_backend()
{
    if (context && make_current()) {
        if (earlier_frame)
            gl.DeleteSync(earlier_frame);
        for (const compiled_program& made : programs)
            gl.DeleteProgram(made.program);
        if (text_program)
            gl.DeleteProgram(text_program);
        if (image_program)
            gl.DeleteProgram(image_program);
        gl.DeleteTextures(1, &text_texture);
        gl.DeleteTextures(1, &overlay_texture);
        gl.DeleteSamplers((GLsizei)(sizeof samplers / sizeof samplers[0]), samplers);
        gl.DeleteBuffers(2, stream_buffers);
        gl.DeleteBuffers(1, &uniform_buffer);
        gl.DeleteVertexArrays(1, &vertex_array);
        gl.DeleteVertexArrays(1, &empty_vertex_array);
        gl.DeleteRenderbuffers(1, &colour_buffer);
        gl.DeleteRenderbuffers(1, &depth_buffer);
        gl.DeleteFramebuffers(1, &framebuffer);
    }
    if (context)
        SDL_GL_DeleteContext(context);
    SDL_Window* sdl = sdl_window();
    if (made_fullscreen && sdl)
        SDL_SetWindowFullscreen(sdl, 0);
}

HRESULT gl_backend::resize(DWORD new_width, DWORD new_height)
{
    if (!make_current())
        return DDERR_SURFACELOST;
    flush_held();
    forget_frames();
    width = new_width;
    height = new_height;
    gl.BindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, (GLsizei)width, (GLsizei)height);
    if (has_depth) {
        gl.BindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
        gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, (GLsizei)width,
                               (GLsizei)height);
    }
    choose_framebuffer();
    return D3D_OK;
}

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

// A held frame that repeats the last is not drawn where the buffer the swap
// shows holds its picture, or can be given it for less than drawing it.
HRESULT gl_backend::present()
{
    SDL_Window* sdl = sdl_window();
    if (!make_current()) {
        forget_frames();
        return DDERR_SURFACELOST;
    }
    bool again = repeat.holding && gl_repeat_same(repeat) && show_again();
    if (!again) {
        flush_held();
        // The frames after this one are to be held, and a swap leaves the
        // window's back buffer undefined: a copy keeps their picture.
        if (direct && !kept_copy && gl_repeat_run(repeat, true) >= GL_REPEAT_FRAMES) {
            copy_picture(0, framebuffer);
            kept_copy = true;
        }
    }
    if (!direct)
        show_frame();
    SDL_GL_SwapWindow(sdl);
    limit_frames_in_flight();
    if (paced)
        frame_pacer_pace(&pacer, refresh_rate);
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    gl_repeat_presented(&repeat, !again);
    kept_copy = kept_copy && repeat.holding;
    return D3D_OK;
}

// Whether the buffer this present shows holds the picture of the frames
// before, or was given it: the frame object keeps it; the window's back
// buffer is given the kept copy.
bool gl_backend::show_again()
{
    if (!direct)
        return true;
    if (!kept_copy)
        return false;
    copy_picture(framebuffer, 0);
    return true;
}

// The colour of one framebuffer into the other, row for row.
void gl_backend::copy_picture(GLuint from, GLuint to)
{
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl.BlitFramebuffer(0, 0, (GLint)width, (GLint)height, 0, 0, (GLint)width, (GLint)height,
                       GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
}

void gl_backend::forget_frames()
{
    gl_repeat_forget(&repeat);
    kept_copy = false;
}

// Until the frame's first call, nothing is held.
void gl_backend::flush_held()
{
    if (!repeat.holding || repeat.frame.empty())
        return;
    repeat.holding = false;
    size_t at = 0;
    gl_repeat_call call;
    while (gl_repeat_next(repeat, &at, &call))
        if (call.is_draw)
            draw_now(call.state, call.draw);
        else
            clear_now(call.clear_flags, call.clear_colour, call.clear_depth);
}

void gl_backend::limit_frames_in_flight()
{
    const GLuint64 one_second = 1000000000u;  // a stalled driver does not stall the game
    earlier_frame_done = false;
    if (earlier_frame) {
        GLenum waited = gl.ClientWaitSync(earlier_frame, GL_SYNC_FLUSH_COMMANDS_BIT, one_second);
        earlier_frame_done = waited == GL_ALREADY_SIGNALED || waited == GL_CONDITION_SATISFIED;
        gl.DeleteSync(earlier_frame);
    }
    earlier_frame = gl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    // The next frame writes into the other stream buffer, which the frame
    // before the last used: finished, unless the wait timed out.
    stream_switch = true;
    stream_safe = earlier_frame_done;
}

void gl_backend::show_frame()
{
    int drawable_width = 0, drawable_height = 0;
    SDL_GL_GetDrawableSize(sdl_window(), &drawable_width, &drawable_height);
    // The window's rows run bottom up: y is the picture's lowest row.
    RECT shown = d3dx_frame_rect(width, height, drawable_width, drawable_height);
    int x = shown.left, y = drawable_height - shown.bottom;
    int w = shown.right - shown.left, h = shown.bottom - shown.top;
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    if (w != drawable_width || h != drawable_height) {
        gl.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        gl.Clear(GL_COLOR_BUFFER_BIT);
    }
    // The frame is kept top row first; the window's rows run bottom up.
    bool same_size = (DWORD)w == width && (DWORD)h == height;
    gl.BlitFramebuffer(0, 0, (GLint)width, (GLint)height, x, y + h, x + w, y, GL_COLOR_BUFFER_BIT,
                       same_size ? GL_NEAREST : GL_LINEAR);
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
}

void gl_backend::draw_image(GLuint texture, const float rect[4])
{
    gl.UseProgram(image_program);
    gl.BindVertexArray(empty_vertex_array);
    gl.BindTexture(GL_TEXTURE_2D, texture);
    gl.BindSampler(0, sampler_for(0, 0, 2, 2));
    gl.Enable(GL_BLEND);
    gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.Disable(GL_DEPTH_TEST);
    gl.Disable(GL_CULL_FACE);
    gl.PolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl.Uniform4fv(image_rect, 1, rect);
    gl.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    cache.valid = false;
}

// Drawn into the frame object, the last frame is there. Drawn straight into
// the window, it is taken from the window's back buffer: where the swap
// copies (software rendering, most windowed drivers) that is the last frame;
// where it flips, the one before, which for the menu and between frames of
// the game looks the same. Keeping a copy at every present would cost every
// frame as much as the frame itself.
HRESULT gl_backend::overlay_begin()
{
    if (!make_current())
        return DDERR_SURFACELOST;
    // The dialog's pictures go through the buffers the frames are shown in.
    flush_held();
    forget_frames();
    if (direct) {
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        gl.BlitFramebuffer(0, 0, (GLint)width, (GLint)height, 0, (GLint)height, (GLint)width, 0,
                           GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    }
    cache.valid = false;
    return D3D_OK;
}

HRESULT gl_backend::overlay_show(int w, int h, const DWORD* argb)
{
    if (w <= 0 || h <= 0 || !argb)
        return DDERR_INVALIDPARAMS;
    if (!make_current())
        return DDERR_SURFACELOST;
    show_frame();
    int drawable_width = 0, drawable_height = 0;
    SDL_GL_GetDrawableSize(sdl_window(), &drawable_width, &drawable_height);
    gl.Viewport(0, 0, drawable_width, drawable_height);
    gl.BindTexture(GL_TEXTURE_2D, overlay_texture);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, argb);
    // The picture's top row first: its first corner is the window's top left.
    const float whole[4] = {-1.0f, 1.0f, 1.0f, -1.0f};
    draw_image(overlay_texture, whole);
    SDL_GL_SwapWindow(sdl_window());
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    return D3D_OK;
}

void gl_backend::overlay_end()
{
    if (!make_current())
        return;
    forget_frames();
    // The next present shows the window as it was before the dialog.
    show_frame();
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    cache.valid = false;
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

HRESULT gl_backend::read_pixels(DWORD x, DWORD y, DWORD w, DWORD h, DWORD* argb)
{
    if (!make_current())
        return DDERR_SURFACELOST;
    flush_held();
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    gl.ReadPixels((GLint)x, gl_row((GLint)y, (GLint)h), (GLsizei)w, (GLsizei)h, GL_BGRA,
                  GL_UNSIGNED_BYTE, argb);
    if (direct)  // GL gave the bottom row first
        for (DWORD top = 0, bottom = h - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(argb + (size_t)top * w, argb + (size_t)(top + 1) * w,
                             argb + (size_t)bottom * w);
    return D3D_OK;
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

// ---- drawing

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

}  // namespace

d3d_backend* d3d_gl_backend_make(void)
{
    return new gl_backend();
}
