// The demo data tree the game starts on, written with the game's own
// writers into the working directory:
//   varnock.cfg                     the configuration file, its data
//                                   directories under c:\data\win; only
//                                   when there is none (after a game it
//                                   holds the player's settings)
//   drive_c/data/win/bitmap/...     the interface textures, the splash screen,
//                                   the menu's picture and buttons, and the
//                                   transparent-texture list
//   drive_c/data/win/script/...     the load-script list
//   drive_c/data/win/anim/...       the three tail animations and the demo
//                                   figure's wave (demo_anim.h)
//   drive_c/data/win/model/...      the demo figure (demo_model.h), whose
//                                   texture is in the bitmap directory
//   drive_c/data/win/{entity,collision,animtab,shader,ai,sound,script}/...
//                                   the prologue, the demo level the first
//                                   menu button starts (demo_level.h), and
//                                   the scripts of the other buttons
//   gamefont.ttf                    the game font, a copy of a free system
//                                   face (Debian's fonts-dejavu-core), in
//                                   which the pictures' text is set
// Drive c: is the folder drive_c of the directory the game runs in (see
// platform/path.h).
#pragma once

// Writes the tree, with game_globals and the frame's settings at their
// defaults (gameglobals_init, d3dxframe_set_defaults). 1, or 0 after a
// message on stderr or a log line.
int demo_tree_write(void);
