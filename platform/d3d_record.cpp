// The call gate, the call record, result injection, live-object counting and
// the recording back-end.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d_internal.h"

namespace {

struct injection {
    std::string name;
    HRESULT result;
    int skip;
    int times;  // 0: for ever
};

struct record_state {
    int backend_kind = D3D_BACKEND_GL;  // the game draws; tests choose recording
    bool vertical_blank_wait = true;
    bool recording = false;
    std::vector<std::string> lines;
    std::vector<injection> injections;
    int live = 0;
    int draw_count = 0;
    int present_count = 0;
    int overlay_count = 0;
    d3d_recorded_draw last_draw = {};
};

record_state& state()
{
    static record_state* s = new record_state();  // lives for the whole run
    return *s;
}

struct recording_backend : d3d_backend {
    HRESULT start(const d3d_context_params&) override { return D3D_OK; }
    HRESULT resize(DWORD, DWORD) override { return D3D_OK; }
    HRESULT clear(DWORD, D3DCOLOR, float) override { return D3D_OK; }
    HRESULT present() override
    {
        ++state().present_count;
        return D3D_OK;
    }
    HRESULT draw(const d3d_device_state& device, const d3d_draw_call& call) override;
    void surface_changed(d3d_surface*) override {}
    void surface_destroyed(d3d_surface*) override {}
    HRESULT blend_coverage(d3d_surface*, int, int, int, int, const uint8_t*, D3DCOLOR) override
    {
        return D3D_OK;
    }
    HRESULT read_pixels(DWORD, DWORD, DWORD, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT overlay_begin() override { return D3D_OK; }
    HRESULT overlay_show(int, int, const DWORD*) override
    {
        ++state().overlay_count;
        return D3D_OK;
    }
    void overlay_end() override {}
};

float read_float(const void* data, int index)
{
    float value = 0.0f;
    if (data)
        memcpy(&value, (const float*)data + index, sizeof value);
    return value;
}

HRESULT recording_backend::draw(const d3d_device_state& device, const d3d_draw_call& call)
{
    record_state& s = state();
    ++s.draw_count;
    d3d_recorded_draw& draw = s.last_draw;
    memset(&draw, 0, sizeof draw);
    draw.primitive_type = call.primitive_type;
    draw.vertex_format = call.vertex_format;
    draw.vertex_count = call.vertex_count;
    draw.index_count = call.index_count;
    draw.flags = call.flags;
    for (DWORD i = 0; i < call.vertex_count && i < D3D_RECORDED_VERTICES; ++i) {
        d3d_recorded_vertex& vertex = draw.vertices[i];
        const void* position = d3d_draw_component(call.data.position, i);
        vertex.x = read_float(position, 0);
        vertex.y = read_float(position, 1);
        vertex.z = read_float(position, 2);
        vertex.rhw = (call.vertex_format & D3DFVF_XYZRHW) ? read_float(position, 3) : 1.0f;
        const void* normal = d3d_draw_component(call.data.normal, i);
        vertex.nx = read_float(normal, 0);
        vertex.ny = read_float(normal, 1);
        vertex.nz = read_float(normal, 2);
        if (const void* diffuse = d3d_draw_component(call.data.diffuse, i))
            memcpy(&vertex.diffuse, diffuse, sizeof vertex.diffuse);
        const void* uv = d3d_draw_component(call.data.textureCoords[0], i);
        vertex.u = read_float(uv, 0);
        vertex.v = read_float(uv, 1);
    }
    for (DWORD i = 0; call.indices && i < call.index_count && i < D3D_RECORDED_INDICES; ++i)
        draw.indices[i] = call.indices[i];
    memcpy(draw.render_states, device.render_states, sizeof draw.render_states);
    memcpy(draw.stage0_states, device.stage_states[0], sizeof draw.stage0_states);
    draw.texture0 = device.textures[0];
    draw.world = device.transforms[D3DTRANSFORMSTATE_WORLD];
    draw.view = device.transforms[D3DTRANSFORMSTATE_VIEW];
    draw.projection = device.transforms[D3DTRANSFORMSTATE_PROJECTION];
    return D3D_OK;
}

}  // namespace

d3d_backend* d3d_backend_make(int kind)
{
    if (kind == D3D_BACKEND_RECORDING)
        return new recording_backend();
    if (kind == D3D_BACKEND_GL)
        return d3d_gl_backend_make();
    return nullptr;
}

const void* d3d_draw_component(const D3DDP_PTRSTRIDE& component, DWORD index)
{
    if (!component.lpvData)
        return nullptr;
    return (const uint8_t*)component.lpvData + (size_t)component.dwStride * index;
}

HRESULT d3d_call(const char* name, const char* arguments, ...)
{
    record_state& s = state();
    if (s.recording) {
        char buffer[256];
        va_list args;
        va_start(args, arguments);
        vsnprintf(buffer, sizeof buffer, arguments, args);
        va_end(args);
        std::string line = name;
        if (buffer[0]) {
            line += ' ';
            line += buffer;
        }
        s.lines.push_back(line);
    }
    for (size_t i = 0; i < s.injections.size(); ++i) {
        injection& entry = s.injections[i];
        if (entry.name != name)
            continue;
        if (entry.skip > 0) {
            --entry.skip;
            continue;
        }
        HRESULT result = entry.result;
        if (entry.times > 0 && --entry.times == 0)
            s.injections.erase(s.injections.begin() + (long)i);
        return result;
    }
    return D3D_OK;
}

void d3d_live_add(int delta)
{
    state().live += delta;
}

void d3d_select_backend(int kind)
{
    state().backend_kind = kind;
}

int d3d_selected_backend(void)
{
    return state().backend_kind;
}

void d3d_set_vertical_blank_wait(int on)
{
    state().vertical_blank_wait = on != 0;
}

int d3d_vertical_blank_wait(void)
{
    return state().vertical_blank_wait;
}

void d3d_record_start(void)
{
    state().recording = true;
}

void d3d_record_stop(void)
{
    state().recording = false;
}

int d3d_record_count(void)
{
    return (int)state().lines.size();
}

const char* d3d_record_get(int index)
{
    const std::vector<std::string>& lines = state().lines;
    if (index < 0 || index >= (int)lines.size())
        return nullptr;
    return lines[(size_t)index].c_str();
}

int d3d_record_find(const char* prefix, int from)
{
    const std::vector<std::string>& lines = state().lines;
    size_t length = prefix ? strlen(prefix) : 0;
    for (int i = from < 0 ? 0 : from; i < (int)lines.size(); ++i)
        if (lines[(size_t)i].compare(0, length, prefix ? prefix : "") == 0)
            return i;
    return -1;
}

int d3d_record_count_of(const char* prefix)
{
    int count = 0;
    for (int i = d3d_record_find(prefix, 0); i >= 0; i = d3d_record_find(prefix, i + 1))
        ++count;
    return count;
}

void d3d_inject(const char* name, HRESULT result, int skip, int times)
{
    if (name)
        state().injections.push_back({name, result, skip, times});
}

int d3d_live_objects(void)
{
    return state().live;
}

void d3d_record_reset(void)
{
    record_state& s = state();
    s.backend_kind = D3D_BACKEND_RECORDING;
    s.vertical_blank_wait = true;
    s.recording = false;
    s.lines.clear();
    s.injections.clear();
    s.draw_count = 0;
    s.present_count = 0;
    s.overlay_count = 0;
    memset(&s.last_draw, 0, sizeof s.last_draw);
}

int d3d_recorded_draw_count(void)
{
    return state().draw_count;
}

const d3d_recorded_draw* d3d_recorded_last_draw(void)
{
    return state().draw_count ? &state().last_draw : nullptr;
}

int d3d_recorded_present_count(void)
{
    return state().present_count;
}

int d3d_recorded_overlay_count(void)
{
    return state().overlay_count;
}

HRESULT d3d_read_render_target(IDirect3DDevice7* device, DWORD x, DWORD y, DWORD width,
                               DWORD height, DWORD* argb)
{
    if (!device || !argb)
        return DDERR_INVALIDPARAMS;
    d3d_device* self = static_cast<d3d_device*>(device);
    if (width == 0 || height == 0 || (uint64_t)x + width > self->target->width ||
        (uint64_t)y + height > self->target->height)
        return DDERR_INVALIDPARAMS;
    return self->ddraw->backend->read_pixels(x, y, width, height, argb);
}
