# The packages of a release (ZEZ_PACKAGE=ON; scripts/package drives it):
# CPack makes zezodavoru-VERSION-win64.zip from the windows configuration and
# zezodavoru_VERSION_amd64.deb from the native one, both named from the
# project version.
#
# The zip holds the standalone program with the README, the manual (docs/,
# beside the README so that its links lead there), the licence and the
# changelog. The Debian package holds the two commands (their install rules
# are with their targets), what a desktop wants of a program (menu entry,
# icon theme sizes drawn by tools/make_icon.py, manual pages made by help2man
# from each command's --help and --version) and the Debian documents: the
# copyright file written from LICENSE and the changelog written from
# CHANGELOG.md (packaging/debian_changelog.py), and the README with the
# manual; and the Python module for Debian's Python 3 (its install rules are
# in python/CMakeLists.txt). Its
# dependencies are those dpkg-shlibdeps finds for the binaries, plus the Qt
# platform plugins the window needs, which the Qt libraries only recommend,
# and the Python version the module is built for.
#
# The install step builds nothing (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY): the
# script builds the programs and zez_package_data itself, two jobs at most,
# and leaves the tests out.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME zezodavoru)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Zezodavoru developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "display and keypad of a Qor device on a serial line")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS zezodavoru RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
                ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          DESTINATION .)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME zezodavoru-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(ZEZ_HELP2MAN help2man REQUIRED)
find_program(ZEZ_GZIP gzip REQUIRED)

set(zez_maintainer "the Zezodavoru developers <developers@zezodavoru.invalid>")
set(zez_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(zez_package_data ${CMAKE_BINARY_DIR}/package)
set(zez_doc share/doc/zezodavoru)
file(MAKE_DIRECTORY ${zez_package_data})
set(zez_package_files)

# The icon at the sizes desktops ask for most.
foreach(size IN ITEMS 32 48 128 256)
  set(png ${zez_package_data}/icons/${size}x${size}/zezodavoru.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zez_package_data}/icons/${size}x${size}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_icon.py --png ${size} ${png}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  list(APPEND zez_package_files ${png})
endforeach()

# The manual pages, compressed without name or time stamp.
set(zez_cli_h2m ${zez_package_data}/zezodavoru-cli.h2m)
add_custom_command(
  OUTPUT ${zez_cli_h2m}
  COMMAND Python3::Interpreter ${zez_packaging}/subcommands_h2m.py
          $<TARGET_FILE:zezodavoru-cli> ${zez_packaging}/zezodavoru-cli.h2m ${zez_cli_h2m}
  DEPENDS zezodavoru-cli ${zez_packaging}/subcommands_h2m.py ${zez_packaging}/zezodavoru-cli.h2m
  VERBATIM)
set(zez_manual_zezodavoru_name "display and keypad of a device on a serial line")
set(zez_manual_zezodavoru_include ${zez_packaging}/zezodavoru.h2m)
set(zez_manual_zezodavoru-cli_name "tools for the emulated display and its device's serial line")
set(zez_manual_zezodavoru-cli_include ${zez_cli_h2m})
foreach(program IN ITEMS zezodavoru zezodavoru-cli)
  set(page ${zez_package_data}/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${ZEZ_HELP2MAN} --no-info --name ${zez_manual_${program}_name}
            --include ${zez_manual_${program}_include} --output ${page} $<TARGET_FILE:${program}>
    COMMAND ${ZEZ_GZIP} -9nf ${page}
    DEPENDS ${program} ${zez_manual_${program}_include}
    COMMENT "Writing the manual page of ${program}"
    VERBATIM)
  install(FILES ${page}.gz DESTINATION share/man/man1)
  list(APPEND zez_package_files ${page}.gz)
endforeach()

install(FILES ${zez_packaging}/zezodavoru.desktop DESTINATION share/applications)

# The copyright file in the machine-readable form, its licence text taken
# from LICENSE (the MIT licence is called Expat there).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE zez_licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT zez_licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line followed by the licence text")
endif()
set(zez_copyright "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" zez_licence_text)
string(REPLACE "\n\n" "\n.\n" zez_licence_text "${zez_licence_text}")
string(REPLACE "\n" "\n " zez_licence_text " ${zez_licence_text}")
file(WRITE ${zez_package_data}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Zezodavoru

Files: *
Copyright: ${zez_copyright}
License: Expat
${zez_licence_text}
")

# The Debian changelog, from CHANGELOG.md.
add_custom_command(
  OUTPUT ${zez_package_data}/changelog.gz
  COMMAND Python3::Interpreter ${zez_packaging}/debian_changelog.py
          ${PROJECT_SOURCE_DIR}/CHANGELOG.md zezodavoru ${PROJECT_VERSION} ${zez_maintainer}
          ${zez_package_data}/changelog
  COMMAND ${ZEZ_GZIP} -9nf ${zez_package_data}/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${zez_packaging}/debian_changelog.py
  COMMENT "Writing the Debian changelog"
  VERBATIM)
list(APPEND zez_package_files ${zez_package_data}/changelog.gz)
install(FILES ${zez_package_data}/copyright ${zez_package_data}/changelog.gz
              ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${zez_doc})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${zez_doc})

add_custom_target(zez_package_data ALL DEPENDS ${zez_package_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${zez_maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Zezodavoru stands in for the 20 x 4 character display module and the keypad
of a device of the Qor family: it emulates the module's display controller,
paints its dots in a small window as the glass would show them, and sends
the keys typed there back to the device over an RS-232 line.
.
This package holds the Linux program, zezodavoru, with a built-in demo
device; zezodavoru-cli, a command-line tool for firmware developers that
replays device streams, draws the screens they make, plays a device on a
serial port and writes tests from recordings; and the Python module
zezodavoru with its pytest plugin, which drives a device's panel from
firmware tests: keys in, screen out, waits for text, a pool of devices
shared by pytest-xdist's workers, evidence of each failure, and a labgrid
driver.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
if(ZEZ_PYTHON_DEPENDS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${ZEZ_PYTHON_DEPENDS}")
endif()
# The plugin's device pool spreads over pytest-xdist's workers, and the
# labgrid driver needs labgrid; neither is needed for the rest.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pytest, python3-pytest-xdist, python3-labgrid")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
