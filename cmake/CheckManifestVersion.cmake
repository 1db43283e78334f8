# Fails unless the program's manifest names the program's assembly with the
# project version (MAJOR.MINOR.PATCH.0): the manifest is a source file, not
# generated, so a new version must be written into it by hand, and this
# check says when it was not.
# Usage: cmake -DMANIFEST=<file> -DVERSION=<a.b.c.0> -P CheckManifestVersion.cmake
file(READ ${MANIFEST} manifest)
string(REGEX MATCH "<assemblyIdentity type=\"win32\" name=\"Zezodavoru\" version=\"([0-9.]+)\""
       identity "${manifest}")
if(NOT identity)
  message(FATAL_ERROR "${MANIFEST} names no Zezodavoru assembly with a version")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${MANIFEST} gives version ${CMAKE_MATCH_1}, the project is ${VERSION}")
endif()
message(STATUS "manifest version ${CMAKE_MATCH_1}")
