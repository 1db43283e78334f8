# The fuzzing configuration (preset "fuzz", ZEZ_FUZZ=ON, clang only): the
# portable layers instrumented for libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, and one harness program per tests/fuzz/*_fuzz.cpp.
# Nothing else of the project is built here: the top CMakeLists.txt returns
# right after including this file, and the build preset builds the target
# zez_fuzzers only.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ZEZ_FUZZ needs clang (libFuzzer): use the fuzz preset")
endif()

# libstdc++ assertions check every index into a std::array or std::span, which
# AddressSanitizer cannot see when the array is a member of a larger record.
set(zez_fuzz_flags -fno-omit-frame-pointer -fno-sanitize-recover=all -g -D_GLIBCXX_ASSERTIONS)
set(zez_fuzz_libraries zez_display zez_protocol zez_keyboard zez_image zez_settings)
foreach(library IN LISTS zez_fuzz_libraries)
  target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                            ${zez_fuzz_flags})
endforeach()

# The command-line tool's readers are compiled only into the tool; their
# harness compiles them itself, with the hex digits and decimal numbers
# they read by.
set(zez_fuzz_cli_readers_sources
    ${PROJECT_SOURCE_DIR}/tools/cli_common.cpp ${PROJECT_SOURCE_DIR}/tools/byte_stream.cpp
    ${PROJECT_SOURCE_DIR}/record/hex.cpp ${PROJECT_SOURCE_DIR}/link/decimal.cpp)

# The telnet layer of network links is compiled into its harness, over the
# system's libtelnet (found in link/).
set(zez_fuzz_com_port_telnet_sources ${PROJECT_SOURCE_DIR}/link/com_port_telnet.cpp)
set(zez_fuzz_com_port_telnet_libraries PkgConfig::libtelnet)

# The recording reader's harness compiles the format and the reader itself.
set(zez_fuzz_recording_reader_sources
    ${PROJECT_SOURCE_DIR}/record/hex.cpp ${PROJECT_SOURCE_DIR}/record/recording.cpp
    ${PROJECT_SOURCE_DIR}/record/recording_reader.cpp)

add_custom_target(zez_fuzzers)
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(fuzz_source IN LISTS fuzz_sources)
  get_filename_component(fuzz_name ${fuzz_source} NAME_WE)
  add_executable(${fuzz_name} ${fuzz_source})
  string(REGEX REPLACE "_fuzz$" "" harness ${fuzz_name})
  if(DEFINED zez_fuzz_${harness}_sources)
    target_sources(${fuzz_name} PRIVATE ${zez_fuzz_${harness}_sources})
  endif()
  target_compile_options(${fuzz_name} PRIVATE -fsanitize=fuzzer,address,undefined ${zez_fuzz_flags})
  # The harness's own checks sweep whole pictures: their comparisons would
  # only crowd the fuzzer's table of compared values and slow every run.
  set_source_files_properties(${fuzz_source} PROPERTIES
    COMPILE_OPTIONS "-fno-sanitize-coverage=trace-cmp")
  target_link_options(${fuzz_name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${fuzz_name} PRIVATE ${zez_fuzz_libraries} ${zez_fuzz_${harness}_libraries})
  add_dependencies(zez_fuzzers ${fuzz_name})
endforeach()
