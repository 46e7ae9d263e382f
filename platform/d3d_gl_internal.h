// Inside the GL back-end (d3d_gl.cpp and the files beside it): the back-end
// object and the records its parts share. Only those files include this.
//
// The back-end's parts:
//   d3d_gl.cpp          the context, its buffers and their size, dialogs over
//                       the window, reading pixels back;
//   d3d_gl_present.cpp  presenting a frame, and showing again one that
//                       repeats the last (the kept copy, d3d_gl_repeat.h);
//   d3d_gl_state.cpp    device state to GL: the state cache, programs,
//                       samplers, textures and uniforms;
//   d3d_gl_draw.cpp     clears, draws, the depth writes that wait
//                       (d3d_gl_depth.h) and text.
#pragma once

#include <SDL2/SDL.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d_gl_depth.h"
#include "platform/d3d_gl_repeat.h"
#include "platform/d3d_internal.h"
#include "platform/frame_pacer.h"
#include "platform/gl_api.h"
#include "platform/window_internal.h"

namespace d3d_gl {

const int max_lights = 10;

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

// Direct3D 7 values to GL (d3d_gl_state.cpp).
GLenum primitive_mode(DWORD type);
int filter_index(DWORD filter);
int address_index(DWORD address);
void colour_vector(D3DCOLOR colour, float out[4]);
float depth_offset(const d3d_device_state& state);
GLenum polygon_mode(DWORD fill);
bool culls(DWORD cull_mode);
GLenum cull_face(DWORD cull_mode);
bool diffuse_is_white(const d3d_draw_call& call);
uint32_t raw_pixel(const uint8_t* pixel, DWORD bytes);

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

}  // namespace d3d_gl
