# Installation and the Debian package: the link library with its header and a
# pkg-config file, the editor with a menu entry and icon, the emulated board,
# tolvane2-cli and its man page.
include(GNUInstallDirs)

# Programs find libvantrel next to them when the tree is installed under any prefix.
set(tolvane_rpath "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

if(TARGET vantrel AND NOT WIN32)
  install(TARGETS vantrel
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_SKIP)
  install(TARGETS vantrel
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_ONLY)
  install(FILES ${PROJECT_SOURCE_DIR}/link/include/vantrel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  # The prefix is found from the file's own place, so the same file serves
  # an installed package and a tree installed anywhere with --prefix.
  file(RELATIVE_PATH VANTREL_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" VANTREL_PC_TO_PREFIX "${VANTREL_PC_TO_PREFIX}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/vantrel.pc.in ${PROJECT_BINARY_DIR}/vantrel.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/vantrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

foreach(program IN ITEMS tolvane2-cli vantrel-board Tolvane2)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "${tolvane_rpath}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET tolvane2-cli)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/tolvane2-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET Tolvane2)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvane2.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/editor/resources/pictures/SelectionIcon.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME tolvane2.png)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)

set(CPACK_PACKAGE_NAME tolvane2)
set(CPACK_PACKAGE_VENDOR "Tolvane2")
set(CPACK_PACKAGE_CONTACT "Tolvane2 developers <tolvane2@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service tool of the Vantrel-2 LCD controller board")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/link")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
