// Frame time of the device's GL back-end against a minimal plain-GL program
// drawing the same scene, for two scenes at 640 x 480, each lit by one
// directional light plus ambient light, with a bilinear-filtered 64 x 64
// texture, depth test and back faces culled:
//   meshes      10,000 triangles in 10 draws (meshes of 1,000 triangles);
//   many draws  1,000 draws a frame of a small patch (18 triangles), each
//               with its own world transform, as a level's small objects.
//
// Both paths run in one process, in windows side by side that do not overlap,
// each drawing into its window's own framebuffer with a 24-bit depth buffer
// and no vertical-blank wait. The device gets its vertices from client
// memory at every draw, as the game hands them over, and sends them to the
// card itself; the plain program keeps them in buffers on the card, so the
// baseline is the least a GL program can do for the scene. A run times a few
// frames (clear, draws, present, all finished); each path counts by its best
// run, in alternated order (see bench_timing.h). The tool prints both, their
// ratio with its spread, and how many pixels of the two frames differ, to
// show that the scenes match.
//
// Usage: device_bench [rounds]   (default 201; needs a GL 3.3 display; see README)
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_timing.h"
#include "platform/d3d.h"
#include "platform/d3d_record.h"
#include "platform/d3dx.h"
#include "platform/gl_api.h"
#include "platform/win32.h"

namespace {

const int width = 640, height = 480;
const int window_gap = 16;  // between the two windows
const int depth_bits = 24;
const int frames_a_run = 4;
const int texture_size = 64;
const float ambient = 48.0f / 255.0f;
const float light_colour[3] = {0.9f, 0.85f, 0.8f};
const float light_direction[3] = {-0.4f, -0.5f,
                                  -0.77f};  // world space, shining away from the viewer

// A bumpy square from (-1, -1) to (1, 1), wound clockwise as seen from +z.
struct mesh {
    std::vector<float> positions, normals, uvs;
    std::vector<WORD> indices;
    DWORD vertex_count() const { return (DWORD)(positions.size() / 3); }
};

struct scene {
    const char* name;
    mesh shape;
    std::vector<D3DMATRIX> worlds;  // one draw each
};

// What every scene shares: the texture, the camera and the projection.
struct setting {
    std::vector<DWORD> texels;
    D3DMATRIX view, projection;
};

D3DMATRIX identity()
{
    D3DMATRIX m = {};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0f;
    return m;
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX p = {};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k)
                p.m[r][c] += a.m[r][k] * b.m[k][c];
    return p;
}

// Tilted about x, turned about y, scaled and moved to (x, y).
D3DMATRIX placement(float tilt, float turn, float scale, float x, float y)
{
    D3DMATRIX rx = identity(), ry = identity(), at = identity();
    rx.m[1][1] = std::cos(tilt), rx.m[1][2] = std::sin(tilt), rx.m[2][1] = -std::sin(tilt),
    rx.m[2][2] = std::cos(tilt);
    ry.m[0][0] = std::cos(turn), ry.m[0][2] = -std::sin(turn), ry.m[2][0] = std::sin(turn),
    ry.m[2][2] = std::cos(turn);
    for (int i = 0; i < 3; ++i)
        at.m[i][i] = scale;
    at.m[3][0] = x;
    at.m[3][1] = y;
    return multiply(multiply(rx, ry), at);
}

mesh make_mesh(int cells_x, int cells_y)
{
    mesh m;
    for (int j = 0; j <= cells_y; ++j)
        for (int i = 0; i <= cells_x; ++i) {
            float x = -1.0f + 2.0f * (float)i / cells_x, y = -1.0f + 2.0f * (float)j / cells_y;
            float z = 0.15f * std::sin(3.0f * x) * std::cos(3.0f * y);
            float dx = 0.45f * std::cos(3.0f * x) * std::cos(3.0f * y);
            float dy = -0.45f * std::sin(3.0f * x) * std::sin(3.0f * y);
            float length = std::sqrt(dx * dx + dy * dy + 1.0f);
            m.positions.insert(m.positions.end(), {x, y, z});
            m.normals.insert(m.normals.end(), {-dx / length, -dy / length, 1.0f / length});
            m.uvs.insert(m.uvs.end(), {x + 1.0f, 1.0f - y});
        }
    for (int j = 0; j < cells_y; ++j)
        for (int i = 0; i < cells_x; ++i) {
            WORD a = (WORD)(j * (cells_x + 1) + i), b = (WORD)(a + 1), c = (WORD)(a + cells_x + 1),
                 d = (WORD)(c + 1);
            m.indices.insert(m.indices.end(), {a, c, b, b, c, d});  // clockwise from +z
        }
    return m;
}

scene make_meshes_scene()
{
    scene s = {"meshes", make_mesh(25, 20), {}};  // 1,000 triangles a mesh
    for (int m = 0; m < 10; ++m)
        s.worlds.push_back(placement(-0.5f + 0.1f * (float)m, 0.3f * (float)(m % 5) - 0.6f, 1.0f,
                                     -4.4f + 2.2f * (float)(m % 5), m < 5 ? 1.2f : -1.2f));
    return s;
}

// 40 x 25 patches over the whole view, each turned its own way.
scene make_many_draws_scene()
{
    scene s = {"many draws", make_mesh(3, 3), {}};  // 18 triangles a patch
    const int across = 40, down = 25;
    for (int j = 0; j < down; ++j)
        for (int i = 0; i < across; ++i) {
            float n = (float)(j * across + i);
            s.worlds.push_back(placement(0.4f * std::sin(n), 0.4f * std::cos(0.7f * n), 0.13f,
                                         -5.7f + 0.29f * (float)i, -4.2f + 0.35f * (float)j));
        }
    return s;
}

setting make_setting()
{
    setting s;
    for (int y = 0; y < texture_size; ++y)
        for (int x = 0; x < texture_size; ++x)
            s.texels.push_back(((x / 8 + y / 8) % 2) ? 0xFFE0C040u : 0xFF4060A0u);
    // Camera at (0, 0, 8) looking down -z; projection as the game builds it.
    s.view = identity();
    s.view.m[3][2] = -8.0f;
    float near_plane = 1.0f, far_plane = 100.0f, c = 1.0f / std::tan(0.5f);
    s.projection = {};
    s.projection.m[0][0] = 0.75f * c;
    s.projection.m[1][1] = c;
    s.projection.m[2][2] = far_plane / (near_plane - far_plane);
    s.projection.m[2][3] = -1.0f;
    s.projection.m[3][2] = near_plane * far_plane / (near_plane - far_plane);
    return s;
}

// ---- through the device

struct device_run {
    HWND window = nullptr;
    ID3DXContext* context = nullptr;
    IDirect3DDevice7* device = nullptr;
    IDirectDrawSurface7* texture = nullptr;
};

bool device_start(device_run& run, const setting& s)
{
    WNDCLASS window_class = {};
    window_class.lpfnWndProc = DefWindowProc;
    window_class.lpszClassName = "Device Bench";
    RegisterClass(&window_class);
    run.window = CreateWindow("Device Bench", "device", WS_OVERLAPPEDWINDOW, 0, 0, width, height,
                              nullptr, nullptr, nullptr, nullptr);
    ShowWindow(run.window, SW_SHOW);
    d3d_select_backend(D3D_BACKEND_GL);
    d3d_set_vertical_blank_wait(0);
    if (FAILED(D3DXInitialize()) ||
        FAILED(D3DXCreateContextEx(D3DX_DEFAULT, 0, run.window, nullptr, 32, D3DX_DEFAULT,
                                   depth_bits, 0, D3DX_DEFAULT, width, height, D3DX_DEFAULT,
                                   &run.context)))
        return false;
    run.device = run.context->GetD3DDevice();
    DWORD size = texture_size;
    D3DX_SURFACEFORMAT format = D3DX_SF_X8R8G8B8;
    if (FAILED(D3DXCreateTexture(run.device, nullptr, &size, &size, &format, nullptr, &run.texture,
                                 nullptr)))
        return false;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    run.texture->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    for (int y = 0; y < texture_size; ++y)
        std::copy_n(&s.texels[(size_t)y * texture_size], texture_size,
                    (DWORD*)((uint8_t*)desc.lpSurface + (ptrdiff_t)y * desc.lPitch));
    run.texture->Unlock(nullptr);

    IDirect3DDevice7* d = run.device;
    d->SetTransform(D3DTRANSFORMSTATE_VIEW, (D3DMATRIX*)&s.view);
    d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, (D3DMATRIX*)&s.projection);
    d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFF303030);
    d->SetRenderState(D3DRENDERSTATE_NORMALIZENORMALS, TRUE);  // the patches are scaled
    D3DMATERIAL7 material = {};
    material.diffuse = material.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    d->SetMaterial(&material);
    D3DLIGHT7 light = {};
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse = {light_colour[0], light_colour[1], light_colour[2], 1.0f};
    light.dvDirection = {light_direction[0], light_direction[1], light_direction[2]};
    d->SetLight(0, &light);
    d->LightEnable(0, TRUE);
    d->SetTexture(0, run.texture);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    run.context->SetClearColor(0xFF000000);
    return true;
}

void device_frame(device_run& run, scene& s, bool present)
{
    IDirect3DDevice7* d = run.device;
    d->BeginScene();
    run.context->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    mesh& m = s.shape;
    D3DDRAWPRIMITIVESTRIDEDDATA data = {};
    data.position = {m.positions.data(), 12};
    data.normal = {m.normals.data(), 12};
    data.textureCoords[0] = {m.uvs.data(), 8};
    for (D3DMATRIX& world : s.worlds) {
        d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        d->DrawIndexedPrimitiveStrided(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1,
                                       &data, m.vertex_count(), m.indices.data(),
                                       (DWORD)m.indices.size(), 0);
    }
    d->EndScene();
    if (present)
        run.context->UpdateFrame(0);
}

void device_stop(device_run& run)
{
    if (run.device)
        run.device->SetTexture(0, nullptr);
    if (run.texture)
        run.texture->Release();
    if (run.device)
        run.device->Release();
    if (run.context)
        run.context->Release();
    D3DXUninitialize();
    if (run.window)
        DestroyWindow(run.window);
}

// ---- plain GL

const char plain_vertex[] = R"glsl(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 world_view_projection;  // row-vector matrices as stored
uniform mat4 world;
uniform vec4 to_light;
uniform vec4 light_colour;  // w: ambient
out vec3 v_colour;
out vec2 v_uv;
void main()
{
    vec4 clip = world_view_projection * vec4(position, 1.0);
    // Depth 0..1 to -1..1, and pixel centres where the device puts them.
    gl_Position = vec4(clip.x + clip.w / 640.0, clip.y - clip.w / 480.0, 2.0 * clip.z - clip.w, clip.w);
    vec3 n = normalize(mat3(world) * normal);
    v_colour = clamp(vec3(light_colour.w) + light_colour.rgb * max(dot(n, to_light.xyz), 0.0), 0.0, 1.0);
    v_uv = uv;
}
)glsl";

const char plain_fragment[] = R"glsl(#version 330 core
in vec3 v_colour;
in vec2 v_uv;
uniform sampler2D image;
out vec4 colour;
void main()
{
    colour = vec4(texture(image, v_uv).rgb * v_colour, 1.0);
}
)glsl";

// A scene's mesh in buffers on the card.
struct plain_mesh {
    GLuint vertex_array = 0, buffers[4] = {};
};

struct plain_run {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    GLuint program = 0, texture = 0;
    GLint world_view_projection = -1, world = -1;
    std::vector<plain_mesh> meshes;  // one a scene
};

bool plain_start(plain_run& run, const setting& s)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    run.window = SDL_CreateWindow("plain GL", width + window_gap, 0, width, height,
                                  SDL_WINDOW_OPENGL);
    if (!run.window || !(run.context = SDL_GL_CreateContext(run.window)) || !gl_api_load())
        return false;
    SDL_GL_SetSwapInterval(0);
    char log[1024];
    run.program = gl_api_build_program(plain_vertex, plain_fragment, log, (int)sizeof log);
    if (!run.program) {
        fprintf(stderr, "plain GL program: %s\n", log);
        return false;
    }
    gl.UseProgram(run.program);
    run.world_view_projection = gl.GetUniformLocation(run.program, "world_view_projection");
    run.world = gl.GetUniformLocation(run.program, "world");
    float length = std::sqrt(light_direction[0] * light_direction[0] +
                             light_direction[1] * light_direction[1] +
                             light_direction[2] * light_direction[2]);
    float to_light[4] = {-light_direction[0] / length, -light_direction[1] / length,
                         -light_direction[2] / length, 0.0f};
    float colour[4] = {light_colour[0], light_colour[1], light_colour[2], ambient};
    gl.Uniform4fv(gl.GetUniformLocation(run.program, "to_light"), 1, to_light);
    gl.Uniform4fv(gl.GetUniformLocation(run.program, "light_colour"), 1, colour);
    gl.GenTextures(1, &run.texture);
    gl.BindTexture(GL_TEXTURE_2D, run.texture);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, texture_size, texture_size, 0, GL_BGRA,
                  GL_UNSIGNED_BYTE, s.texels.data());
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.Enable(GL_DEPTH_TEST);
    gl.DepthFunc(GL_LEQUAL);
    gl.Enable(GL_CULL_FACE);
    gl.FrontFace(GL_CW);  // the scene's fronts are clockwise on the screen
    gl.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl.Viewport(0, 0, width, height);
    return true;
}

plain_mesh plain_load(const mesh& m)
{
    plain_mesh made;
    gl.GenVertexArrays(1, &made.vertex_array);
    gl.BindVertexArray(made.vertex_array);
    gl.GenBuffers(4, made.buffers);
    const std::vector<float>* streams[3] = {&m.positions, &m.normals, &m.uvs};
    for (GLuint i = 0; i < 3; ++i) {
        gl.BindBuffer(GL_ARRAY_BUFFER, made.buffers[i]);
        gl.BufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(streams[i]->size() * sizeof(float)),
                      streams[i]->data(), GL_STATIC_DRAW);
        gl.VertexAttribPointer(i, i == 2 ? 2 : 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        gl.EnableVertexAttribArray(i);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, made.buffers[3]);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)(m.indices.size() * sizeof(WORD)),
                  m.indices.data(), GL_STATIC_DRAW);
    return made;
}

void plain_frame(plain_run& run, const setting& setting, const scene& s, const plain_mesh& m,
                 bool present)
{
    SDL_GL_MakeCurrent(run.window, run.context);
    gl.BindVertexArray(m.vertex_array);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    D3DMATRIX view_projection = multiply(setting.view, setting.projection);
    for (const D3DMATRIX& world : s.worlds) {
        D3DMATRIX all = multiply(world, view_projection);
        gl.UniformMatrix4fv(run.world_view_projection, 1, GL_FALSE, &all.m[0][0]);
        gl.UniformMatrix4fv(run.world, 1, GL_FALSE, &world.m[0][0]);
        gl.DrawElements(GL_TRIANGLES, (GLsizei)s.shape.indices.size(), GL_UNSIGNED_SHORT, nullptr);
    }
    if (present)
        SDL_GL_SwapWindow(run.window);
}

void plain_stop(plain_run& run)
{
    if (run.context) {
        SDL_GL_MakeCurrent(run.window, run.context);
        for (plain_mesh& m : run.meshes) {
            gl.DeleteBuffers(4, m.buffers);
            gl.DeleteVertexArrays(1, &m.vertex_array);
        }
        gl.DeleteTextures(1, &run.texture);
        gl.DeleteProgram(run.program);
        SDL_GL_DeleteContext(run.context);
    }
    if (run.window)
        SDL_DestroyWindow(run.window);
}

// Seconds a frame over a run of frames, all finished. The other path's
// frames are finished first, untimed.
template <typename F>
double time_frames(F frame)
{
    gl.Finish();
    double seconds = bench_time(frames_a_run, frame);
    auto start = std::chrono::steady_clock::now();
    gl.Finish();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds / frames_a_run;
}

// Pixels of the two frames that differ by more than 8 in a channel, and the
// pixels drawn at all.
void compare_frames(device_run& device, plain_run& plain, const setting& setting, scene& s,
                    const plain_mesh& m, long* drawn, long* differing)
{
    std::vector<DWORD> device_pixels((size_t)width * height), plain_pixels((size_t)width * height);
    device_frame(device, s, false);
    d3d_read_render_target(device.device, 0, 0, width, height, device_pixels.data());
    plain_frame(plain, setting, s, m, false);
    gl.ReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, plain_pixels.data());
    *drawn = *differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            DWORD a = device_pixels[(size_t)y * width + x];
            DWORD b =
                plain_pixels[(size_t)(height - 1 - y) * width + x];  // GL's rows run bottom up
            *drawn += (a & 0xFFFFFF) != 0;
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs((int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF)) > 8) {
                    ++*differing;
                    break;
                }
        }
}

bool run_scene(device_run& device, plain_run& plain, const setting& setting, scene& s,
               const plain_mesh& m, int rounds)
{
    long drawn = 0, differing = 0;
    compare_frames(device, plain, setting, s, m, &drawn, &differing);
    auto device_run_time = [&] { return time_frames([&] { device_frame(device, s, true); }); };
    auto plain_run_time = [&] {
        return time_frames([&] { plain_frame(plain, setting, s, m, true); });
    };
    for (int i = 0; i < 3; ++i) {  // programs compiled, buffers grown
        device_run_time();
        plain_run_time();
    }
    const bench_ratio result = bench_compare(rounds, device_run_time, plain_run_time);
    printf("scene %s: %d triangles in %d draws at %dx%d; %ld pixels drawn, %ld differ\n", s.name,
           (int)(s.worlds.size() * s.shape.indices.size() / 3), (int)s.worlds.size(), width, height,
           drawn, differing);
    printf("  device:   %.3f ms a frame (best run of %d frames)\n", 1000 * result.best_a,
           frames_a_run);
    printf("  plain GL: %.3f ms a frame\n", 1000 * result.best_b);
    bench_print_ratio("ratio:", result);
    return result.ratio > 0.0;
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 201;
    setting setting = make_setting();
    scene scenes[] = {make_meshes_scene(), make_many_draws_scene()};
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "device_bench: no video: %s\n", SDL_GetError());
        return 1;
    }
    // Both windows are made with the same depth buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
    device_run device;
    plain_run plain;
    if (!device_start(device, setting) || !plain_start(plain, setting)) {
        fprintf(stderr, "device_bench: no GL 3.3 context\n");
        device_stop(device);
        plain_stop(plain);
        return 1;
    }
    for (const scene& s : scenes)
        plain.meshes.push_back(plain_load(s.shape));
    const char* renderer = (const char*)gl.GetString(GL_RENDERER);
    bench_print_machine();
    printf("renderer: %s\n", renderer ? renderer : "?");
    for (size_t i = 0; i < std::size(scenes); ++i)
        run_scene(device, plain, setting, scenes[i], plain.meshes[i], rounds);
    bench_print_load();
    plain_stop(plain);
    device_stop(device);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
}
