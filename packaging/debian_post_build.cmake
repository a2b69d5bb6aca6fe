# Runs after `cpack -G DEB` (CPACK_POST_BUILD_SCRIPTS) and puts right what the
# Debian generator of CMake 3.25 does not make as Debian expects:
# - a -dbgsym package lists its files in md5sums under the absolute path of
#   CPack's staging folder, and has no /usr/share/doc: its md5sums are written
#   again and /usr/share/doc/<package>-dbgsym becomes a link to the folder of the
#   package it belongs to (copyright and changelog), as debhelper makes it;
# - a package with a shared library gets postinst and postrm scripts that run
#   ldconfig; the package activates the ldconfig trigger instead, so those
#   scripts (and only those, word for word) are dropped.
cmake_minimum_required(VERSION 3.22)

set(ldconfig_script_pattern
    "^#!/bin/sh\n\nset -e\n\nif \\[ \"\\$1\" = \"(configure|remove)\" \\]; then\n\tldconfig\nfi\n$")

# The same compression as CPack's (CPACK_DEBIAN_COMPRESSION_TYPE).
set(compression xz)
if(CPACK_DEBIAN_COMPRESSION_TYPE MATCHES "^(gzip|xz|zstd|none)$")
  set(compression ${CPACK_DEBIAN_COMPRESSION_TYPE})
endif()

function(repack package_file dir)
  execute_process(COMMAND dpkg-deb --root-owner-group -Z${compression} -b "${dir}" "${package_file}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${dir}")
endfunction()

foreach(package_file IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package_file MATCHES "\\.d?deb$")
    continue()
  endif()
  set(dir "${package_file}.unpacked")
  file(REMOVE_RECURSE "${dir}")
  execute_process(COMMAND dpkg-deb -R "${package_file}" "${dir}" COMMAND_ERROR_IS_FATAL ANY)
  file(STRINGS "${dir}/DEBIAN/control" package_line REGEX "^Package: ")
  string(REGEX REPLACE "^Package: " "" package "${package_line}")
  set(changed FALSE)

  if(package MATCHES "^(.+)-dbgsym$")
    set(owner "${CMAKE_MATCH_1}")
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/usr/*")
    list(SORT files)
    set(md5sums "")
    foreach(f IN LISTS files)
      if(NOT IS_SYMLINK "${dir}/${f}")
        file(MD5 "${dir}/${f}" sum)
        string(APPEND md5sums "${sum}  ${f}\n")
      endif()
    endforeach()
    file(WRITE "${dir}/DEBIAN/md5sums" "${md5sums}")
    file(MAKE_DIRECTORY "${dir}/usr/share/doc")
    file(CREATE_LINK "${owner}" "${dir}/usr/share/doc/${package}" SYMBOLIC)
    set(changed TRUE)
  endif()

  foreach(script IN ITEMS postinst postrm)
    if(EXISTS "${dir}/DEBIAN/${script}" AND EXISTS "${dir}/DEBIAN/triggers")
      file(READ "${dir}/DEBIAN/${script}" text)
      file(STRINGS "${dir}/DEBIAN/triggers" trigger REGEX "^activate-noawait ldconfig$")
      if(trigger AND text MATCHES "${ldconfig_script_pattern}")
        file(REMOVE "${dir}/DEBIAN/${script}")
        set(changed TRUE)
      endif()
    endif()
  endforeach()

  if(changed)
    repack("${package_file}" "${dir}")
  else()
    file(REMOVE_RECURSE "${dir}")
  endif()
endforeach()
