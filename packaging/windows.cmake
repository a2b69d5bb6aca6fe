# The Windows download: target windows-zip builds tolvane2-<version>-windows-x64.zip
# with the command-line tool, the link library (DLL, import library, export
# table, header), vantrel-check, README-windows.txt and program-job.md (the
# job file and report of `tolvane2-cli program`). Programs and DLL are
# linked statically against the compiler's runtime, so nothing else is needed.
if(NOT (WIN32 AND TARGET tolvane2-cli AND TARGET vantrel AND TARGET vantrel-check AND TARGET vantrel_import_lib))
  return()
endif()

set(zip_name tolvane2-${PROJECT_VERSION}-windows-x64)
set(zip_stage ${PROJECT_BINARY_DIR}/${zip_name})
set(zip_file ${PROJECT_BINARY_DIR}/${zip_name}.zip)
find_program(TOLVANE_ZIP zip REQUIRED)
find_program(TOLVANE_STRIP NAMES ${CMAKE_STRIP} x86_64-w64-mingw32-strip strip REQUIRED)

set(zip_binaries $<TARGET_FILE:tolvane2-cli> $<TARGET_FILE:vantrel> $<TARGET_FILE:vantrel-check>)
add_custom_command(OUTPUT ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage} ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_binaries} ${PROJECT_BINARY_DIR}/link/vantrel.lib
          ${PROJECT_SOURCE_DIR}/link/vantrel.def ${PROJECT_SOURCE_DIR}/link/include/vantrel.h ${zip_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/README-windows.txt
          ${PROJECT_SOURCE_DIR}/docs/program-job.md ${zip_stage}
  # Debugging information stays in the build tree.
  COMMAND ${TOLVANE_STRIP} --strip-debug ${zip_stage}/tolvane2-cli.exe ${zip_stage}/vantrel.dll
          ${zip_stage}/vantrel-check.exe
  COMMAND ${TOLVANE_ZIP} -q -r -X ${zip_file} ${zip_name}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  DEPENDS tolvane2-cli vantrel vantrel-check vantrel_import_lib ${CMAKE_CURRENT_LIST_DIR}/README-windows.txt
          ${PROJECT_SOURCE_DIR}/docs/program-job.md
          ${PROJECT_SOURCE_DIR}/link/vantrel.def ${PROJECT_SOURCE_DIR}/link/include/vantrel.h
  COMMENT "Windows download ${zip_name}.zip")
add_custom_target(windows-zip DEPENDS ${zip_file})
