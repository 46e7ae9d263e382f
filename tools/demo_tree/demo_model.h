// The demo figure: a small jointed, skinned model built with the model
// records and written with the game's own model writer, for the demo data
// tree and for tests that need a real model file.
//
// Two joints: "root" at the origin and "arm" 2 units above it, each with a
// collision sphere. A clustered (skinned) mesh "body" of two stacked quads,
// whose lower vertices follow the root and whose top edge follows the arm
// (one vertex at half weight), and a segmented (rigid) mesh "hat", one
// triangle placed by the arm. Both draw with the first shader of the model,
// "demo_skin", with normals and texture coordinates. One appendage of one
// segment starts at the arm.
#pragma once

#include "mow_geo.h"

// Geometry of the figure, for the tests that look at it.
enum {
    DEMO_MODEL_JOINTS = 2,
    DEMO_MODEL_BODY_VERTICES = 6,  // skinning slots 0 to 5
    DEMO_MODEL_BODY_INDICES = 12,
    DEMO_MODEL_HAT_VERTICES = 3,
};
// The shader file name the figure's groups draw with, and its texture.
extern const char* const demo_model_shader_name;

// A new demo figure named `name` (count 1: release it with free_mow_model);
// NULL after a log line when it cannot be made.
mow_model* demo_model_make(const char* name);

// A chain of `joints` joints named "joint", each one unit above its parent,
// with a collision sphere of radius 0.5 half way up to the next: the
// skeleton the benchmarks pose and skin. Count 1; NULL after a log line.
mow_model* demo_model_make_chain(const char* name, int32_t joints);

// Writes a data file of `file_type` and `file_version` at `path`: the header,
// then the stream of `record`, of the record type `type`. 1, or 0 after a
// log line.
int demo_write_record_file(const char* path, int32_t file_type, int32_t file_version,
                           const record_type* type, const void* record);

// Writes `model` as a model file at `path` (header, then the model stream).
// 1, or 0 after a log line.
int demo_model_write_file(const char* path, const mow_model* model);

// Writes the demo figure, storing `name` as its name, to `path`. The game
// shares a model by the path it loads it by, so a figure stores its own path
// (lower-cased) to be shared.
int demo_model_write(const char* path, const char* name);
