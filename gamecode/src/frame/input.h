// Player input: once per frame, after the frame clock and before the work of
// the game state, the action mask of the current input device is read and
// acted on by state:
//   splash       the start button opens the menu (at once with skip_splash),
//                the toggle button plays the movie;
//   movie        the start button enters exploration with the start-up
//                script;
//   exploration  the mask goes into the player character's animation input,
//                and the one-shot buttons act once per press (action-button
//                script, debug camera switch, player reset); any press skips
//                the abortable parts of running scripts;
//   camera look  the debug camera turns and flies;
//   menu         only the read.
// A one-shot button acts only when it is the only one held, and again only
// after a frame in which nothing was held.
#pragma once

#include <cstdint>

// Reads the current device and acts on the mask; returns the mask acted on.
int32_t input_update(void);

// Keys and buttons held now act in the game only once they were released:
// the key that started a level (the menu takes Enter as it goes down) is
// still held in the level's first frames, where the start button alone
// would lift the player. Called when a level begins.
void input_hold_back_held_keys(void);

// Clears the press flags; for tests.
void input_reset(void);
