#include "platform/d3d_gl_depth.h"

#include <cstring>

namespace {

// Nearer than the floor by this much at least to pass for sure: well above
// the rounding of interpolated depths (about 1e-7) and four steps of a
// 16-bit buffer.
const double margin = 1.0 / 4096.0;

float component(const D3DDP_PTRSTRIDE& data, DWORD vertex, int index)
{
    float value = 0.0f;
    if (const void* at = d3d_draw_component(data, vertex))
        memcpy(&value, (const float*)at + index, sizeof value);
    return value;
}

}  // namespace

void gl_depth_forget(gl_depth_record* record)
{
    record->floor = 0.0;
    record->clear_waits = false;
    record->writes.clear();
    record->vertices.clear();
    record->indices.clear();
}

void gl_depth_clear(gl_depth_record* record, float value)
{
    gl_depth_forget(record);
    record->floor = value;
    record->clear_waits = true;
    record->clear_value = value;
}

gl_depth_span gl_depth_span_of(const d3d_draw_call& call, float bias)
{
    // The program places depth at z * 2 - 1 - bias in clip units, half
    // that in window depth.
    gl_depth_span span = {0.0, 0.0, bias == 0.0f};
    for (DWORD i = call.first_vertex; i <= call.last_vertex; ++i) {
        float z = component(call.data.position, i, 2);
        float rhw = component(call.data.position, i, 3);
        double depth = (double)z - (double)bias / 2.0;
        if (i == call.first_vertex || !(depth >= span.nearest))
            span.nearest = depth;
        if (i == call.first_vertex || !(depth <= span.farthest))
            span.farthest = depth;
        // The program takes w as 1 where 1/w is not above 0.
        span.at_zero = span.at_zero && z == 0.0f && (rhw == 1.0f || !(rhw > 0.0f));
    }
    return span;
}

bool gl_depth_passes(DWORD func, const gl_depth_span& span, double floor)
{
    bool within = span.farthest + margin <= floor;
    switch (func) {
    case D3DCMP_ALWAYS:
        return true;
    case D3DCMP_LESS:
        return within;
    case D3DCMP_NEVER:
    case D3DCMP_EQUAL:
    case D3DCMP_GREATER:
    case D3DCMP_NOTEQUAL:
    case D3DCMP_GREATEREQUAL:
        return false;
    default:  // LESSEQUAL
        return within || span.at_zero;
    }
}

void gl_depth_lower(gl_depth_record* record, const gl_depth_span* span)
{
    double nearest = span ? span->nearest : 0.0;
    if (!(nearest >= record->floor))
        record->floor = nearest;
}

void gl_depth_keep(gl_depth_record* record, const d3d_draw_call& call, gl_depth_write how)
{
    how.first_vertex = (uint32_t)(record->vertices.size() / GL_DEPTH_VERTEX_FLOATS);
    how.vertex_count = call.last_vertex - call.first_vertex + 1;
    how.first_index = (uint32_t)record->indices.size();
    how.index_count = call.indices ? call.index_count : 0;
    for (DWORD i = call.first_vertex; i <= call.last_vertex; ++i) {
        const float vertex[GL_DEPTH_VERTEX_FLOATS] = {component(call.data.position, i, 0),
                                                      component(call.data.position, i, 1),
                                                      component(call.data.position, i, 2),
                                                      component(call.data.position, i, 3),
                                                      component(call.data.textureCoords[0], i, 0),
                                                      component(call.data.textureCoords[0], i, 1)};
        record->vertices.insert(record->vertices.end(), vertex, vertex + GL_DEPTH_VERTEX_FLOATS);
    }
    for (uint32_t i = 0; i < how.index_count; ++i)
        record->indices.push_back((WORD)(call.indices[i] - call.first_vertex));
    record->writes.push_back(how);
}

bool gl_depth_uses_texture(const gl_depth_record& record, unsigned texture)
{
    for (const gl_depth_write& write : record.writes)
        if (texture && write.texture == texture)
            return true;
    return false;
}
