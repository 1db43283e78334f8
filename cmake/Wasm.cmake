# The web page (preset "wasm", Debian's Emscripten): the portable layers in
# WebAssembly, the page in two forms, and the portable test programs run
# under Node. Nothing else of the project is built here: the top
# CMakeLists.txt returns right after including this file.
#
# build/wasm/web/index.html with index.js and index.wasm is the page for a
# web server; build/wasm/web/zezodavoru.html is the same page as one file,
# the module inlined, which also opens from file://.
#
# Exceptions stay off (a throw aborts): the panel's buffers are bounded, and
# memory does not grow, so input cannot run the page out of memory.

# The page's script and style are inlined into Emscripten's shell, which
# then takes the module's script.
file(READ ${PROJECT_SOURCE_DIR}/web/page/page.js zez_page_script)
file(READ ${PROJECT_SOURCE_DIR}/web/page/page.css zez_page_style)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/web/page/page.js ${PROJECT_SOURCE_DIR}/web/page/page.css)
set(zez_page_shell ${CMAKE_BINARY_DIR}/web/shell.html)
configure_file(${PROJECT_SOURCE_DIR}/web/page/shell.html.in ${zez_page_shell} @ONLY)

set(zez_page_link_options -lembind --shell-file ${zez_page_shell} -sENVIRONMENT=web
    -sINITIAL_MEMORY=16MB -sALLOW_MEMORY_GROWTH=0 -sMINIFY_HTML=0)
foreach(page IN ITEMS index zezodavoru)
  add_executable(zez_page_${page} ${PROJECT_SOURCE_DIR}/web/bindings_emscripten.cpp)
  target_link_libraries(zez_page_${page} PRIVATE zez_web zez_version)
  target_link_options(zez_page_${page} PRIVATE ${zez_page_link_options})
  set_target_properties(zez_page_${page} PROPERTIES
    OUTPUT_NAME ${page} SUFFIX .html LINK_DEPENDS ${zez_page_shell}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/web)
endforeach()
target_link_options(zez_page_zezodavoru PRIVATE -sSINGLE_FILE=1)

# GoogleTest from Debian's sources, built for WebAssembly.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The portable test programs under Node: every unit test but the threading
# ones (the page has one thread) and those of what the page does not have:
# terminal and network ports, and recordings.
set(zez_wasm_test_libraries zez_protocol zez_keyboard zez_image zez_link zez_settings zez_demo
    zez_panel zez_web)
file(GLOB test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_test.cpp)
foreach(test_source IN LISTS test_sources)
  get_filename_component(test_name ${test_source} NAME_WE)
  if(test_name MATCHES "_threads_test$|^(link|ser2net_link|record|test_writer)_test$")
    continue()
  endif()
  add_executable(${test_name} ${test_source})
  target_link_libraries(${test_name} PRIVATE ${zez_wasm_test_libraries} gtest_main)
  # Linked at -O0: the link-time optimiser took about 20 s a program, five
  # times the rest of the link, and the tests do not need it.
  target_link_options(${test_name} PRIVATE -O0 -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1)
  add_test(NAME ${test_name} COMMAND ${test_name})
  set_tests_properties(${test_name} PROPERTIES TIMEOUT 120)
endforeach()
