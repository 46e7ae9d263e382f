// The sound container records and their record families (record.h):
//   win_sound_container      one loaded sound: its file name, the playable
//                            sample data and the file image it lies in (both
//                            memory of the sound library), whether it is
//                            placed in 3D, and the channel it plays on
//   win_sound_container_ptr  a holder's slot pointing at a container; arrays
//                            of them are the sound effects of an animation
//                            state table
//
// Containers are not reference counted: the sound module owns them in its
// list of loaded sounds (sound.h) and gives their sample data and file image
// back to the sound library before it frees them; the families never touch
// those two words. A container read from a stream has neither, whatever the
// stream holds; its 3D flag, load index, channel and reserved words keep
// their stored values.
//
// Freeing a slot or a slot array frees the containers the slots still point
// to. A holder whose slots point into the sound module's list unloads those
// sounds through the module and clears its slots first.
#pragma once

#include <cstdint>

#include "record.h"

struct win_sound_container {
    win_sound_container* prev_ptr;
    win_sound_container* next_ptr;
    char* win_sound_container_name;  // the file name with its extension; the list key
    void* win_sound_container_sample_data;
    void* win_sound_container_file_image;    // NULL unless the data is played as read
    int32_t win_sound_container_is_3d;       // 1: loaded as a 3D sound
    int32_t win_sound_container_load_index;  // sounds loaded before this one
    int32_t win_sound_container_channel;     // last channel given; -1 for none
    int32_t sound_container_reserved[6];
};
RECORD_BEGIN(win_sound_container, 56)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_sound_container_name)
    REC_RUNTIME(win_sound_container_sample_data)
    REC_RUNTIME(win_sound_container_file_image)
    REC_WORDS(win_sound_container_is_3d)
    REC_WORDS(win_sound_container_load_index)
    REC_WORDS(win_sound_container_channel)
    REC_WORDS(sound_container_reserved)
RECORD_END(win_sound_container, NAMED_LIST, .win_sound_container_load_index = -1,
           .win_sound_container_channel = -1)

// A holder's slot; NULL for none.
typedef win_sound_container* win_sound_container_ptr;
RECORD_BEGIN(win_sound_container_ptr, 4)
    REC_SELF_RECORD(win_sound_container)
RECORD_END(win_sound_container_ptr, PLAIN)
