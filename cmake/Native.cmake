# Native (Linux) targets: the command-line tool, the unit tests and the
# benchmarks.
find_package(GTest REQUIRED)
find_package(PNG REQUIRED)
find_package(benchmark QUIET)

add_executable(zezodavoru-cli
  tools/zezodavoru_cli.cpp
  tools/cli_controller.cpp
  tools/cli_replay.cpp
  tools/cli_device.cpp
  tools/png_writer.cpp
)
target_link_libraries(zezodavoru-cli PRIVATE zez_core PNG::PNG)

add_executable(zez-tests
  tests/lcd_controller_test.cpp
  tests/char_generator_test.cpp
  tests/rasteriser_test.cpp
  tests/cell_primitives_test.cpp
  tests/status_line_test.cpp
  tests/interpreter_test.cpp
  tests/key_translation_test.cpp
  tests/settings_test.cpp
  tests/window_image_test.cpp
)
target_link_libraries(zez-tests PRIVATE zez_core GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(zez-tests DISCOVERY_TIMEOUT 60)

add_executable(zez-thread-tests tests/threads_test.cpp)
target_link_libraries(zez-thread-tests PRIVATE zez_core GTest::gtest_main)
add_test(NAME threads COMMAND zez-thread-tests)
set_tests_properties(threads PROPERTIES LABELS threads)

add_test(NAME cli COMMAND ${CMAKE_COMMAND} -E env CLI=$<TARGET_FILE:zezodavoru-cli>
         bash ${PROJECT_SOURCE_DIR}/tests/cli_test.sh)

if(benchmark_FOUND)
  add_executable(zezodavoru-bench tests/bench.cpp)
  target_link_libraries(zezodavoru-bench PRIVATE zez_core benchmark::benchmark)
endif()
