# The Debian packages: `cpack -G DEB` in the build folder (packaging/install.cmake
# lists the components). The binaries are stripped and their debug symbols go to
# a -dbgsym package each (build with debug information, e.g. RelWithDebInfo).
set(CPACK_PACKAGE_NAME tolvane2)
set(CPACK_PACKAGE_VENDOR "Tolvane2")
set(CPACK_PACKAGE_CONTACT "${TOLVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# No CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPack would put that one line in front of
# every package's own synopsis.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${tolvane_packages})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${tolvane_debian_revision})
set(CPACK_DEBIAN_PACKAGE_SOURCE tolvane2)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian_post_build.cmake)
# Dependencies on system libraries come from dpkg-shlibdeps. libvantrel.so.1 is
# found in the build tree but belongs to no installed package yet, so the
# dependency on libvantrel1 is written here, with the rule of its shlibs file.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/link")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(tolvane_debian_version "${PROJECT_VERSION}-${tolvane_debian_revision}")
set(tolvane_uses_library "libvantrel1 (>= ${tolvane_debian_version})")

# Descriptions: the first line is the synopsis, the rest the extended description
# (CPack indents it and turns empty lines into " .").
set(tolvane_about_board
"The Vantrel-2 is an LCD controller board that drives a flat panel from a
computer's video signal. It keeps up to four panel descriptions, their gamma
tables and a table of input video modes in flash, and is reached over RS-232
(one board) or RS-485 (several boards, each with its own device address).")

set(CPACK_DEBIAN_LIBVANTREL1_PACKAGE_NAME libvantrel1)
set(CPACK_DEBIAN_LIBVANTREL1_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBVANTREL1_DESCRIPTION
"serial link library of the Vantrel-2 LCD controller board
${tolvane_about_board}

vantrel owns the serial port to the board and speaks its framed command
protocol: panel descriptions, gamma and mode tables, flash, NVRAM, registers,
ports, I2C, adjusters, switches and on-screen text, through a plain C
interface of 40 functions.

This package contains the shared library.")
# The library activates libc's ldconfig trigger (debian_post_build.cmake drops
# the scripts calling ldconfig that CPack adds).
set(CPACK_DEBIAN_LIBVANTREL1_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/libvantrel1/triggers")

set(CPACK_DEBIAN_LIBVANTREL-DEV_PACKAGE_NAME libvantrel-dev)
set(CPACK_DEBIAN_LIBVANTREL-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBVANTREL-DEV_PACKAGE_DEPENDS "libvantrel1 (= ${tolvane_debian_version})")
set(CPACK_DEBIAN_LIBVANTREL-DEV_DESCRIPTION
"serial link library of the Vantrel-2 LCD controller board - development files
${tolvane_about_board}

vantrel owns the serial port to the board and speaks its framed command
protocol through a plain C interface.

This package contains the header vantrel.h, the development link and the
pkg-config file (pkg-config --cflags --libs vantrel).")

set(CPACK_DEBIAN_TOLVANE2_PACKAGE_NAME tolvane2)
set(CPACK_DEBIAN_TOLVANE2_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOLVANE2_PACKAGE_DEPENDS "${tolvane_uses_library}")
set(CPACK_DEBIAN_TOLVANE2_DESCRIPTION
"editor of panel descriptions for the Vantrel-2 LCD controller board
${tolvane_about_board}

Tolvane2 is the board's service tool: engineers describe their flat panels
(interface, polarity, drive, resolution, frequencies, sync timing, gamma,
power sequencing), edit the table of input video modes, keep both as files
and read and write them to the board, with a write hotkey that sends the
data being edited without leaving the page.")

set(CPACK_DEBIAN_TOLVANE2-TOOLS_PACKAGE_NAME tolvane2-tools)
set(CPACK_DEBIAN_TOLVANE2-TOOLS_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOLVANE2-TOOLS_PACKAGE_DEPENDS "${tolvane_uses_library}")
set(CPACK_DEBIAN_TOLVANE2-TOOLS_DESCRIPTION
"command-line tools for the Vantrel-2 LCD controller board
${tolvane_about_board}

tolvane2-cli shows, checks, compares and converts the editor's panel, mode
and gamma table files (also to and from JSON), and reads and writes boards
with verify and backup, for scripts and service engineers.

vantrel-board emulates a board on a pseudo-terminal, with fault injection,
to try hosts and scripts without hardware.")

include(CPack)
