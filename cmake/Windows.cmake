# Windows targets: the program, its resources, and the tests that need the
# Win32 API, run under Wine. Everything links statically so that the .exe
# imports no mingw runtime DLL.
enable_language(RC)
add_link_options(-static -static-libgcc -static-libstdc++)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(ZEZ_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
find_program(ZEZ_NM NAMES x86_64-w64-mingw32-nm REQUIRED)

# The Windows program without its entry point (app/win32), shared by the
# program and the tests, over the layers below it. Its command line is
# declared with CLI11, whose headers come from the build machine
# (cmake/HostHeaders.cmake).
zez_host_headers(CLI11::CLI11 CLI CLI/CLI.hpp)
zez_library(zez_win
  app/win32/main_window_win32.cpp
  app/win32/paint_win32.cpp
  app/win32/picture_file_win32.cpp
  app/win32/program_options_win32.cpp
  app/win32/session_commands_win32.cpp
  app/win32/setup_dialogs_win32.cpp
  app/win32/settings_file_win32.cpp
)
target_link_libraries(zez_win PUBLIC
  zez_version zez_panel zez_keyboard_win32 zez_image zez_link zez_record zez_settings zez_platform
  CLI11::CLI11 comdlg32 ole32 uuid comctl32 gdi32 user32 kernel32)

# The icon is drawn at build time into the build tree, where the resource
# script finds it beside the manifest's folder, with the version header.
set(zez_generated ${CMAKE_BINARY_DIR}/generated)
add_custom_command(
  OUTPUT ${zez_generated}/zezodavoru.ico
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zez_generated}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_icon.py
          ${zez_generated}/zezodavoru.ico
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py
  COMMENT "Drawing the program icon"
  VERBATIM)
add_custom_target(zez_icon DEPENDS ${zez_generated}/zezodavoru.ico)
set(zez_win_sources ${PROJECT_SOURCE_DIR}/app/win32)
set(zez_resources ${zez_win_sources}/zezodavoru.rc)
set_source_files_properties(${zez_resources} PROPERTIES
  INCLUDE_DIRECTORIES "${zez_generated};${zez_win_sources}"
  OBJECT_DEPENDS "${zez_generated}/zezodavoru.ico;${zez_generated}/zezodavoru_version.h;${zez_win_sources}/zezodavoru.manifest;${zez_win_sources}/resource_ids.h")

add_executable(zezodavoru WIN32 app/win32/winmain_win32.cpp ${zez_resources})
target_link_libraries(zezodavoru PRIVATE zez_win)
add_dependencies(zezodavoru zez_icon)

# The end-to-end tests' hand on the program's windows (tests/e2e).
add_executable(e2e_ui_driver tests/e2e/ui_driver.cpp)
target_link_libraries(e2e_ui_driver PRIVATE user32)

# The program may import system DLLs only.
add_test(NAME win32_program_imports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${ZEZ_OBJDUMP} -DPROGRAM=$<TARGET_FILE:zezodavoru>
          -P ${PROJECT_SOURCE_DIR}/cmake/CheckImports.cmake)

# The manifest (a source file) carries the project version too.
add_test(NAME win32_manifest_version
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${zez_win_sources}/zezodavoru.manifest
          -DVERSION=${PROJECT_VERSION_MAJOR}.${zez_version_minor}.${zez_version_patch}.0
          -P ${PROJECT_SOURCE_DIR}/cmake/CheckManifestVersion.cmake)

# The program keeps no state at namespace scope or in function-local
# statics: no object file of the product defines writable data.
set(zez_product_targets
  zez_display zez_protocol zez_keyboard zez_keyboard_win32 zez_image zez_link zez_panel zez_settings
  zez_record zez_win zezodavoru)
if(TARGET zez_demo)
  list(APPEND zez_product_targets zez_demo)
endif()
set(zez_product_objects)
foreach(target IN LISTS zez_product_targets)
  list(APPEND zez_product_objects $<TARGET_OBJECTS:${target}>)
endforeach()
add_test(NAME win32_static_state
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/static_state.sh ${ZEZ_NM} ${zez_product_objects}
  COMMAND_EXPAND_LISTS)

# The per-dot reference painter, for the paint test and the paint benchmark.
add_library(zez_win_dot_paint STATIC tests/win32/dot_paint.cpp)
target_link_libraries(zez_win_dot_paint PUBLIC zez_win)

# GoogleTest built from source with this toolchain: Debian's googletest
# package (or ZEZ_GOOGLETEST_SOURCE) provides the sources, and the targets
# GTest::gtest and GTest::gtest_main.
function(zez_googletest_from_source)
  set(ZEZ_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows tests")
  if(NOT EXISTS ${ZEZ_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${ZEZ_GOOGLETEST_SOURCE}: install "
                        "Debian's googletest package or set ZEZ_GOOGLETEST_SOURCE")
  endif()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ZEZ_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
zez_googletest_from_source()

# Win32 tests: every tests/win32/*_test.cpp is its own program, run under
# Wine, with the program's resources (dialog templates, icon) linked in.
# Tests that need COM ports made of pseudo-terminal pairs (or ser2net
# serving one) run through tests/win32/with_com_ports.sh, which sets them up.
set(zez_tests_with_com_ports com_port_test socket_port_test main_window_test)
file(GLOB win_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*_test.cpp)
foreach(test_source IN LISTS win_test_sources)
  get_filename_component(test_name ${test_source} NAME_WE)
  add_executable(${test_name} ${test_source} ${zez_resources})
  target_link_libraries(${test_name} PRIVATE zez_win_dot_paint GTest::gtest_main)
  add_dependencies(${test_name} zez_icon)
  if(test_name IN_LIST zez_tests_with_com_ports)
    add_test(NAME win32_${test_name}
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/win32/with_com_ports.sh $<TARGET_FILE:${test_name}>)
  else()
    add_test(NAME win32_${test_name} COMMAND ${test_name})
  endif()
  set_tests_properties(win32_${test_name} PROPERTIES TIMEOUT 120)
endforeach()

# Paint throughput of the program's painter against the per-dot painter
# (scripts/bench-paint runs it under Wine).
add_executable(paint_bench tests/win32/paint_bench.cpp)
target_link_libraries(paint_bench PRIVATE zez_win_dot_paint)
