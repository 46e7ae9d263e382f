#include "menu.h"

#include <cstdio>
#include <cstring>

#include "d3dtextr_dx7.h"
#include "d3dutil.h"
#include "d3dxframe.h"
#include "debug.h"
#include "gameglobals.h"
#include "heap.h"
#include "runtime_services.h"
#include "script_services.h"
#include "str_util.h"
#include "texture_container.h"
#include "winmain2.h"

menu_screen menu_screens[MENU_SCREEN_COUNT];

const char* const menu_episode_scripts[MAIN_MENU_BUTTON_COUNT] = {
    "episode1_prologue_se", "episode2_harbour_se", "episode2_foundry_se",
    "episode3_citadel_se",  "episode4_summit_se",
};
const char* const menu_button_textures[MENU_MAIN_BUTTON_TOTAL] = {
    "prologue", "harbour", "foundry", "citadel", "summit", "exit",
};
const char* const menu_background_texture = "Menu background";

namespace {

constexpr DWORD OPAQUE_WHITE = 0xFFFFFFFF;
constexpr int VIRTUAL_WIDTH = 640, VIRTUAL_HEIGHT = 480;

// The main screen's buttons: place and size in the 640 x 480 screen.
const struct {
    int32_t left, top, width, height;
} main_buttons[MENU_MAIN_BUTTON_TOTAL] = {
    {41, 106, 104, 30}, {41, 156, 189, 32}, {41, 205, 244, 33},
    {40, 255, 251, 32}, {39, 305, 249, 33}, {41, 406, 54, 28},
};

bool is_empty(const menu_screen& screen)
{
    return !screen.background && screen.num_buttons <= 0;
}

// The screen game_globals.menu_screen names; screen 0 when that one is out
// of range or was never built, so the player is never left without a menu.
menu_screen* current_screen(void)
{
    int32_t index = game_globals.menu_screen;
    if (index < 0 || index >= MENU_SCREEN_COUNT || is_empty(menu_screens[index]))
        index = 0;
    return &menu_screens[index];
}

void highlight(menu_screen* screen, menu_button* button)
{
    if (screen->selected)
        menu_set_button_highlight(screen->selected, 0);
    screen->selected = button;
    menu_set_button_highlight(button, 1);
}

void activate(menu_screen* screen, int32_t button_id)
{
    if (screen->activate_button)
        screen->activate_button(button_id);
}

// A client position of the window as a point of the 640 x 480 screen, kept
// inside it (the pointer may lie outside the client area while the window
// holds the mouse). The picture fills the window keeping its shape, so the
// position maps through the rectangle it shows in. False without a render
// size to scale from.
bool screen_point(LPARAM lparam, int32_t* x, int32_t* y)
{
    int32_t width = d3dxframe_get_render_width(), height = d3dxframe_get_render_height();
    int32_t render_x = (short)LOWORD(lparam), render_y = (short)HIWORD(lparam);
    if (width <= 0 || height <= 0 || !d3dxframe_client_to_render(&render_x, &render_y))
        return false;
    int32_t scaled_x = (int32_t)((int64_t)render_x * VIRTUAL_WIDTH / width);
    int32_t scaled_y = (int32_t)((int64_t)render_y * VIRTUAL_HEIGHT / height);
    *x = scaled_x < 0 ? 0 : scaled_x >= VIRTUAL_WIDTH ? VIRTUAL_WIDTH - 1 : scaled_x;
    *y = scaled_y < 0 ? 0 : scaled_y >= VIRTUAL_HEIGHT ? VIRTUAL_HEIGHT - 1 : scaled_y;
    return true;
}

int handle_key(menu_screen* screen, WPARAM key)
{
    menu_button* selected = screen->selected;
    if (!selected || screen->num_buttons <= 0)
        return 0;
    int32_t index = (int32_t)(selected - screen->buttons);
    switch (key) {
    case VK_RETURN:
        activate(screen, selected->id);
        return 1;
    case VK_UP:
        highlight(screen, &screen->buttons[index == 0 ? screen->num_buttons - 1 : index - 1]);
        return 1;
    case VK_DOWN:
        highlight(screen, &screen->buttons[index == screen->num_buttons - 1 ? 0 : index + 1]);
        return 1;
    default:
        return 0;
    }
}

int handle_escape(menu_screen* screen)
{
    if (game_globals.menu_screen != 0) {
        game_globals.menu_screen = 0;
    } else if (game_globals.previous_game_state == GAME_MODE_EXPLORATION ||
               game_globals.previous_game_state == GAME_MODE_CAMERA_LOOK) {
        ShowCursor(FALSE);
        winmain_set_game_state(game_globals.previous_game_state);
    }
    if (screen->num_buttons > 0)
        highlight(screen, &screen->buttons[0]);
    return 1;
}

}  // namespace

void menu_build_main_menu(void)
{
    menu_free_all_screens();
    menu_screen* screen = &menu_screens[0];
    menu_init_screen(screen, menu_main_menu_activate, menu_background_texture, 0, 0, 639, 479,
                     MENU_MAIN_BUTTON_TOTAL);
    for (int32_t id = 0; id < MENU_MAIN_BUTTON_TOTAL; ++id) {
        char highlight_name[64];
        snprintf(highlight_name, sizeof highlight_name, "%s_hi", menu_button_textures[id]);
        menu_init_button(screen, id, main_buttons[id].left, main_buttons[id].top,
                         main_buttons[id].width, main_buttons[id].height, menu_button_textures[id],
                         highlight_name, id == 0);
    }
}

int menu_init_screen(menu_screen* screen, menu_activate_funct activate_button,
                     const char* bitmap_name, int32_t left, int32_t top, int32_t width,
                     int32_t height, int32_t num_buttons)
{
    REFUSE_NULL(screen, "menu_init_screen", "screen", 0);
    screen->background = menu_init_visual(bitmap_name, left, top, width, height, 1);
    screen->activate_button = activate_button;
    screen->num_buttons = num_buttons > 0 ? num_buttons : 0;
    screen->buttons = nullptr;
    screen->selected = nullptr;
    if (screen->num_buttons > 0) {
        size_t size = sizeof(menu_button) * (size_t)screen->num_buttons;
        screen->buttons = (menu_button*)MALLOC(size);
        if (!screen->buttons) {
            LOG_ERROR("%s\n", "Could not malloc the menu buttons.");
            screen->num_buttons = 0;
            return 0;
        }
        memset(screen->buttons, 0, size);
        screen->selected = &screen->buttons[0];
    }
    return 1;
}

menu_visual* menu_init_visual(const char* name, int32_t left, int32_t top, int32_t width,
                              int32_t height, int32_t shown)
{
    menu_visual* visual = (menu_visual*)MALLOC(sizeof(menu_visual));
    if (!visual) {
        LOG_ERROR("%s\n", "Could not malloc a menu visual.");
        return nullptr;
    }
    visual->left = left;
    visual->top = top;
    visual->right = left + width;
    visual->bottom = top + height;
    visual->shown = shown;
    // The loader lower-cases the name it is given in place: it gets a copy.
    char writable[D3DTEXTR_PATH_SIZE];
    visual->texture = name && STR_CPY(writable, sizeof writable, name)
                          ? d3dtextr_load_texture(writable, game_globals.bitmaps_pathname, nullptr)
                          : nullptr;
    if (visual->texture)
        visual->texture->texture_container_ref_cnt += 1;
    else
        LOG_ERROR("Unable to d3dtextr_load_texture %s.\n", name ? name : "(null)");
    return visual;
}

int menu_init_button(menu_screen* screen, int32_t id, int32_t left, int32_t top, int32_t width,
                     int32_t height, const char* name, const char* highlight_name,
                     int32_t highlighted)
{
    if (!screen || id < 0 || id >= screen->num_buttons) {
        LOG_ERROR("Cannot menu_init_button %ld.\n", (long)id);
        return 0;
    }
    menu_button* button = &screen->buttons[id];
    button->id = id;
    button->normal = menu_init_visual(name, left, top, width, height, highlighted ? 0 : 1);
    button->highlight = menu_init_visual(highlight_name, left, top, width, height,
                                         highlighted ? 1 : 0);
    return 1;
}

void menu_set_button_highlight(menu_button* button, int32_t on)
{
    if (!button)
        return;
    if (button->highlight)
        button->highlight->shown = on ? 1 : 0;
    if (button->normal)
        button->normal->shown = on ? 0 : 1;
}

int menu_draw_current(void)
{
    return menu_draw_screen(current_screen());
}

int menu_draw_screen(menu_screen* screen)
{
    if (!screen || !d3dxframe_begin_scene(0))
        return 0;
    d3dxframe_set_texture(0, nullptr);
    d3dutil_set_identity_matrix(&game_globals.world_matrix);
    d3dxframe_set_world_transform(&game_globals.world_matrix);
    d3dxframe_set_view_transform(&game_globals.view_matrix);
    menu_draw_visual(screen->background);
    for (int32_t i = 0; i < screen->num_buttons; ++i) {
        menu_draw_visual(screen->buttons[i].normal);
        menu_draw_visual(screen->buttons[i].highlight);
    }
    if (!d3dxframe_end_scene()) {
        LOG_ERROR("%s", "Unable to EndScene.\n");
        return 0;
    }
    return 1;
}

void menu_draw_visual(menu_visual* visual)
{
    if (!visual || !visual->shown)
        return;
    d3dxframe_draw_screen_quad(visual->texture, OPAQUE_WHITE, OPAQUE_WHITE, OPAQUE_WHITE,
                               OPAQUE_WHITE, (float)visual->left, (float)visual->top,
                               (float)(visual->right - visual->left),
                               (float)(visual->bottom - visual->top));
}

int menu_point_in_rect(int32_t x, int32_t y, const menu_visual* rect)
{
    return rect && x >= rect->left && x <= rect->right && y >= rect->top && y <= rect->bottom;
}

int menu_handle_message(UINT message, WPARAM wparam, LPARAM lparam)
{
    menu_screen* screen = current_screen();
    int32_t x = 0, y = 0;
    switch (message) {
    case WM_KEYDOWN:
        return handle_key(screen, wparam);
    case WM_MOUSEMOVE: {
        if (!screen_point(lparam, &x, &y))
            return 0;
        int handled = 0;
        for (int32_t i = 0; i < screen->num_buttons; ++i) {
            if (menu_point_in_rect(x, y, screen->buttons[i].normal)) {
                highlight(screen, &screen->buttons[i]);
                handled = 1;
            }
        }
        return handled;
    }
    case WM_LBUTTONDOWN:
        if (!screen->selected || !screen_point(lparam, &x, &y) ||
            !menu_point_in_rect(x, y, screen->selected->normal))
            return 0;
        activate(screen, screen->selected->id);
        return 1;
    case WM_COMMAND:
        return LOWORD(wparam) == IDM_EXIT ? handle_escape(screen) : 0;
    default:
        return 0;
    }
}

void menu_main_menu_activate(int32_t button_id)
{
    d3dxframe_deactivate();
    gameglobals_reset_level_state();
    script_cleanup_script_list();
    entity_unload_all(1);
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    varnock_set_action_button_script("none");
    varnock_set_letterbox(0);
    varnock_clear_display_text();
    if (button_id >= 0 && button_id < MAIN_MENU_BUTTON_COUNT) {
        script_initiate_script(menu_episode_scripts[button_id], nullptr);
    } else if (button_id == MENU_EXIT) {
        d3dxframe_deactivate();
        SendMessage(d3dx_globals.hwnd, WM_CLOSE, 0, 0);
    }
    ShowCursor(FALSE);
    d3dxframe_init_render_states();
    d3dxframe_activate();
    d3dxframe_update_frame(game_globals.game_state);
}

void menu_free_all_screens(void)
{
    for (menu_screen& screen : menu_screens)
        menu_free_screen(&screen);
}

void menu_free_screen(menu_screen* screen)
{
    if (!screen)
        return;
    menu_free_visual(screen->background);
    for (int32_t i = 0; i < screen->num_buttons; ++i)
        menu_free_button(&screen->buttons[i]);
    if (screen->buttons)
        FREE(screen->buttons);
    *screen = {};
}

// Both pictures go, each with its texture reference.
void menu_free_button(menu_button* button)
{
    if (!button)
        return;
    button->id = -1;
    menu_free_visual(button->normal);
    menu_free_visual(button->highlight);
    button->normal = button->highlight = nullptr;
}

void menu_free_visual(menu_visual* visual)
{
    if (!visual)
        return;
    if (visual->texture)
        free_texture_container(visual->texture);
    FREE(visual);
}

void menu_select_main_menu_button(int32_t button_id)
{
    if (button_id < 0 || button_id >= MAIN_MENU_BUTTON_COUNT)
        return;
    if (button_id == 0) {
        winmain_set_game_state(GAME_MODE_EXPLORATION);
        script_initiate_script(game_globals.startup_script_filename, nullptr);
        ShowCursor(FALSE);
        return;
    }
    if (!is_empty(menu_screens[button_id]))
        game_globals.menu_screen = button_id;
}

void menu_noop_callback(int32_t) {}

void menu_noop_callback_2(int32_t) {}

void menu_noop_callback_3(int32_t) {}

void menu_noop_callback_4(int32_t) {}
