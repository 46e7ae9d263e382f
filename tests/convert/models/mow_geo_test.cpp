#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "demo_model.h"
#include "heap.h"
#include "mow_geo.h"
#include "platform/d3d.h"
#include "record_support.h"
#include "test_support.h"

namespace {

std::string model_bytes(const mow_model* model)
{
    return written_bytes([&](FILE* file) { return write_mow_model_bin(file, model); });
}

// The demo figure with a colour stream added, so that every kind of child
// and every array of a shader group is present.
mow_model* full_model(void)
{
    mow_model* model = demo_model_make("c:\\data\\win\\model\\figure.mow");
    mow_shader_group* hat = model->mow_mesh_array[1].mow_shader_group_array;
    hat->mow_diffuse_array = malloc_win_diffuse_array(DEMO_MODEL_HAT_VERTICES);
    hat->mow_diffuse_array_size = DEMO_MODEL_HAT_VERTICES;
    for (int32_t i = 0; i < DEMO_MODEL_HAT_VERTICES; ++i)
        hat->mow_diffuse_array[i].color = 0xFF102030u + (uint32_t)i;
    hat->mow_shader_group_fvf |= D3DFVF_DIFFUSE;
    model->mow_model_reserved = 77;
    model->mow_model_reserved_block[30] = -5;
    model->mow_joint_array[1].mow_joint_reserved_b[5] = 9;
    return model;
}

// A model image without a name: its joint array and appendage chains as
// given, nothing else present.
std::string model_image(int32_t joints, uint32_t joints_present, int32_t chains,
                        uint32_t chains_present)
{
    return ImageBytes()
        .word(1)
        .word(1)
        .word(0)
        .word(1)
        .word(0)
        .word((uint32_t)joints)
        .word(joints_present)
        .raw(zero_words(6))
        .word(0xffffffff)
        .word((uint32_t)chains)
        .word(chains_present)
        .raw(zero_words(31 + 3))
        .real(-1.0f)
        .bytes();
}

}  // namespace

TEST(MowGeo, NewRecordsHoldTheirDefaults)
{
    expect_default_images({
        {&mow_joint_desc, ImageBytes()
                              .word(0)
                              .word(0xffffffff)
                              .raw(zero_words(13))
                              .real(-1.0f)
                              .raw(zero_words(9))
                              .bytes()},
        {&mow_cluster_vtx_desc,
         ImageBytes().raw(zero_words(6)).real(-1.0f).raw(zero_words(2)).bytes()},
        {&mow_cluster_desc, ImageBytes().word(0).word(0xffffffff).raw(zero_words(2)).bytes()},
        {&mow_shader_group_desc, ImageBytes().word(0).word(0xffffffff).raw(zero_words(14)).bytes()},
        {&mow_mesh_desc, ImageBytes().word(0).word(0xffffffff).raw(zero_words(3)).bytes()},
        {&mow_segment_info_desc, ImageBytes().word(0xffffffff).bytes()},
        {&mow_appendage_info_desc, zero_words(2)},
        // Linked to itself, counted once, no appendages, no bounding sphere.
        {&mow_model_desc, ImageBytes()
                              .word(1)
                              .word(1)
                              .word(0)
                              .word(1)
                              .raw(zero_words(9))
                              .word(0xffffffff)
                              .raw(zero_words(2 + 31 + 3))
                              .real(-1.0f)
                              .bytes()},
        {&mow_track_augment_desc, ImageBytes()
                                      .raw(zero_words(26 + 6))
                                      .real(1)
                                      .real(1)
                                      .real(1)
                                      .word(0)
                                      .word(0)
                                      .real(-1.0f)
                                      .raw(zero_words(4))
                                      .bytes()},
    });
}

TEST(MowGeo, AModelWithoutChildrenIsTheHeaderAndItsImage)
{
    TempDir dir;
    LogCapture log;
    mow_model* model = malloc_mow_model(nullptr);
    model->mow_model_reserved = 3;
    model->mow_joint_array_size = 4;  // a count without its array is stored as it is
    model->mow_appendage_array_size = 0;
    model->mow_model_sphere_center = {1.0f, 2.0f, 3.0f};
    model->mow_model_sphere_radius = 4.5f;
    std::string path = dir.file("bare.mow");
    ASSERT_EQ(demo_model_write_file(path.c_str(), model), 1);
    free_mow_model(model);

    std::string file = read_host_file(path);
    ASSERT_EQ(file.size(), 100u + 204u);
    EXPECT_EQ(file.substr(64, 36),
              ImageBytes().word(60).word(105).raw(std::string(28, '\0')).bytes());
    std::string image = ImageBytes()
                            .word(1)  // the links: the record is linked to itself
                            .word(1)
                            .word(0)  // no name
                            .word(1)  // the count as it was
                            .word(3)
                            .word(4)
                            .word(0)
                            .raw(zero_words(6))
                            .word(0)  // mow_appendage_array_size
                            .raw(zero_words(2 + 31))
                            .real(1)
                            .real(2)
                            .real(3)
                            .real(4.5f)
                            .bytes();
    EXPECT_EQ(file.substr(100), image);

    log.clear();
    mow_model* read = (mow_model*)record_read_bytes(&mow_model_desc, image);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{
                  "mow_model_name is NULL (or 0 length) in malloc_mow_model mow_model_struct"});
    EXPECT_EQ(read->mow_model_ref_cnt, 1);
    EXPECT_EQ(read->prev, read);
    // The count without its array reads as 0, after a line.
    EXPECT_EQ(read->mow_joint_array_size, 0);
    EXPECT_EQ(read->mow_joint_array, nullptr);
    EXPECT_EQ(read->mow_model_reserved, 3);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"mow_model mow_joint_array_size = 4 with no "
                                                     "mow_joint_array stored; taken as 0."});
    free_mow_model(read);
}

TEST(MowGeo, GoldenBytesOfAShaderGroupAndAJointArray)
{
    // Three 16-bit indices take 6 bytes: the slot array after them starts 2
    // bytes off the 4-byte grid.
    mow_shader_group* group = malloc_mow_shader_group();
    group->mow_shader_group_fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    group->mow_shader_group_shader_idx = 2;
    group->mow_vtx_idx_array = (uint16_t*)MALLOC(6);
    group->mow_vtx_idx_array_size = 3;
    group->mow_vtx_idx_array[0] = 0;
    group->mow_vtx_idx_array[1] = 2;
    group->mow_vtx_idx_array[2] = 0xfffe;
    group->mow_translate_vtx_array = malloc_win_vect3_ptr_array(3);
    group->mow_translate_vtx_array_size = 3;
    for (int i = 0; i < 3; ++i)
        group->mow_translate_vtx_array[i] = (win_vect3_ptr)(uintptr_t)(7999 - i);
    std::string bytes = ImageBytes()
                            .word(0x12)
                            .word(2)
                            .raw(zero_words(8))
                            .word(3)
                            .word(1)
                            .word(3)
                            .word(1)
                            .raw(zero_words(2))
                            .half(0)
                            .half(2)
                            .half(0xfffe)
                            .word(7999)
                            .word(7998)
                            .word(7997)
                            .bytes();
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_mow_shader_group_bin(f, group); }), bytes);
    free_mow_shader_group(group);
    expect_record_round_trip(&mow_shader_group_desc, bytes);

    // All images first, then each joint's name.
    mow_joint* joints = malloc_mow_joint_array(2);
    joints[0].mow_joint_name = STRDUP("hip");
    joints[0].mow_joint_origin = {1, 2, 3};
    joints[0].mow_joint_reserved_a[8] = 5;
    joints[1].mow_joint_parent_idx = 0;
    joints[1].mow_joint_sphere_center = {0, 0.5f, 0};
    std::string joint_bytes = ImageBytes()
                                  .word(1)
                                  .word(0xffffffff)
                                  .real(1)
                                  .real(2)
                                  .real(3)
                                  .word(0)
                                  .raw(zero_words(8))
                                  .word(5)
                                  .real(-1)
                                  .raw(zero_words(9))
                                  .word(0)
                                  .word(0)
                                  .raw(zero_words(13))
                                  .real(-1)
                                  .raw(zero_words(7))
                                  .real(0.5f)
                                  .word(0)
                                  .str("hip")
                                  .bytes();
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_mow_joint_array_bin(f, joints, 2); }),
              joint_bytes);
    free_mow_joint_array(joints, 2);
    expect_record_round_trip(&mow_joint_desc, joint_bytes, RecordForm::array, 2);
}

TEST(MowGeo, AModelWithEveryKindOfChildReadsAndLinksBack)
{
    LogCapture log;
    mow_model* model = full_model();
    std::string bytes = model_bytes(model);
    free_mow_model(model);

    mow_model* read = (mow_model*)record_read_bytes(&mow_model_desc, bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->mow_model_name, "c:\\data\\win\\model\\figure.mow");
    EXPECT_STREQ(read->mow_joint_array[1].mow_joint_name, "arm");
    EXPECT_STREQ(read->mow_shader_filename_array[0], demo_model_shader_name);
    EXPECT_EQ((uintptr_t)read->mow_cluster_array[1]
                  .mow_cluster_vtx_array[1]
                  .mow_cluster_vtx_translate_norm,
              5u);
    EXPECT_EQ(read->mow_appendage_info_array[0].mow_segment_info_array[0].mow_segment_joint_idx, 1);
    EXPECT_EQ(read->mow_mesh_array[1].mow_shader_group_array[0].mow_diffuse_array[2].color,
              0xFF102032u);
    EXPECT_EQ(read->mow_joint_array[1].mow_joint_reserved_b[5], 9);
    free_mow_model(read);

    // Alone and as a list of two, each member of which the list alone holds
    // (its count, stored again, is 1).
    expect_record_round_trip(&mow_model_desc, bytes);
    expect_record_round_trip(&mow_model_desc, bytes + bytes, RecordForm::list, 2);
    EXPECT_TRUE(log.errors().empty());
}

TEST(MowGeo, EveryProperPrefixAndEveryFailedAllocationIsRefused)
{
    TempDir dir;
    mow_model* model = full_model();
    std::string path = dir.file("figure.mow");
    ASSERT_EQ(demo_model_write_file(path.c_str(), model), 1);
    free_mow_model(model);
    std::string bytes = read_host_file(path).substr(FILE_HDR_SIZE);
    expect_every_prefix_refused(&mow_model_desc, bytes);
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&mow_model_desc, bytes), 10);
}

TEST(MowGeo, StoredCountsAreCheckedAgainstWhatTheyAnnounce)
{
    expect_record_refusals(
        &mow_model_desc,
        {{"present joint array of 0",
          model_image(0, 1, 0, 0),
          {"Bad mow_joint_array_size = 0", "Could not read_mow_joint_array_bin."}},
         {"present joint array of -1",
          model_image(-1, 1, 0, 0),
          {"Bad mow_joint_array_size = -1", "Could not read_mow_joint_array_bin."}},
         {"joint array past the end",
          model_image(3, 1, 0, 0) + zero_words(50),
          {"Bad mow_joint_array_size = 3 with 200 bytes left",
           "Could not read_mow_joint_array_bin."}}});
    expect_record_refusals(
        &mow_shader_group_desc,
        {{"present index array of 0",
          ImageBytes().raw(zero_words(10)).word(0).word(1).raw(zero_words(4)).bytes(),
          {"Could not read_mow_vtx_idx_array_bin."}},
         {"present index array of a large negative count",
          ImageBytes().raw(zero_words(10)).word(0x80000040).word(1).raw(zero_words(4)).bytes(),
          {"Could not read_mow_vtx_idx_array_bin."}}});
    expect_record_refusals(&mow_cluster_desc,
                           {{"huge vertex array",
                             ImageBytes().words({0, 0, 50000000, 1}).bytes(),
                             {"Bad mow_cluster_vtx_array_size = 50000000 with 0 bytes left",
                              "Could not read_mow_cluster_vtx_array_bin."}}});

    // A count beside a zero presence word counts nothing: it reads as 0,
    // after a line.
    LogCapture log;
    mow_model* read = (mow_model*)record_read_bytes(&mow_model_desc, model_image(0, 0, 6, 0));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->mow_appendage_info_array_size, 0);
    EXPECT_EQ(read->mow_appendage_info_array, nullptr);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"mow_model mow_appendage_info_array_size = 6 with no "
                                       "mow_appendage_info_array stored; taken as 0."});
    free_mow_model(read);
}

TEST(MowGeo, ASegmentWordHoldsTwoSigned16BitJoints)
{
    const struct {
        uint32_t word;
        int start, second;
    } cases[] = {
        {0xffffffff, -1, -1}, {0x0000ffff, -1, 0}, {0x00050003, 3, 5}, {0x8000fffe, -2, -32768}};
    ImageBytes bytes;
    for (const auto& c : cases)
        bytes.word(c.word);
    FILE* file = file_with_bytes(bytes.bytes());
    mow_segment_info* segments = read_mow_segment_info_array_bin(file, 4);
    std::fclose(file);
    ASSERT_NE(segments, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(segments[i].mow_segment_joint_idx, cases[i].start) << i;
        EXPECT_EQ(segments[i].mow_segment_second_joint_idx, cases[i].second) << i;
    }
    free_mow_segment_info_array(segments, 4);
}

TEST(MowGeo, ValidationRefusesWhatWouldBeReadOutsideAnArray)
{
    struct Case {
        const char* what;
        std::function<void(mow_model*)> change;
        const char* fault;  // NULL: the model passes
    };
    auto body = [](mow_model* m) { return m->mow_mesh_array[0].mow_shader_group_array; };
    auto hat = [](mow_model* m) { return m->mow_mesh_array[1].mow_shader_group_array; };
    const Case cases[] = {
        {"the demo figure", [](mow_model*) {}, nullptr},
        {"parent past the joints",
         [](mow_model* m) { m->mow_joint_array[1].mow_joint_parent_idx = 2; },
         "joint 1 has mow_joint_parent_idx = 2 of 2 joints"},
        {"parent later in the array",
         [](mow_model* m) { m->mow_joint_array[0].mow_joint_parent_idx = 1; }, nullptr},
        {"negative parent is a root",
         [](mow_model* m) { m->mow_joint_array[1].mow_joint_parent_idx = -7; }, nullptr},
        {"cluster without joint",
         [](mow_model* m) { m->mow_cluster_array[0].mow_cluster_joint_idx = -1; },
         "cluster 0 has joint index -1 of 2 poses"},
        {"cluster past the joints",
         [](mow_model* m) { m->mow_cluster_array[1].mow_cluster_joint_idx = 2; },
         "cluster 1 has joint index 2 of 2 poses"},
        {"segmented mesh past the joints",
         [](mow_model* m) { m->mow_mesh_array[1].mow_mesh_joint_idx = 5; },
         "segmented mesh 1 has joint index 5 of 2 poses"},
        {"clustered mesh needs no joint",
         [](mow_model* m) { m->mow_mesh_array[0].mow_mesh_joint_idx = 9; }, nullptr},
        {"segment without start joint",
         [](mow_model* m) {
             m->mow_appendage_info_array[0].mow_segment_info_array[0].mow_segment_joint_idx = -1;
         },
         "appendage 0 segment 0 has joints -1, -1 of 2 poses"},
        {"second joint past the joints",
         [](mow_model* m) {
             m->mow_appendage_info_array[0].mow_segment_info_array[0].mow_segment_second_joint_idx =
                 2;
         },
         "appendage 0 segment 0 has joints 1, 2 of 2 poses"},
        {"more appendages than chains", [](mow_model* m) { m->mow_appendage_array_size = 2; },
         "mow_appendage_array_size = 2 with 1 appendage chains"},
        {"index past the skinned vertices",
         [=](mow_model* m) { body(m)->mow_vtx_idx_array[11] = 6; },
         "mesh 0 group 0 has index 11 = 6 of 6 vertices"},
        {"index past the rigid vertices", [=](mow_model* m) { hat(m)->mow_vtx_idx_array[1] = 3; },
         "mesh 1 group 0 has index 1 = 3 of 3 vertices"},
        {"normal slots shorter than the vertices",
         [=](mow_model* m) { body(m)->mow_translate_norm_array_size = 5; },
         "mesh 0 group 0 has 5 of 6 vertices in mow_translate_norm_array"},
        {"normals shorter than the vertices",
         [=](mow_model* m) { hat(m)->mow_norm_array_size = 2; },
         "mesh 1 group 0 has 2 of 3 vertices in mow_norm_array"},
        {"colours claimed but absent",
         [=](mow_model* m) { hat(m)->mow_shader_group_fvf |= D3DFVF_DIFFUSE; },
         "mesh 1 group 0 has 0 of 3 vertices in mow_diffuse_array"},
        {"texture coordinates of the skin absent",
         [=](mow_model* m) {
             free_win_uv_array(body(m)->mow_uv_array, 6);
             body(m)->mow_uv_array = nullptr;
         },
         "mesh 0 group 0 has 0 of 6 vertices in mow_uv_array"},
        {"normals unclaimed may be absent",
         [=](mow_model* m) {
             hat(m)->mow_shader_group_fvf &= ~D3DFVF_NORMAL;
             free_win_norm_array(hat(m)->mow_norm_array, 3);
             hat(m)->mow_norm_array = nullptr;
         },
         nullptr},
        {"index count without indices",
         [=](mow_model* m) {
             FREE(hat(m)->mow_vtx_idx_array);
             hat(m)->mow_vtx_idx_array = nullptr;
         },
         "mow_vtx_idx_array_size = 3 without its array"},
        {"segment count without segments",
         [](mow_model* m) {
             mow_appendage_info* chain = &m->mow_appendage_info_array[0];
             free_mow_segment_info_array(chain->mow_segment_info_array,
                                         chain->mow_segment_info_array_size);
             chain->mow_segment_info_array = nullptr;
         },
         "mow_segment_info_array_size = 1 without its array"},
        {"joint count without joints",
         [](mow_model* m) {
             free_mow_joint_array(m->mow_joint_array, 2);
             m->mow_joint_array = nullptr;
         },
         "mow_joint_array_size = 2 without its array"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mow_model* model = demo_model_make("figure");
        c.change(model);
        LogCapture log;
        EXPECT_EQ(mow_geo_validate_mow_model(model), c.fault ? 0 : 1);
        std::vector<std::string> expected;
        if (c.fault)
            expected.push_back(std::string("Bad mow_model 'figure': ") + c.fault);
        EXPECT_EQ(log.errors(), expected);
        free_mow_model(model);
    }

    // A model without joints is posed into one record: index 0 is the only
    // pose there is.
    mow_model* bare = malloc_mow_model("bare");
    bare->mow_cluster_array = malloc_mow_cluster_array(1);
    bare->mow_cluster_array_size = 1;
    bare->mow_cluster_array[0].mow_cluster_joint_idx = 0;
    EXPECT_EQ(mow_geo_pose_count(bare), 1);
    EXPECT_EQ(mow_geo_validate_mow_model(bare), 1);
    free_mow_model(bare);
}
