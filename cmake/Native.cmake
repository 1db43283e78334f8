# Native (Linux) targets: the command-line tool, the unit tests and the
# benchmarks.
find_package(GTest REQUIRED)
find_package(PNG REQUIRED)
find_package(benchmark QUIET)
include(GoogleTest)

find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_subdirectory(tools)
add_subdirectory(app/qt)
# The Python module and its pytest suites; a sanitised build leaves them
# out (the interpreter would have to load the sanitiser's runtime first).
if(NOT ZEZ_SANITIZE)
  add_subdirectory(python)
endif()

# What the tests run, for the sanitizer presets, which build no more:
# zez_tests is every program a test runs or inspects, zez_threads_tests those
# of the tests labelled "threads" (the only ones run under ThreadSanitizer).
# The tests that read sources only (layers, make_icon, docs_links) give the
# same answer in every configuration: the sanitizer test presets leave them
# out.
add_custom_target(zez_tests)
add_custom_target(zez_threads_tests)

# One test program per test source, so that each subsystem's tests build and
# run on their own; each links the layers of the product (a test may see
# them all). Tests named *_threads_test.cpp also run under ThreadSanitizer
# (label "threads").
set(zez_test_libraries zez_protocol zez_keyboard zez_image zez_link zez_settings zez_demo zez_panel
                        zez_record zez_web)
file(GLOB test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_test.cpp)
foreach(test_source IN LISTS test_sources)
  get_filename_component(test_name ${test_source} NAME_WE)
  add_executable(${test_name} ${test_source})
  target_link_libraries(${test_name} PRIVATE ${zez_test_libraries} GTest::gtest_main)
  add_dependencies(zez_tests ${test_name})
  if(test_name MATCHES "_threads_test$")
    add_dependencies(zez_threads_tests ${test_name})
    gtest_discover_tests(${test_name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads TIMEOUT 120)
  else()
    gtest_discover_tests(${test_name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endforeach()

# The command-line tool against the worked examples (tests/cli/*.sh).
file(GLOB cli_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/cli/*.sh)
foreach(cli_test IN LISTS cli_tests)
  get_filename_component(cli_name ${cli_test} NAME_WE)
  add_test(NAME cli_${cli_name} COMMAND bash ${cli_test} $<TARGET_FILE:zezodavoru-cli>)
  set_tests_properties(cli_${cli_name} PROPERTIES TIMEOUT 120)
endforeach()
# The demo played on a port is ended by SIGTERM in this test, and under load
# the leak checker of a sanitized build, stopping the process at such an
# exit, now and then never finishes (or the process dies inside it). The
# address and undefined-behaviour checks stay on; the demo's code is
# leak-checked through demo --stream in the other tests.
set_tests_properties(cli_demo_port PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")

# The programs keep no state at namespace scope or in function-local
# statics: no object file of the product defines writable data.
set(zez_product_objects)
foreach(target IN ITEMS zez_display zez_protocol zez_keyboard zez_image zez_link zez_panel zez_settings
                        zez_demo zez_picture_files zez_record zez_web zez_qt_front zezodavoru zezodavoru-cli)
  list(APPEND zez_product_objects $<TARGET_OBJECTS:${target}>)
  add_dependencies(zez_tests ${target})
endforeach()
add_test(NAME static_state
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/static_state.sh ${CMAKE_NM} ${zez_product_objects}
  COMMAND_EXPAND_LISTS)

# The icon tool's PNGs against its .ico (tests/icon), and the links of the
# README and the manual (tests/docs_links.py), where Python is there.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME make_icon
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/icon/make_icon_test.py
            ${PROJECT_SOURCE_DIR}/tools/make_icon.py)
  add_test(NAME docs_links
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/docs_links.py ${PROJECT_SOURCE_DIR})
endif()

# The layer rules over the whole source tree, headers included.
add_test(NAME layers COMMAND bash ${PROJECT_SOURCE_DIR}/tests/layers.sh ${PROJECT_SOURCE_DIR})
# Display command bytes spelled by name outside the command vocabulary.
add_test(NAME command_bytes
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/command_bytes.sh ${PROJECT_SOURCE_DIR})

# The Linux program's tests (tests/qt/*_test.cpp), Qt Test on the offscreen
# platform: no X server needed.
file(GLOB qt_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/qt/*_test.cpp)
foreach(test_source IN LISTS qt_test_sources)
  get_filename_component(test_name ${test_source} NAME_WE)
  add_executable(${test_name} ${test_source})
  set_target_properties(${test_name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${test_name} PRIVATE zez_qt_front Qt6::Test)
  target_compile_definitions(${test_name} PRIVATE
    ZEZ_CLI="$<TARGET_FILE:zezodavoru-cli>" ZEZ_PROGRAM="$<TARGET_FILE:zezodavoru>")
  add_dependencies(${test_name} zezodavoru-cli zezodavoru)
  add_dependencies(zez_tests ${test_name})
  add_test(NAME qt_${test_name} COMMAND ${test_name})
  set_tests_properties(qt_${test_name} PROPERTIES TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
endforeach()

if(benchmark_FOUND)
  file(GLOB bench_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/bench/*.cpp)
  add_executable(zezodavoru-bench ${bench_sources})
  target_link_libraries(zezodavoru-bench PRIVATE ${zez_test_libraries} benchmark::benchmark_main)
endif()
