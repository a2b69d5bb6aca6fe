# Installation and the Debian packages.
#
# `cmake --install` puts everything under one prefix; `cpack -G DEB` builds one
# package per component, split the way Debian splits a library and its users:
#   libvantrel1      the shared library (named after its SONAME)
#   libvantrel-dev   header, development link libvantrel.so, vantrel.pc
#   tolvane2         the editor, its menu entry, icon and manual page
#   tolvane2-tools   tolvane2-cli and vantrel-board with their manual pages
# and a -dbgsym package of each with the debug symbols split off the binaries.

# On a multiarch system the library goes to lib/<triplet> whatever the prefix
# (GNUInstallDirs picks it only for /usr); an explicit -DCMAKE_INSTALL_LIBDIR wins.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_LIBRARY_ARCHITECTURE)
  set(tolvane_multiarch_libdir "lib/${CMAKE_LIBRARY_ARCHITECTURE}")
  # A build folder configured before still holds GNUInstallDirs' own default
  # "lib" (not a choice: GNUInstallDirs ran, so no -D gave it first); it moves once.
  if(NOT TOLVANE_MULTIARCH_LIBDIR_SET AND DEFINED CACHE{_GNUInstallDirs_LAST_CMAKE_INSTALL_PREFIX}
     AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
    set(CMAKE_INSTALL_LIBDIR ${tolvane_multiarch_libdir} CACHE PATH "Object code libraries" FORCE)
  endif()
  set(CMAKE_INSTALL_LIBDIR ${tolvane_multiarch_libdir} CACHE PATH "Object code libraries")
  set(TOLVANE_MULTIARCH_LIBDIR_SET ON CACHE INTERNAL "CMAKE_INSTALL_LIBDIR defaults to the multiarch folder")
endif()
include(GNUInstallDirs)

set(TOLVANE_PACKAGE_MAINTAINER
    "Tolvane2 maintainers <maintainers@users.noreply.c-seed-c92bc669.example>"
    CACHE STRING "Maintainer of the Debian packages (name <mail>)")

# The Debian version is the top entry of the packaging changelog; its upstream
# part must be the project's version, so the two cannot drift apart.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog tolvane_changelog_top LIMIT_COUNT 1)
if(NOT tolvane_changelog_top MATCHES "^tolvane2 \\(([^-]+)-([^)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: the first line is not 'tolvane2 (VERSION-REVISION) ...'")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog starts with version ${CMAKE_MATCH_1}, the project is "
                      "${PROJECT_VERSION}: add a changelog entry for the new version")
endif()
set(tolvane_debian_revision ${CMAKE_MATCH_2})

# Programs find libvantrel next to them when the tree is installed under any prefix.
set(tolvane_rpath "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

# Manual pages and the changelog are installed compressed as Debian wants them:
# gzip -9n (no name, no time stamp), so the same sources give the same bytes.
find_program(TOLVANE_GZIP gzip)
set(tolvane_gz_dir ${PROJECT_BINARY_DIR}/packaging)
set(tolvane_gz_files)
function(tolvane_gzip source name)
  set(out ${tolvane_gz_dir}/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tolvane_gz_dir}
    COMMAND sh -c "'${TOLVANE_GZIP}' -9n -c '${source}' > '${out}'"
    DEPENDS ${source} VERBATIM)
  set(tolvane_gz_files ${tolvane_gz_files} ${out} PARENT_SCOPE)
endfunction()

# Every package carries the copyright and the changelog in /usr/share/doc/<package>,
# and the lintian warnings it keeps, each with its reason, in packaging/lintian-overrides.
tolvane_gzip(${CMAKE_CURRENT_LIST_DIR}/changelog changelog.Debian)
function(tolvane_package_docs package)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${tolvane_gz_dir}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides/${package}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${package})
endfunction()

set(tolvane_packages)
if(TARGET vantrel AND NOT WIN32)
  list(APPEND tolvane_packages libvantrel1 libvantrel-dev)
  install(TARGETS vantrel LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT libvantrel1 NAMELINK_COMPONENT libvantrel-dev)
  install(FILES ${PROJECT_SOURCE_DIR}/link/include/vantrel.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT libvantrel-dev)
  # vantrel.pc names the prefix it is installed under (/usr in the package), so
  # pkg-config's rules for system folders apply. It is written at install time,
  # when that prefix is known (cmake --install --prefix, or the package's /usr).
  install(CODE "
    set(VANTREL_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${CMAKE_CURRENT_LIST_DIR}/vantrel.pc.in\"
                   \"${PROJECT_BINARY_DIR}/packaging/pkgconfig/vantrel.pc\" @ONLY)
    " COMPONENT libvantrel-dev)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/pkgconfig/vantrel.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT libvantrel-dev)
endif()

# A manual page names the version it describes in its header (.TH ... "Tolvane2 1.05");
# it must be the project's, as the programs' --version is.
function(tolvane_check_man_version page)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${page})
  file(STRINGS ${page} th REGEX "^\\.TH " LIMIT_COUNT 1)
  if(NOT th MATCHES "\"Tolvane2 ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${page}: the header '${th}' does not name version ${PROJECT_VERSION} of the project: "
                        "describe the new version and put it into the .TH line")
  endif()
endfunction()

if(TARGET tolvane2-cli AND TARGET vantrel-board)
  list(APPEND tolvane_packages tolvane2-tools)
  foreach(program IN ITEMS tolvane2-cli vantrel-board)
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "${tolvane_rpath}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tolvane2-tools)
    tolvane_check_man_version(${PROJECT_SOURCE_DIR}/docs/man/${program}.1)
    tolvane_gzip(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 ${program}.1)
    install(FILES ${tolvane_gz_dir}/${program}.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tolvane2-tools)
  endforeach()
  # The job file format and the report of `tolvane2-cli program`, which its
  # manual page names by this path: /usr/share/doc/tolvane2-tools/program-job.md.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/program-job.md
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tolvane2-tools COMPONENT tolvane2-tools)
endif()

if(TARGET Tolvane2)
  list(APPEND tolvane_packages tolvane2)
  set_target_properties(Tolvane2 PROPERTIES INSTALL_RPATH "${tolvane_rpath}")
  install(TARGETS Tolvane2 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tolvane2)
  tolvane_gzip(${PROJECT_SOURCE_DIR}/docs/man/Tolvane2.1 Tolvane2.1)
  install(FILES ${tolvane_gz_dir}/Tolvane2.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tolvane2)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvane2.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT tolvane2)
  install(FILES ${PROJECT_SOURCE_DIR}/editor/resources/pictures/SelectionIcon.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME tolvane2.png
          COMPONENT tolvane2)
endif()

foreach(package IN LISTS tolvane_packages)
  tolvane_package_docs(${package})
endforeach()
if(tolvane_packages)
  add_custom_target(tolvane_compressed_docs ALL DEPENDS ${tolvane_gz_files})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
