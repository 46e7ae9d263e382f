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

// The demo level's hero: the demo figure on a skeleton of 26 joints, for the
// player character's tail hooks and auto-aim. Joints 0 and 1 are the
// figure's (so are its body, hat and appendage); joint 2, the spine, carries
// a sphere of radius 3 a little above it, the reach of the whole figure in
// the hit rules; joint 7 is the left arm, which reaches from its shoulder
// DEMO_MODEL_HERO_ARM_LENGTH units along the direction that the rotation
// `left_arm_rest` (angles about x, y and z, turned in that order) takes to
// the figure's forward, -z, with joint 8, the left hand, at its end; joints
// 21 to 25 are the tail, each 0.4 units behind the one before from the
// tail's base (20) behind the hips. The volume boxes (demo_model_make_solid)
// come first, then rigid meshes that draw the left arm (on joint 7) and each
// tail joint. Count 1; NULL after a log line.
enum {
    DEMO_MODEL_HERO_JOINTS = 26,
    DEMO_MODEL_HERO_BODY_JOINT = 2,
    DEMO_MODEL_HERO_LEFT_SHOULDER_JOINT = 6,
    DEMO_MODEL_HERO_LEFT_ARM_JOINT = 7,
    DEMO_MODEL_HERO_LEFT_HAND_JOINT = 8,
    DEMO_MODEL_HERO_FIRST_TAIL_JOINT = 21,
    DEMO_MODEL_HERO_TAIL_JOINTS = 5,
};
constexpr float DEMO_MODEL_HERO_ARM_LENGTH = 1.0f;
extern const char* const demo_model_hero_tail_names[DEMO_MODEL_HERO_TAIL_JOINTS];
mow_model* demo_model_make_hero(const char* name, const float left_arm_rest[3]);

// The figure with volume: besides its flat body and hat,
// DEMO_MODEL_VOLUME_BOXES closed boxes round them (rigid meshes on the root
// and the arm, after the body and the hat), so that it reads from every
// side, as the demo level's fighters must. Count 1; NULL after a log line.
enum { DEMO_MODEL_VOLUME_BOXES = 3 };
mow_model* demo_model_make_solid(const char* name);

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
