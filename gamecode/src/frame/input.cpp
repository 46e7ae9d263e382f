#include "input.h"

#include "d3dxframe.h"
#include "debug.h"
#include "dxinput.h"
#include "gameglobals.h"
#include "models_services.h"
#include "platform/win32.h"
#include "runtime_services.h"
#include "script_services.h"
#include "win_math.h"
#include "winmain2.h"
#include "world_services.h"

namespace {

// One flag per one-shot action: set when it fires, cleared only by an
// exploration frame in which nothing is held.
struct press_flags {
    int32_t start, aim, scroll_up, scroll_down, toggle, z, any_key, action, other;
};
press_flags press = {};
// The state entry (winmain_state_entries) of the last exploration frame, and
// the one in which exploration last warned that it has no player: once per
// entry, not once per frame, and never in an entry's first frame, whose input
// comes before the level's scripts have had their first slice (the start
// script is what sets the player).
int32_t explored_entry = -1;
int32_t warned_without_player = -1;
// The bits held when the level began that have not been released since.
int32_t held_back = 0;

void show_menu(void)
{
    winmain_set_game_state(GAME_MODE_MENU);
    d3dxframe_update_frame(game_globals.game_state);
    ShowCursor(TRUE);
    press.start = 1;
}

void splash_input(int32_t mask)
{
    if (game_globals.skip_splash == 1) {
        show_menu();
        return;
    }
    if (mask == ACTION_M_BUTTON)
        winmain_set_game_state(GAME_MODE_PLAYING_MOVIE);
    else if (mask == ACTION_START_BUTTON)
        show_menu();
}

void movie_input(int32_t mask)
{
    if (mask == ACTION_M_BUTTON) {
        winmain_set_game_state(GAME_MODE_PLAYING_MOVIE);
    } else if (mask == ACTION_START_BUTTON) {
        winmain_set_game_state(GAME_MODE_EXPLORATION);
        script_initiate_script(game_globals.startup_script_filename, nullptr);
        press.start = 1;
    }
}

void action_button(win_entity* player)
{
    if (game_globals.action_button_script) {
        LOG_NOTICE("Trying to initiate action button script: %s.\n",
                   game_globals.action_button_script);
        script_initiate_script(game_globals.action_button_script, nullptr);
    }
    // The trigger checks of the runtime read the press.
    if (game_globals.display_closeup == 0 && (player->win_entity_flag & ENTITY_FLAG_BRAIN))
        game_globals.action_button_pressed = 1;
}

void switch_debug_camera(win_entity*)
{
    game_globals.debug_camera = game_globals.debug_camera == 0 ? 1 : 0;
}

// Back on its feet: lifted to y 3, at rest, whole again, in its first state.
// A player without a state table or without a character payload gets what
// applies to it.
void reset_player(win_entity* player)
{
    player->local_matrix.m[3][1] = 3.0f;
    player->velocity = {0.0f, 0.0f, 0.0f};
    if (player->win_entity_type == WIN_ENTITY_TYPE_CHARACTER && player->u.win_character)
        player->u.win_character->hitpoints = player->u.win_character->max_hitpoints;
    win_ast* table = player->win_ast;
    if (!table)
        return;
    table->current_anim_index = 0;
    if (table->win_anim_table_base_array && table->win_anim_table_base_array_size > 0)
        player->rot_velocity = table->win_anim_table_base_array[0].extra_rotation_velocity;
    entity_play_anim(player, 0);
}

// The buttons that act once per press when held alone; every one of them,
// like any other press, skips the abortable parts of running scripts first.
struct one_shot {
    int32_t mask;
    int32_t press_flags::*flag;
    void (*act)(win_entity* player);
};
const one_shot one_shots[] = {
    {ACTION_B_BUTTON, &press_flags::action, action_button},
    {ACTION_X_BUTTON, &press_flags::aim, nullptr},
    {ACTION_L1_BUTTON, &press_flags::scroll_up, nullptr},
    {ACTION_R1_BUTTON, &press_flags::scroll_down, nullptr},
    {ACTION_M_BUTTON, &press_flags::toggle, nullptr},
    {ACTION_Z_BUTTON, &press_flags::z, switch_debug_camera},
    {ACTION_START_BUTTON, &press_flags::start, reset_player},
};

void explore_input(int32_t mask)
{
    const bool first_frame = explored_entry != winmain_state_entries;
    explored_entry = winmain_state_entries;
    win_entity* player = game_globals.player_character;
    if (!player) {
        if (!first_frame && warned_without_player != winmain_state_entries) {
            LOG_WARNING("%s", "No player_character defined\n");
            warned_without_player = winmain_state_entries;
        }
        return;
    }
    if (mask != 0 && !press.any_key) {
        if (game_globals.display_closeup == 1) {
            LOG_NOTICE("%s", "setting game_globals.display_closeup = FALSE \n");
            game_globals.display_closeup = 0;
        }
        press.any_key = 1;
    }
    win_ast* table = player->win_ast;
    if (table && !(table->anim_input_flags & WIN_AST_INPUT_HOLD))
        table->anim_input_flags |= mask;

    if (mask == 0) {
        press = {};
        game_globals.action_button_pressed = 0;
        return;
    }
    int32_t press_flags::*flag = &press_flags::other;
    void (*act)(win_entity*) = nullptr;
    for (const one_shot& shot : one_shots) {
        if (shot.mask == mask) {
            flag = shot.flag;
            act = shot.act;
            break;
        }
    }
    if (press.*flag)
        return;
    press.*flag = 1;
    script_abort_all_scripts();
    if (act)
        act(player);
}

// Column `column` of the view matrix: 0 the camera's right, 1 its up, 2 its
// forward axis.
win_vect3 view_axis(int column)
{
    const win_matrix44& view = game_globals.view_matrix;
    return {view.m[0][column], view.m[1][column], view.m[2][column]};
}

void move_camera(win_entity* camera, int column, float distance)
{
    win_vect3 axis = view_axis(column);
    float* position = camera->local_matrix.m[3];
    position[0] += axis.x * distance;
    position[1] += axis.y * distance;
    position[2] += axis.z * distance;
}

// Turns the look direction up or down about the horizontal axis across it.
// Looking straight up or down there is no such axis, and the direction stays.
void pitch_camera(float angle)
{
    win_vect3& direction = game_globals.debug_camera_direction;
    const win_vect3 up = {0.0f, 1.0f, 0.0f};
    win_vect3 axis;
    win_math_cross_product_vect3_inline(&axis, &up, &direction);
    if (axis.x == 0.0f && axis.y == 0.0f && axis.z == 0.0f)
        return;
    win_matrix43 rotation;
    win_math_set_rotation_matrix43(&rotation, &axis, angle);
    win_math_multiply_vect3_by_matrix43(&direction, &direction, &rotation);
}

void yaw_camera(float angle)
{
    win_vect3& direction = game_globals.debug_camera_direction;
    win_matrix43 rotation;
    win_math_set_rotate_y_matrix43(&rotation, angle);
    win_math_multiply_vect3_by_matrix43(&direction, &direction, &rotation);
}

// The debug camera: with run and action held the directions fly it along its
// own up and right axes; otherwise they turn the look direction, and run and
// action fly it backwards and forwards.
void look_input(int32_t mask)
{
    win_entity* camera = game_globals.current_camera;
    if (!camera)
        return;
    float dt = frame_delta_time / 1000.0f;
    float step = game_globals.debug_mouse_speed * dt;
    float turn = game_globals.debug_mouse_sensitivity * dt;
    if ((mask & (ACTION_A_BUTTON | ACTION_B_BUTTON)) == (ACTION_A_BUTTON | ACTION_B_BUTTON)) {
        if (mask & ACTION_UP)
            move_camera(camera, 1, step);
        if (mask & ACTION_DOWN)
            move_camera(camera, 1, -step);
        if (mask & ACTION_LEFT)
            move_camera(camera, 0, -step);
        if (mask & ACTION_RIGHT)
            move_camera(camera, 0, step);
        return;
    }
    if (mask & ACTION_UP)
        pitch_camera(-turn);
    if (mask & ACTION_DOWN)
        pitch_camera(turn);
    if (mask & ACTION_LEFT)
        yaw_camera(-turn);
    if (mask & ACTION_RIGHT)
        yaw_camera(turn);
    if (mask & ACTION_A_BUTTON)
        move_camera(camera, 2, -step);
    if (mask & ACTION_B_BUTTON)
        move_camera(camera, 2, step);
}

}  // namespace

int32_t input_update(void)
{
    int32_t mask = dxinput_read_current_device();
    held_back &= mask;
    mask &= ~held_back;
    switch (game_globals.game_state) {
    case GAME_MODE_SPLASH:
        splash_input(mask);
        break;
    case GAME_MODE_PLAYING_MOVIE:
        movie_input(mask);
        break;
    case GAME_MODE_EXPLORATION:
        explore_input(mask);
        break;
    case GAME_MODE_CAMERA_LOOK:
        look_input(mask);
        break;
    default:
        break;
    }
    return mask;
}

void input_hold_back_held_keys(void)
{
    held_back = dxinput_read_current_device();
}

void input_reset(void)
{
    press = {};
    held_back = 0;
    explored_entry = -1;
    warned_without_player = -1;
}
