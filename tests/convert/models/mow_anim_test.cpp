#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "demo_anim.h"
#include "heap.h"
#include "mow_anim.h"
#include "record_support.h"
#include "test_support.h"

namespace {

std::string anim_bytes(const mow_anim* anim)
{
    return written_bytes([&](FILE* file) { return write_mow_anim_bin(file, anim); });
}

// One key of every kind: a track with a rotation, a translation and a scale
// key, a root track with a translation key, a shader index key, a sphere key
// and an appendage key with one segment.
mow_anim* small_anim(void)
{
    mow_anim* anim = malloc_mow_anim("run");
    anim->mow_anim_begin_time = 0.0f;
    anim->mow_anim_end_time = 1000.0f;
    anim->mow_track_array = malloc_mow_track_array(1);
    anim->mow_track_array_size = 1;
    mow_track* track = anim->mow_track_array;
    track->mow_track_name = STRDUP("hip");
    track->mow_rot_key_array = malloc_mow_rot_key_array(1);
    track->mow_rot_key_array_size = 1;
    track->mow_rot_key_array[0] = {0.0f, {1, 2, 3}};
    track->mow_trans_key_array = malloc_mow_trans_key_array(1);
    track->mow_trans_key_array_size = 1;
    track->mow_trans_key_array[0] = {10.0f, {4, 5, 6}};
    track->mow_scale_key_array = malloc_mow_scale_key_array(1);
    track->mow_scale_key_array_size = 1;
    track->mow_scale_key_array[0] = {20.0f, {7, 8, 9}};
    anim->root_mow_track.mow_trans_key_array = malloc_mow_trans_key_array(1);
    anim->root_mow_track.mow_trans_key_array_size = 1;
    anim->root_mow_track.mow_trans_key_array[0] = {0.0f, {0, 0, 1}};
    anim->mow_shader_idx_key_array = malloc_mow_shader_idx_key_array(1);
    anim->mow_shader_idx_key_array_size = 1;
    anim->mow_shader_idx_key_array[0] = {0.0f, 4};
    anim->mow_sphere_key_array = malloc_mow_sphere_key_array(1);
    anim->mow_sphere_key_array_size = 1;
    anim->mow_sphere_key_array[0] = {5.0f, {1, 1, 1}, 2.0f};
    anim->mow_appendage_key_array = malloc_mow_appendage_key_array(1);
    anim->mow_appendage_key_array_size = 1;
    mow_appendage_key* key = anim->mow_appendage_key_array;
    key->key_time = 0.0f;
    key->mow_appendage_sphere_key_array = malloc_mow_appendage_sphere_key_array(1);
    key->mow_appendage_sphere_key_array_size = 1;
    mow_appendage_sphere_key* sphere = key->mow_appendage_sphere_key_array;
    sphere->center = {0, 1, 0};
    sphere->radius = 0.5f;
    sphere->mow_segment_key_array = malloc_mow_segment_key_array(1);
    sphere->mow_segment_key_array_size = 1;
    sphere->mow_segment_key_array[0] = {{0, 0, 1}, 2.0f, 0.25f};
    anim->mow_anim_reserved_float = 2.5f;
    anim->mow_anim_reserved[0] = 7;
    anim->mow_anim_reserved[1] = 8;
    anim->mow_anim_reserved[2] = 9;
    return anim;
}

const std::string small_anim_bytes = ImageBytes()
                                         // the animation's image
                                         .word(1)  // links
                                         .word(1)
                                         .word(1)  // name
                                         .word(1)  // count
                                         .real(0)
                                         .real(1000)
                                         .word(1)  // tracks
                                         .word(1)
                                         .word(0)             // the root track: no name,
                                         .raw(zero_words(2))  // no rotation keys,
                                         .word(1)             // one translation key,
                                         .word(1)
                                         .raw(zero_words(2))  // no scale keys
                                         .word(1)             // shader index keys
                                         .word(1)
                                         .word(1)  // sphere keys
                                         .word(1)
                                         .word(1)  // appendage keys
                                         .word(1)
                                         .real(2.5f)
                                         .word(7)
                                         .word(8)
                                         .word(9)
                                         // its items, in field order
                                         .str("run")
                                         .word(1)  // the track's image
                                         .word(1)
                                         .word(1)
                                         .word(1)
                                         .word(1)
                                         .word(1)
                                         .word(1)
                                         .str("hip")
                                         .real(0)  // its keys
                                         .real(1)
                                         .real(2)
                                         .real(3)
                                         .real(10)
                                         .real(4)
                                         .real(5)
                                         .real(6)
                                         .real(20)
                                         .real(7)
                                         .real(8)
                                         .real(9)
                                         .real(0)  // the root translation key
                                         .real(0)
                                         .real(0)
                                         .real(1)
                                         .real(0)  // the shader index key
                                         .word(4)
                                         .real(5)  // the sphere key
                                         .real(1)
                                         .real(1)
                                         .real(1)
                                         .real(2)
                                         .real(0)  // the appendage key
                                         .word(1)
                                         .word(1)
                                         .real(0)  // its sphere
                                         .real(1)
                                         .real(0)
                                         .real(0.5f)
                                         .word(1)
                                         .word(1)
                                         .real(0)  // and the sphere's segment
                                         .real(0)
                                         .real(1)
                                         .real(2)
                                         .real(0.25f)
                                         .bytes();

}  // namespace

TEST(MowAnim, NewRecordsHoldTheirDefaults)
{
    ImageBytes minus_one;
    minus_one.real(-1.0f);
    expect_default_images({
        {&mow_rot_key_desc, minus_one.bytes() + zero_words(3)},
        {&mow_trans_key_desc, minus_one.bytes() + zero_words(3)},
        {&mow_scale_key_desc, ImageBytes().real(-1).real(1).real(1).real(1).bytes()},
        {&mow_shader_idx_key_desc, ImageBytes().real(-1).word(0xffffffff).bytes()},
        {&mow_sphere_key_desc, minus_one.bytes() + zero_words(3) + minus_one.bytes()},
        {&mow_segment_key_desc, zero_words(3) + minus_one.bytes() + minus_one.bytes()},
        {&mow_appendage_sphere_key_desc, zero_words(3) + minus_one.bytes() + zero_words(2)},
        {&mow_appendage_key_desc, minus_one.bytes() + zero_words(2)},
        {&mow_track_desc, zero_words(7)},
        {&mow_anim_desc, ImageBytes()
                             .word(1)
                             .word(1)
                             .word(0)
                             .word(1)
                             .real(-1)
                             .real(-1)
                             .raw(zero_words(15))
                             .real(-1)
                             .raw(zero_words(3))
                             .bytes()},
        {&mow_anim_ptr_desc, zero_words(1)},
    });
}

TEST(MowAnim, GoldenBytesOfASmallAnimationAndItsRoundTrip)
{
    LogCapture log;
    mow_anim* anim = small_anim();
    EXPECT_EQ(anim_bytes(anim), small_anim_bytes);
    free_mow_anim(anim);

    mow_anim* read = (mow_anim*)record_read_bytes(&mow_anim_desc, small_anim_bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->mow_anim_ref_cnt, 1);
    EXPECT_EQ(read->next, read);
    EXPECT_STREQ(read->mow_track_array[0].mow_track_name, "hip");
    EXPECT_EQ(read->root_mow_track.mow_track_name, nullptr);
    EXPECT_EQ(read->root_mow_track.mow_trans_key_array[0].translate.z, 1.0f);
    EXPECT_EQ(read->mow_anim_reserved[2], 9);
    free_mow_anim(read);
    expect_record_round_trip(&mow_anim_desc, small_anim_bytes);
    EXPECT_TRUE(log.errors().empty());

    // The root track's name travels after the track array's items.
    mow_anim* named = small_anim();
    named->root_mow_track.mow_track_name = STRDUP("root");
    std::string bytes = anim_bytes(named);
    free_mow_anim(named);
    size_t root_keys = small_anim_bytes.find(ImageBytes().real(0).real(0).real(0).real(1).bytes());
    EXPECT_EQ(bytes.substr(0, 32), small_anim_bytes.substr(0, 32));
    EXPECT_EQ(bytes.substr(root_keys, 12), ImageBytes().str("root").bytes());
}

TEST(MowAnim, EveryProperPrefixAndEveryFailedAllocationIsRefused)
{
    mow_anim* wave = demo_anim_make_wave("wave");
    wave->root_mow_track.mow_rot_key_array = malloc_mow_rot_key_array(1);
    wave->root_mow_track.mow_rot_key_array_size = 1;
    std::string bytes = anim_bytes(wave);
    free_mow_anim(wave);
    expect_every_prefix_refused(&mow_anim_desc, bytes);
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&mow_anim_desc, bytes), 10);
}

TEST(MowAnim, StoredCountsAndNamesAreCheckedAgainstWhatTheyAnnounce)
{
    // Words of the small animation's image: 6 its track count, 10 the root
    // track's rotation keys present, 19 the appendage key count; 25 the
    // length of its name after the image.
    auto word = [](size_t index, uint32_t value) {
        return with_word(small_anim_bytes, 4 * index, value);
    };
    expect_record_refusals(
        &mow_anim_desc,
        {{"present root rotation keys of 0",
          word(10, 1),
          {"Bad mow_rot_key_array_size = 0", "Could not read_mow_rot_key_array_bin."}},
         {"present appendage keys of 0",
          word(19, 0),
          {"Bad mow_appendage_key_array_size = 0", "Could not read_mow_appendage_key_array_bin."}},
         {"name of length 0", word(25, 0), {"Could not read_str_bin mow_anim_name."}},
         {"tracks past the end",
          word(6, 1000),
          {"Bad mow_track_array_size = 1000 with 184 bytes left",
           "Could not read_mow_track_array_bin."}}});

    // A count is stored as it is when its array is absent, and reads back as
    // 0, after a line: no walk may count on tracks that are not there.
    mow_anim* anim = small_anim();
    free_mow_track_array(anim->mow_track_array, 1);
    anim->mow_track_array = nullptr;
    anim->mow_track_array_size = 5;
    std::string trackless = anim_bytes(anim);
    free_mow_anim(anim);
    LogCapture log;
    mow_anim* read = (mow_anim*)record_read_bytes(&mow_anim_desc, trackless);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->mow_track_array_size, 0);
    EXPECT_EQ(read->mow_track_array, nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"mow_anim mow_track_array_size = 5 with no "
                                                     "mow_track_array stored; taken as 0."});
    free_mow_anim(read);
}

TEST(MowAnim, EachSlotHoldsOneReference)
{
    LogCapture log;
    mow_anim* run = small_anim();
    mow_anim_ptr* slots = malloc_mow_anim_ptr_array(3);
    slots[0] = run;
    slots[2] = run;
    run->mow_anim_ref_cnt += 1;  // the second slot's reference

    // Each filled slot stores a whole animation; they read back apart.
    std::string bytes = written_bytes(
        [&](FILE* f) { return write_mow_anim_ptr_array_bin(f, slots, 3); });
    EXPECT_EQ(bytes, ImageBytes().word(1).word(0).word(1).bytes() + small_anim_bytes.substr(0, 12) +
                         ImageBytes().word(2).bytes() + small_anim_bytes.substr(16) +
                         small_anim_bytes.substr(0, 12) + ImageBytes().word(2).bytes() +
                         small_anim_bytes.substr(16));
    FILE* file = file_with_bytes(bytes);
    mow_anim_ptr* read = read_mow_anim_ptr_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_NE(read[0], read[2]);
    EXPECT_EQ(read[1], nullptr);
    EXPECT_EQ(read[0]->mow_anim_ref_cnt, 1);
    free_mow_anim_ptr_array(read, 3);

    LinkImage image(bytes);
    mow_anim_ptr* linked = link_mow_anim_ptr_array(&image.cursor, 3);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(image.consumed(), (long)bytes.size());
    EXPECT_EQ(linked[1], nullptr);

    // Releasing a slot drops its reference; the last one releases the
    // animation.
    mow_anim_ptr* one = malloc_mow_anim_ptr();
    *one = run;
    run->mow_anim_ref_cnt += 1;
    EXPECT_EQ(free_mow_anim_ptr(one), 1);
    EXPECT_EQ(run->mow_anim_ref_cnt, 2);
    EXPECT_EQ(free_mow_anim_ptr_array(slots, 3), 1);
    EXPECT_TRUE(log.errors().empty());
    EXPECT_TRUE(log.warnings().empty());
}
