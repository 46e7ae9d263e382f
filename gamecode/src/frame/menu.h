// The main menu: a full-screen picture with a column of textured buttons in
// the 640 x 480 screen space, drawn once per frame in the menu state. Up,
// Down and Enter, the pointer and the left button move the highlight and
// activate a button: one of five episode scripts starts in a fresh level, or
// the program ends. Esc goes back to the game the menu was opened from.
//
// There are five screens; game_globals.menu_screen chooses the current one.
// Only screen 0 is built, and screens without a picture or buttons are never
// shown: the menu stays on (or falls back to) screen 0.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct texture_container;

enum { MENU_SCREEN_COUNT = 5, MAIN_MENU_BUTTON_COUNT = 5 };

// A picture over a rectangle of the screen (right = left + width, bottom =
// top + height); the texture is a counted reference, NULL when it did not
// load (then drawn as an untextured quad).
struct menu_visual {
    texture_container* texture;
    int32_t left, top, right, bottom;
    int32_t shown;
};

// Exactly one of the two pictures is shown. id is -1 once freed.
struct menu_button {
    int32_t id;
    menu_visual* normal;
    menu_visual* highlight;
};

typedef void (*menu_activate_funct)(int32_t button_id);

struct menu_screen {
    menu_visual* background;
    menu_button* buttons;
    int32_t num_buttons;
    menu_button* selected;  // into buttons, NULL for none
    menu_activate_funct activate_button;
};

extern menu_screen menu_screens[MENU_SCREEN_COUNT];

// The buttons of the main screen and the scripts they start.
enum {
    MENU_EPISODE_1 = 0,
    MENU_EPISODE_2_LEVEL_1 = 1,
    MENU_EPISODE_2_LEVEL_2 = 2,
    MENU_EPISODE_3 = 3,
    MENU_EPISODE_4 = 4,
    MENU_EXIT = 5,
    MENU_MAIN_BUTTON_TOTAL = 6,
};
extern const char* const menu_episode_scripts[MAIN_MENU_BUTTON_COUNT];
// Texture names of the six buttons; each highlight adds "_hi".
extern const char* const menu_button_textures[MENU_MAIN_BUTTON_TOTAL];
extern const char* const menu_background_texture;  // "Menu background"

// Clears the screens and builds screen 0.
void menu_build_main_menu(void);
// The background shown, the callback, and a zeroed array of num_buttons
// buttons of which the first is selected.
int menu_init_screen(menu_screen* screen, menu_activate_funct activate_button,
                     const char* bitmap_name, int32_t left, int32_t top, int32_t width,
                     int32_t height, int32_t num_buttons);
// A new visual with its texture loaded (a reference added) from the bitmap
// directory; made without texture after ERROR "Unable to d3dtextr_load_texture %s."
menu_visual* menu_init_visual(const char* name, int32_t left, int32_t top, int32_t width,
                              int32_t height, int32_t shown);
// Button `id` of the screen: its normal picture shown unless highlighted.
int menu_init_button(menu_screen* screen, int32_t id, int32_t left, int32_t top, int32_t width,
                     int32_t height, const char* name, const char* highlight_name,
                     int32_t highlighted);
void menu_set_button_highlight(menu_button* button, int32_t on);

// Draws the current screen; 1 when it was drawn.
int menu_draw_current(void);
int menu_draw_screen(menu_screen* screen);
void menu_draw_visual(menu_visual* visual);
// Edges included.
int menu_point_in_rect(int32_t x, int32_t y, const menu_visual* rect);
// Keys, pointer, left button and Esc (WM_COMMAND IDM_EXIT) of the menu
// window procedure; 1 when the message meant something to the menu.
int menu_handle_message(UINT message, WPARAM wparam, LPARAM lparam);
void menu_main_menu_activate(int32_t button_id);

// Releases every screen: the pictures' texture references and memory.
void menu_free_all_screens(void);
void menu_free_screen(menu_screen* screen);
void menu_free_button(menu_button* button);
void menu_free_visual(menu_visual* visual);

// Kept though nothing calls them: a main screen of the first level's button
// and four sub-screens.
void menu_select_main_menu_button(int32_t button_id);
void menu_noop_callback(int32_t button_id);
void menu_noop_callback_2(int32_t button_id);
void menu_noop_callback_3(int32_t button_id);
void menu_noop_callback_4(int32_t button_id);
