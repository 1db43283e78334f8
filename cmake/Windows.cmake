# Windows targets: the program, its resources, and the tests that need the
# Win32 API, run under Wine. Everything links statically so that the .exe
# imports no mingw runtime DLL.
enable_language(RC)
add_link_options(-static -static-libgcc -static-libstdc++)

# The front end without its entry point, shared by the program and the tests.
add_library(zez_win STATIC
  app/shell_state_win32.cpp
  app/main_window_win32.cpp
  app/paint_win32.cpp
  app/setup_dialogs_win32.cpp
  app/settings_win32.cpp
  serial/com_link_win32.cpp
  keyboard/key_translation_win32.cpp
)
target_link_libraries(zez_win PUBLIC zez_core comctl32 gdi32 user32 kernel32)

add_executable(zezodavoru WIN32 app/winmain_win32.cpp app/zezodavoru.rc)
target_link_libraries(zezodavoru PRIVATE zez_win)

# The end-to-end tests' hand on the program's windows (tests/e2e).
add_executable(e2e_ui_driver tests/e2e/ui_driver.cpp)
target_link_libraries(e2e_ui_driver PRIVATE user32)

# GoogleTest from Debian's source package, built with this toolchain.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Win32 tests: every tests/win32/*_test.cpp is its own program, run under Wine.
file(GLOB win_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*_test.cpp)
foreach(test_source IN LISTS win_test_sources)
  get_filename_component(test_name ${test_source} NAME_WE)
  add_executable(${test_name} ${test_source})
  target_link_libraries(${test_name} PRIVATE zez_win gtest_main)
  add_test(NAME win32_${test_name} COMMAND ${test_name})
endforeach()
