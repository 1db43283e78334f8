# Header-only libraries in a cross build: Debian installs them for the build
# machine only (/usr/include), and their headers are the same for every
# target. The build machine's include folder itself must not come in (its C
# library's headers would shadow the target's), so each library's folder is
# linked alone into a folder of the build tree, which the target's
# compilers read as a system folder.
#
# zez_host_headers(TARGET FOLDER HEADER): the imported interface library
# TARGET for the headers under /usr/include/FOLDER; HEADER (a path below
# /usr/include) must be there.
function(zez_host_headers target folder header)
  find_path(zez_host_${folder} ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT zez_host_${folder})
    message(FATAL_ERROR "${header} not found in /usr/include: install its Debian package")
  endif()
  set(linked ${CMAKE_BINARY_DIR}/host-headers/${folder})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-headers)
  if(NOT EXISTS ${linked})
    file(CREATE_LINK ${zez_host_${folder}}/${folder} ${linked} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/host-headers
    INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/host-headers)
endfunction()
