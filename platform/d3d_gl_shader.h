// GLSL of the GL back-end (d3d_gl_internal.h).
//
// One program source emulates the fixed-function pipeline the game uses. The
// back-end puts "#define NAME value" lines for the discrete states of a draw
// (vertex layout, lighting with the number of lights of each type and the
// sources of the material colours, fog source and formula, texture stage 0
// operations, colour keying, a diffuse colour of opaque white at every
// vertex) in front of it and keeps one compiled program per combination, so
// a software rasteriser runs no code a draw does not need; everything
// numeric comes from uniforms: the world's matrices, new with every draw
// (`draw_matrices`, `gl_draw_uniforms` in d3d_gl_internal.h), and the rest
// (projection, colours, lights, fog range) from the uniform block, whose
// layout is `gl_device_block` there. The lights come in the block grouped by
// type: directional, point, spot.
//
// Conventions: matrices arrive as Direct3D stores them (row-major, for row
// vectors), which GLSL reads as their transposes, so M * v computes v . M.
// Rows: the window's own framebuffer runs bottom row first, as GL has it; a
// framebuffer object of the back-end is kept top row first, like Direct3D,
// by negating clip-space y (pixel.z says which). Direct3D's depth range 0..1
// becomes GL's -1..1, and Direct3D's pixel centres (on integer coordinates)
// are moved half a pixel to GL's.
#pragma once

namespace d3d_gl_shader {

const char common[] = R"glsl(
struct light_record {
    vec4 diffuse;
    vec4 specular;
    vec4 ambient;
    vec4 position;     // view space
    vec4 direction;    // view space, unit length; w: range
    vec4 attenuation;  // constant, linear, quadratic; w: spot falloff
    vec4 spot;         // x: cosine of half the inner cone, y: of half the outer
};

layout(std140) uniform device_block {
    mat4 projection;
    vec4 pixel;             // xy: half a viewport pixel in clip units; z: -1 top row first, +1 bottom
                            // row first; w: depth offset of the z bias
    vec4 target;            // xy: render target size
    vec4 fog_params;        // start, end, density
    vec4 fog_colour;
    vec4 texture_factor;
    vec4 ambient;
    vec4 material_diffuse;
    vec4 material_ambient;
    vec4 material_specular;
    vec4 material_emissive;
    vec4 material_power;    // x
    vec4 viewer;            // direction to a distant viewer, in view space
    ivec4 switches;         // x: local viewer, y: range fog
    light_record lights[10];
};

// Share of the object's own colour left by fog at distance d.
float fog_factor(float d)
{
#if FOG_FUNC == 3
    float range = fog_params.y - fog_params.x;
    if (range == 0.0)
        return d < fog_params.y ? 1.0 : 0.0;
    return clamp((fog_params.y - d) / range, 0.0, 1.0);
#elif FOG_FUNC == 2
    float e = fog_params.z * d;
    return exp(-e * e);
#else
    return exp(-fog_params.z * d);
#endif
}
)glsl";

const char vertex[] = R"glsl(
// What changes with every draw, for the vertex stage alone, outside the
// block: the fragment stage keeps its uniforms from one draw to the next.
// One array, so that a draw sends both in one call (a program without
// lighting reads only the first).
uniform mat4 draw_matrices[2];
#define world_view draw_matrices[0]
#define normal_matrix draw_matrices[1]

layout(location = 0) in vec4 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec4 in_diffuse;
layout(location = 3) in vec4 in_specular;
layout(location = 4) in vec2 in_uv;

out vec4 v_diffuse;
out vec4 v_specular;
out vec2 v_uv;
out float v_fog;  // fog factor (vertex fog) or eye depth (pixel fog)

// A material colour from the material (0), the vertex diffuse colour (1) or
// the vertex specular colour (2).
vec4 material(int source, vec4 value, vec4 diffuse, vec4 specular)
{
    if (source == 1)
        return diffuse;
    if (source == 2)
        return specular;
    return value;
}

// Direction to a point or spot light and its attenuation; 0 out of range.
float reach(int i, vec3 eye, out vec3 to_light)
{
    vec3 offset = lights[i].position.xyz - eye;
    float distance = length(offset);
    to_light = distance > 0.0 ? offset / distance : vec3(0.0, 0.0, 1.0);
    if (distance > lights[i].direction.w)
        return 0.0;
    vec3 a = lights[i].attenuation.xyz;
    float divisor = a.x + a.y * distance + a.z * distance * distance;
    return divisor > 0.0 ? 1.0 / divisor : 1.0;
}

vec3 lit_colour;
vec3 highlight;

void add_light(int i, vec3 to_light, float strength, vec3 normal, vec3 to_viewer, vec3 ma, vec3 md, vec3 ms)
{
    float lambert = max(dot(normal, to_light), 0.0);
    lit_colour += strength * (lights[i].ambient.rgb * ma + lights[i].diffuse.rgb * md * lambert);
#if SPECULAR_ADD
    if (lambert > 0.0) {
        vec3 halfway = normalize(to_light + to_viewer);
        highlight += strength * lights[i].specular.rgb * ms * pow(max(dot(normal, halfway), 0.0), material_power.x);
    }
#endif
}

void main()
{
#if HAS_DIFFUSE
    vec4 diffuse = in_diffuse;
#else
    vec4 diffuse = vec4(1.0);
#endif
#if HAS_SPECULAR
    vec4 specular = in_specular;
#else
    vec4 specular = vec4(0.0);
#endif
    v_uv = in_uv;
    v_fog = 1.0;

#if PRETRANSFORMED
    // Screen pixels, depth 0..1 and 1/w: no transform and no lighting.
    float w = in_position.w > 0.0 ? 1.0 / in_position.w : 1.0;
    vec2 ndc = (in_position.xy + 0.5) / target.xy * 2.0 - 1.0;
    gl_Position = vec4(ndc.x, -pixel.z * ndc.y, in_position.z * 2.0 - 1.0 - pixel.w, 1.0) * w;
    v_diffuse = diffuse;
    v_specular = specular;
#if FOG_SOURCE == 1
    v_fog = specular.a;
#elif FOG_SOURCE == 2
    v_fog = w;
#endif

#else
    vec4 eye = world_view * vec4(in_position.xyz, 1.0);
    vec4 clip = projection * eye;
    gl_Position = vec4(clip.x + clip.w * pixel.x, pixel.z * (clip.y - clip.w * pixel.y),
                       2.0 * clip.z - clip.w - pixel.w * clip.w, clip.w);

#if LIGHTING
    vec3 normal = vec3(0.0);
#if HAS_NORMAL
    normal = mat3(normal_matrix) * in_normal;
#if NORMALIZE_NORMALS
    float length_of_normal = length(normal);
    if (length_of_normal > 0.0)
        normal /= length_of_normal;
#endif
#endif
    vec4 md = material(MATERIAL_DIFFUSE, material_diffuse, diffuse, specular);
    vec4 ma = material(MATERIAL_AMBIENT, material_ambient, diffuse, specular);
    vec4 ms = material(MATERIAL_SPECULAR, material_specular, diffuse, specular);
    vec4 me = material(MATERIAL_EMISSIVE, material_emissive, diffuse, specular);
    lit_colour = me.rgb + ambient.rgb * ma.rgb;
    highlight = vec3(0.0);
    vec3 to_viewer = switches.x != 0 ? -normalize(eye.xyz) : viewer.xyz;
    const int points = DIRECTIONAL_LIGHTS + POINT_LIGHTS;
    for (int i = 0; i < DIRECTIONAL_LIGHTS; ++i)
        add_light(i, -lights[i].direction.xyz, 1.0, normal, to_viewer, ma.rgb, md.rgb, ms.rgb);
    for (int i = DIRECTIONAL_LIGHTS; i < points; ++i) {
        vec3 to_light;
        float strength = reach(i, eye.xyz, to_light);
        add_light(i, to_light, strength, normal, to_viewer, ma.rgb, md.rgb, ms.rgb);
    }
    for (int i = points; i < points + SPOT_LIGHTS; ++i) {
        vec3 to_light;
        float strength = reach(i, eye.xyz, to_light);
        float rho = dot(-to_light, lights[i].direction.xyz);
        float inner = lights[i].spot.x;
        float outer = lights[i].spot.y;
        if (rho <= outer)
            strength = 0.0;
        else if (rho < inner)
            strength *= pow((rho - outer) / (inner - outer), lights[i].attenuation.w);
        add_light(i, to_light, strength, normal, to_viewer, ma.rgb, md.rgb, ms.rgb);
    }
    v_diffuse = vec4(clamp(lit_colour, 0.0, 1.0), md.a);
    v_specular = vec4(clamp(highlight, 0.0, 1.0), specular.a);
#else
    v_diffuse = diffuse;
    v_specular = specular;
#endif

    // Fog distance: from the eye with range fog, else the depth along the
    // view (w, whichever way the view space is handed).
#if FOG_SOURCE == 1
    v_fog = fog_factor(switches.y != 0 ? length(eye.xyz) : clip.w);
#elif FOG_SOURCE == 2
    v_fog = clip.w;
#endif
#endif
}
)glsl";

const char fragment[] = R"glsl(
in vec4 v_diffuse;
in vec4 v_specular;
in vec2 v_uv;
in float v_fog;

uniform sampler2D texture0;

out vec4 out_colour;

// The diffuse colour; opaque white at every vertex, a constant, so that the
// stage's products by it fold away.
#if DIFFUSE_WHITE
#define DIFFUSE vec4(1.0)
#else
#define DIFFUSE v_diffuse
#endif

vec4 stage_arg(int which, vec4 texel)
{
    if (which == 2)
        return texel;
    if (which == 3)
        return texture_factor;
    return DIFFUSE;  // diffuse, and the current colour at stage 0
}

vec4 stage_op(int op, vec4 a, vec4 b)
{
    if (op == 2)
        return a;
    if (op == 3)
        return b;
    if (op == 5)
        return a * b * 2.0;
    if (op == 6)
        return a * b * 4.0;
    if (op == 7)
        return a + b;
    return a * b;
}

void main()
{
    vec4 colour = DIFFUSE;
#if TEXTURE
    vec4 texel = texture(texture0, v_uv);
    // Colour-keyed texels carry alpha 0 (see the texture upload).
#if COLOUR_KEY == 1
    if (texel.a < 1.0 / 512.0)
        discard;
#elif COLOUR_KEY == 2
    if (texel.a < 0.5)
        discard;
#endif
#if TEXTURE_ALPHA_ONE
    texel.a = 1.0;
#endif
#if COLOR_OP != 1
    colour.rgb = stage_op(COLOR_OP, stage_arg(COLOR_ARG1, texel), stage_arg(COLOR_ARG2, texel)).rgb;
#if ALPHA_OP != 1
    colour.a = stage_op(ALPHA_OP, stage_arg(ALPHA_ARG1, texel), stage_arg(ALPHA_ARG2, texel)).a;
#endif
#endif
    // Selections and products of colours within 0..1 stay within it; sums
    // and scaled products are clamped.
#if COLOR_OP >= 5 || ALPHA_OP >= 5
    colour = clamp(colour, 0.0, 1.0);
#endif
#endif
#if SPECULAR_ADD
    colour.rgb = min(colour.rgb + v_specular.rgb, vec3(1.0));
#endif
#if FOG_SOURCE == 1
    colour.rgb = mix(fog_colour.rgb, colour.rgb, clamp(v_fog, 0.0, 1.0));
#elif FOG_SOURCE == 2
    colour.rgb = mix(fog_colour.rgb, colour.rgb, fog_factor(v_fog));
#endif
    out_colour = colour;
}
)glsl";

// Text: a coverage bitmap in one colour over a rectangle of the target.
const char text_vertex[] = R"glsl(#version 330 core
uniform vec4 rect;  // x0, y0, x1, y1 in clip units
out vec2 v_uv;
void main()
{
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    v_uv = corner;
    gl_Position = vec4(mix(rect.xy, rect.zw, corner), 0.0, 1.0);
}
)glsl";

const char text_fragment[] = R"glsl(#version 330 core
in vec2 v_uv;
uniform sampler2D coverage;
uniform vec4 colour;
out vec4 out_colour;
void main()
{
    out_colour = vec4(colour.rgb, colour.a * texture(coverage, v_uv).r);
}
)glsl";

// A picture over the window (a dialog), drawn with text_vertex.
const char image_fragment[] = R"glsl(#version 330 core
in vec2 v_uv;
uniform sampler2D image;
out vec4 out_colour;
void main()
{
    out_colour = texture(image, v_uv);
}
)glsl";

}  // namespace d3d_gl_shader
