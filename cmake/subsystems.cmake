# The architecture of the game: one static library per subsystem, each listing
# its modules, linked only downward. Each folder holds the modules of one
# library (convert/src and gamecode/src have one sub-folder per library).
#
#   1 core      core services: log, lists, heap, files, text, tokenizer,
#               record engine, the parser engine
#   2 math      math and geometry value types
#   3 frame     application frame and DirectX layer
#   4 models    models and animation
#   5 world     world data records
#   6 script    script engine
#   7 runtime   game runtime
#
# The platform stand-in (platform/) is the bottom library. A lower subsystem
# calls a higher one only through the higher one's services header
# (<subsystem>_services.h); those calls are resolved once, where a program
# links the whole game (varnock_link_game below). The services headers, and
# the fields of higher records that lower subsystems read, stand in services/,
# an include folder of their own that the frame and those above it see, so
# that a subsystem sees the folders of its own modules, those of the
# subsystems below it and the services headers, and nothing else: an include
# of another folder's header does not compile (the layers_compile_* tests
# plant one for every pair). tools/check_layers.py checks what the compiler
# cannot see: includes that climb out of their folder, and header names used
# twice.

# varnock_subsystem(name INCLUDES folders... SOURCES module.cpp...
#                   HEADERS header-only.h... LIBS lower-libraries...)
# A module's header stands beside its .cpp and belongs to its subsystem;
# HEADERS names the headers that have no .cpp (record declarations, the
# services header).
function(varnock_subsystem name)
  cmake_parse_arguments(arg "" "" "INCLUDES;SOURCES;HEADERS;LIBS" ${ARGN})
  list(TRANSFORM arg_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/")
  list(TRANSFORM arg_HEADERS PREPEND "${PROJECT_SOURCE_DIR}/")
  list(TRANSFORM arg_INCLUDES PREPEND "${PROJECT_SOURCE_DIR}/")
  if(arg_SOURCES)
    add_library(${name} STATIC ${arg_SOURCES} ${arg_HEADERS})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)  # a subsystem whose first module has not landed yet
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${arg_INCLUDES})
  target_link_libraries(${name} ${scope} ${arg_LIBS})
endfunction()

varnock_subsystem(core
  INCLUDES shared/src
  SOURCES
    shared/src/debug.cpp shared/src/dlink.cpp shared/src/file_io.cpp shared/src/gametime.cpp
    shared/src/heap.cpp shared/src/lexparse.cpp shared/src/math_util.cpp shared/src/mouse.cpp
    shared/src/rand_util.cpp shared/src/record.cpp shared/src/str_util.cpp
    shared/src/text_io.cpp shared/src/token.cpp
    shared/src/yym/yymdepop.cpp shared/src/yym/yymdisc.cpp shared/src/yym/yymerror.cpp
    shared/src/yym/yymgtok.cpp shared/src/yym/yyminit.cpp shared/src/yym/yymlookup.cpp
    shared/src/yym/yympop.cpp shared/src/yym/yympush.cpp shared/src/yym/yymsetup.cpp
    shared/src/yym/yymsoflw.cpp shared/src/yym/yymsskip.cpp shared/src/yym/yymsssiz.cpp
    shared/src/yym/yymsyner.cpp shared/src/yym/yymtrace.cpp shared/src/yym/yymwork.cpp
    shared/src/yym/yyparse.cpp
  HEADERS shared/src/yym/yym.h
  LIBS platform)
# The heap wrapper's allocator (shared/src/heap.cpp): mimalloc, but in the
# sanitizer and fuzz builds, where the C library's heap lets ASan see every
# block.
if(NOT VARNOCK_FUZZ AND NOT CMAKE_BUILD_TYPE STREQUAL "Sanitize")
  find_package(mimalloc REQUIRED)
  target_compile_definitions(core PRIVATE VARNOCK_HEAP_MIMALLOC)
  target_link_libraries(core PUBLIC mimalloc)
endif()

varnock_subsystem(math
  INCLUDES convert/src/math
  SOURCES
    convert/src/math/win_math.cpp convert/src/math/win_math_intersect.cpp
    convert/src/math/win_math_quat.cpp convert/src/math/win_math_vect.cpp
  HEADERS convert/src/math/win_geo.h
  LIBS core)

# The PNG texture reader reads through libpng.
find_package(PNG REQUIRED)
varnock_subsystem(frame
  INCLUDES dxcode/src gamecode/src/frame services
  SOURCES
    dxcode/src/d3dmath.cpp dxcode/src/d3dtextr_dx7.cpp dxcode/src/d3dutil.cpp
    dxcode/src/d3dxenum.cpp dxcode/src/d3dxframe.cpp dxcode/src/dxinput.cpp
    dxcode/src/texture_container.cpp dxcode/src/txtrload.cpp
    gamecode/src/frame/config.cpp gamecode/src/frame/config_section.cpp
    gamecode/src/frame/dialogs.cpp gamecode/src/frame/gameglobals.cpp
    gamecode/src/frame/input.cpp gamecode/src/frame/menu.cpp gamecode/src/frame/png_io.cpp
    gamecode/src/frame/winmain2.cpp
  LIBS math PNG::PNG)

varnock_subsystem(models
  INCLUDES convert/src/models gamecode/src/models
  SOURCES
    convert/src/models/mow_animate.cpp convert/src/models/mow_geo.cpp
    convert/src/models/mow_rend_dx7.cpp convert/src/models/win_ast.cpp
    gamecode/src/models/anim.cpp gamecode/src/models/anim_io.cpp
    gamecode/src/models/anim_io_yacc.cpp gamecode/src/models/anim_io_yacc_tables.cpp
    gamecode/src/models/model_io.cpp
  HEADERS
    convert/src/models/mow_anim.h services/models_services.h services/win_ast_fields.h
  LIBS frame)

varnock_subsystem(world
  INCLUDES convert/src/world
  SOURCES
    convert/src/world/win_collision.cpp convert/src/world/win_entity.cpp
    convert/src/world/win_shader.cpp
  HEADERS
    convert/src/world/win_sound.h convert/src/world/win_trigger.h
    services/world_services.h services/win_entity_fields.h services/win_shader_fields.h
  LIBS models)

varnock_subsystem(script
  INCLUDES script/src
  SOURCES
    script/src/parsestr.cpp script/src/script.cpp script/src/script_commands.cpp
  HEADERS script/src/script_imports.h services/script_services.h
  LIBS world)

varnock_subsystem(runtime
  INCLUDES gamecode/src/runtime
  SOURCES
    gamecode/src/runtime/ai.cpp gamecode/src/runtime/ai_camera.cpp
    gamecode/src/runtime/ai_hit.cpp gamecode/src/runtime/ai_io.cpp
    gamecode/src/runtime/ai_move.cpp gamecode/src/runtime/collide.cpp
    gamecode/src/runtime/collide_character.cpp gamecode/src/runtime/collide_draw.cpp
    gamecode/src/runtime/collide_geometry.cpp gamecode/src/runtime/collide_move.cpp
    gamecode/src/runtime/collide_trigger.cpp gamecode/src/runtime/entity.cpp
    gamecode/src/runtime/entity_dup.cpp gamecode/src/runtime/entity_io.cpp
    gamecode/src/runtime/entity_ops.cpp gamecode/src/runtime/entity_render.cpp
    gamecode/src/runtime/entity_weapon.cpp gamecode/src/runtime/shader.cpp
    gamecode/src/runtime/shader_io.cpp gamecode/src/runtime/sound.cpp
    gamecode/src/runtime/varnock.cpp gamecode/src/runtime/vk_auto_aim.cpp
    gamecode/src/runtime/vk_tail.cpp
  HEADERS services/runtime_services.h
  LIBS script)

# Links `target` with the whole game. The frame's calls up into the models,
# the script engine and the runtime (and the state machine's into sound and
# scripts) are resolved here, once: the linker rescans the group until every
# symbol is found.
function(varnock_link_game target)
  target_link_libraries(${target} PRIVATE
    "$<LINK_GROUP:RESCAN,frame,models,world,script,runtime>" math core platform)
endfunction()
