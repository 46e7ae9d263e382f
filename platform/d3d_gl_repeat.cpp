#include "platform/d3d_gl_repeat.h"

#include <climits>
#include <cstddef>
#include <cstring>

namespace {

// A record is a run of calls, each a tag word and its fields, every part
// padded to whole words so that the vertices read back in place.
enum : uint32_t { TAG_CLEAR = 1, TAG_DRAW = 2 };

struct clear_item {
    uint32_t tag;
    uint32_t flags;
    uint32_t colour;
    float depth;
};

// A draw's fixed part. The device state, the lights, the vertex components
// and the indices follow.
struct draw_item {
    uint32_t tag;
    uint32_t primitive_type, vertex_format, flags;
    uint32_t vertex_count;  // of the call
    uint32_t sent;          // vertices in the record: the call's first to its last
    uint32_t index_count;   // 0: no indices
    uint32_t components;    // bit per component the call gives (see component)
    uint32_t strided;       // of those, bit per component given for every vertex
    uint32_t light_count;
    uint64_t texture;  // the surface sampled, as a number
    uint64_t texture_version;
};
static_assert(sizeof(draw_item) == 56, "a draw's fixed part has no padding");

struct light_item {
    uint32_t index;
    D3DLIGHT7 light;
};
static_assert(sizeof(light_item) == 108, "a light's part has no padding");

// The vertex components a draw reads, in the back-end's attribute order.
enum { COMPONENT_COUNT = 5 };

D3DDP_PTRSTRIDE& component(D3DDRAWPRIMITIVESTRIDEDDATA& data, int i)
{
    switch (i) {
    case 0:
        return data.position;
    case 1:
        return data.normal;
    case 2:
        return data.diffuse;
    case 3:
        return data.specular;
    default:
        return data.textureCoords[0];
    }
}

const D3DDP_PTRSTRIDE& component(const D3DDRAWPRIMITIVESTRIDEDDATA& data, int i)
{
    return component(const_cast<D3DDRAWPRIMITIVESTRIDEDDATA&>(data), i);
}

// The bytes of one vertex's component that the back-end reads.
uint32_t component_bytes(int i, DWORD vertex_format)
{
    static const uint32_t bytes[COMPONENT_COUNT] = {12, 12, 4, 4, 8};
    if (i == 0 && (vertex_format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW)
        return 16;
    return bytes[i];
}

size_t words(size_t bytes)
{
    return (bytes + 3) & ~(size_t)3;
}

bool lit(const d3d_device_state& state, const d3d_draw_call& call)
{
    return (call.vertex_format & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW &&
           state.render_states[D3DRENDERSTATE_LIGHTING] != 0;
}

// The device state a draw reads, in the order it is recorded.
struct state_part {
    size_t offset, bytes;
};
const state_part state_parts[] = {
    {offsetof(d3d_device_state, render_states), sizeof(d3d_device_state::render_states)},
    {offsetof(d3d_device_state, stage_states), sizeof(d3d_device_state::stage_states[0])},
    {offsetof(d3d_device_state, transforms) + D3DTRANSFORMSTATE_WORLD * sizeof(D3DMATRIX),
     sizeof(D3DMATRIX)},
    {offsetof(d3d_device_state, transforms) + D3DTRANSFORMSTATE_VIEW * sizeof(D3DMATRIX),
     sizeof(D3DMATRIX)},
    {offsetof(d3d_device_state, transforms) + D3DTRANSFORMSTATE_PROJECTION * sizeof(D3DMATRIX),
     sizeof(D3DMATRIX)},
    {offsetof(d3d_device_state, material), sizeof(D3DMATERIAL7)},
    {offsetof(d3d_device_state, viewport), sizeof(D3DVIEWPORT7)},
};
const size_t state_bytes = [] {
    size_t sum = 0;
    for (const state_part& part : state_parts)
        sum += part.bytes;
    return sum;
}();

// The new bytes are zero, so that padding compares too.
uint8_t* grow(std::vector<uint8_t>& bytes, size_t more)
{
    size_t at = bytes.size();
    bytes.resize(at + more);
    return bytes.data() + at;
}

void reset_frame(gl_repeat_record* record)
{
    record->frame.clear();
    record->textures.clear();
    record->colour_cleared = false;
    record->depth_cleared = false;
    record->repeatable = record->resting == 0;
    if (record->resting > 0)
        --record->resting;
}

}  // namespace

static uint64_t frames_shown_again = 0;

uint64_t gl_repeat_frames_shown_again(void)
{
    return frames_shown_again;
}

void gl_repeat_start(gl_repeat_record* record)
{
    record->last.clear();
    record->last_repeatable = false;
    record->same = 0;
    record->holding = false;
    record->resting = 0;
    reset_frame(record);
}

void gl_repeat_forget(gl_repeat_record* record)
{
    record->same = 0;
    record->holding = false;
    record->last_repeatable = false;
    gl_repeat_spoil(record);
}

void gl_repeat_spoil(gl_repeat_record* record)
{
    record->holding = false;
    record->repeatable = false;
    record->frame.clear();
    record->textures.clear();
}

// Past the record's room the frame is not repeatable, and the frames after
// it rest.
static bool room_for(gl_repeat_record* record, size_t bytes)
{
    if (record->frame.size() + bytes <= GL_REPEAT_MAX_BYTES)
        return true;
    record->repeatable = false;
    record->resting = GL_REPEAT_REST_FRAMES;
    return false;
}

bool gl_repeat_clear(gl_repeat_record* record, DWORD flags, D3DCOLOR colour, float depth)
{
    if (!record->repeatable || !room_for(record, sizeof(clear_item)))
        return false;
    clear_item item = {TAG_CLEAR, flags, colour, depth};
    memcpy(grow(record->frame, sizeof item), &item, sizeof item);
    record->colour_cleared = record->colour_cleared || (flags & D3DCLEAR_TARGET) != 0;
    record->depth_cleared = record->depth_cleared || (flags & D3DCLEAR_ZBUFFER) != 0;
    return true;
}

bool gl_repeat_draw(gl_repeat_record* record, const d3d_device_state& state,
                    const d3d_draw_call& call, uint64_t texture_version, bool has_depth)
{
    if (!record->repeatable)
        return false;
    // Over pixels no clear of this frame set, the picture follows from the
    // frames before.
    bool uses_depth = has_depth && state.render_states[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE;
    if (!record->colour_cleared || (uses_depth && !record->depth_cleared)) {
        record->repeatable = false;
        return false;
    }

    draw_item item = {};
    item.tag = TAG_DRAW;
    item.primitive_type = call.primitive_type;
    item.vertex_format = call.vertex_format;
    item.flags = call.flags;
    item.vertex_count = call.vertex_count;
    item.sent = call.last_vertex - call.first_vertex + 1;
    item.index_count = call.indices ? call.index_count : 0;
    item.texture = (uint64_t)(uintptr_t)state.textures[0];
    item.texture_version = texture_version;
    size_t bytes = sizeof item + state_bytes;
    for (int i = 0; i < COMPONENT_COUNT; ++i) {
        const D3DDP_PTRSTRIDE& data = component(call.data, i);
        if (!data.lpvData)
            continue;
        item.components |= 1u << i;
        item.strided |= data.dwStride ? 1u << i : 0u;
        bytes += component_bytes(i, call.vertex_format) * (data.dwStride ? item.sent : 1u);
    }
    if (lit(state, call))
        for (const d3d_light_slot& slot : state.lights)
            item.light_count += slot.set && slot.enabled ? 1u : 0u;
    bytes += item.light_count * sizeof(light_item) + words(item.index_count * sizeof(WORD));
    if (!room_for(record, bytes))
        return false;

    uint8_t* out = grow(record->frame, bytes);
    memcpy(out, &item, sizeof item);
    out += sizeof item;
    for (const state_part& part : state_parts) {
        memcpy(out, (const uint8_t*)&state + part.offset, part.bytes);
        out += part.bytes;
    }
    for (uint32_t i = 0; item.light_count && i < D3D_MAX_LIGHTS; ++i) {
        const d3d_light_slot& slot = state.lights[i];
        if (!slot.set || !slot.enabled)
            continue;
        light_item light = {i, slot.light};
        memcpy(out, &light, sizeof light);
        out += sizeof light;
    }
    for (int i = 0; i < COMPONENT_COUNT; ++i) {
        const D3DDP_PTRSTRIDE& data = component(call.data, i);
        if (!data.lpvData)
            continue;
        uint32_t size = component_bytes(i, call.vertex_format);
        if (!data.dwStride) {
            memcpy(out, data.lpvData, size);
            out += size;
            continue;
        }
        const uint8_t* in = (const uint8_t*)data.lpvData +
                            (size_t)data.dwStride * call.first_vertex;
        for (uint32_t v = 0; v < item.sent; ++v, in += data.dwStride, out += size)
            memcpy(out, in, size);
    }
    for (uint32_t i = 0; i < item.index_count; ++i) {
        WORD index = (WORD)(call.indices[i] - call.first_vertex);
        memcpy(out, &index, sizeof index);
        out += sizeof index;
    }

    if (state.textures[0] &&
        (record->textures.empty() || record->textures.back() != state.textures[0]))
        record->textures.push_back(state.textures[0]);
    return true;
}

// A frame that does not clear the colour shows what the buffer held.
static bool complete(const gl_repeat_record& record)
{
    return record.repeatable && record.colour_cleared;
}

bool gl_repeat_same(const gl_repeat_record& record)
{
    return complete(record) && record.last_repeatable && record.frame == record.last;
}

bool gl_repeat_uses(const gl_repeat_record& record, const void* surface)
{
    for (const void* used : record.textures)
        if (used == surface)
            return true;
    return false;
}

bool gl_repeat_next(const gl_repeat_record& record, size_t* at, gl_repeat_call* out)
{
    if (*at + sizeof(uint32_t) > record.frame.size())
        return false;
    const uint8_t* in = record.frame.data() + *at;
    uint32_t tag;
    memcpy(&tag, in, sizeof tag);
    if (tag == TAG_CLEAR) {
        clear_item item;
        memcpy(&item, in, sizeof item);
        out->is_draw = false;
        out->clear_flags = item.flags;
        out->clear_colour = item.colour;
        out->clear_depth = item.depth;
        *at += sizeof item;
        return true;
    }

    const uint8_t* start = in;
    draw_item item;
    memcpy(&item, in, sizeof item);
    in += sizeof item;
    out->is_draw = true;
    memset(&out->state, 0, sizeof out->state);
    for (const state_part& part : state_parts) {
        memcpy((uint8_t*)&out->state + part.offset, in, part.bytes);
        in += part.bytes;
    }
    out->state.textures[0] = (IDirectDrawSurface7*)(uintptr_t)item.texture;
    for (uint32_t i = 0; i < item.light_count; ++i) {
        light_item light;
        memcpy(&light, in, sizeof light);
        in += sizeof light;
        d3d_light_slot& slot = out->state.lights[light.index];
        slot = {light.light, TRUE, TRUE};
    }
    d3d_draw_call& call = out->draw;
    call = {};
    call.primitive_type = item.primitive_type;
    call.vertex_format = item.vertex_format;
    call.vertex_count = item.vertex_count;
    call.flags = item.flags;
    for (int i = 0; i < COMPONENT_COUNT; ++i) {
        if (!(item.components & (1u << i)))
            continue;
        uint32_t size = component_bytes(i, item.vertex_format);
        bool strided = (item.strided & (1u << i)) != 0;
        component(call.data, i) = {(void*)in, strided ? size : 0u};
        in += size * (strided ? item.sent : 1u);
    }
    call.first_vertex = 0;
    call.last_vertex = item.sent - 1;
    call.index_count = item.index_count;
    call.indices = item.index_count ? (const WORD*)in : nullptr;
    in += words(item.index_count * sizeof(WORD));
    *at += (size_t)(in - start);
    return true;
}

int gl_repeat_run(const gl_repeat_record& record, bool drawn)
{
    if (drawn && !gl_repeat_same(record))
        return complete(record) ? 1 : 0;
    // A run of years stops counting, still long enough for any buffer.
    return record.same < INT_MAX / 2 ? record.same + 1 : record.same;
}

void gl_repeat_presented(gl_repeat_record* record, bool drawn)
{
    record->same = gl_repeat_run(*record, drawn);
    if (!drawn)
        ++frames_shown_again;
    record->frame.swap(record->last);
    record->last_repeatable = complete(*record);
    reset_frame(record);
    record->holding = record->same >= GL_REPEAT_FRAMES;
}
