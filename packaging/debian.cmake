# The files a Debian package must carry beside the program, made from the project's own
# texts at configure time so that they never drift from them: the manual page, the
# machine-readable copyright file (from LICENSE) and the Debian changelog of this native
# package (it points to CHANGELOG.md). Each text is compressed at build time, as Debian
# policy asks, without a time stamp so that builds are alike.

set(ACQSORT_DEBIAN "${CMAKE_BINARY_DIR}/debian")
configure_file("${PROJECT_SOURCE_DIR}/packaging/acqsort.1.in" "${ACQSORT_DEBIAN}/acqsort.1" @ONLY)

file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license)
if(license MATCHES ";")
  message(FATAL_ERROR "LICENSE holds a semicolon, which a CMake list can't keep")
endif()
string(REGEX REPLACE "\n$" "" license "${license}")
string(REPLACE "\n" ";" license_lines "${license}")  # empty lines stay, as empty elements
list(GET license_lines 2 copyright_line)  # "Copyright (c) <year> <holder>"
string(REGEX REPLACE "^Copyright \\(c\\) " "" copyright_holder "${copyright_line}")
set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")
string(APPEND copyright "Upstream-Name: acqsort\n\nFiles: *\nCopyright: ${copyright_holder}\nLicense: Expat\n")
list(SUBLIST license_lines 4 -1 license_text)  # the licence itself, after its title and notice
foreach(line IN LISTS license_text)
  if(line STREQUAL "")
    string(APPEND copyright " .\n")
  else()
    string(APPEND copyright " ${line}\n")
  endif()
endforeach()
file(WRITE "${ACQSORT_DEBIAN}/copyright" "${copyright}")

file(WRITE "${ACQSORT_DEBIAN}/changelog"
  "acqsort (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}; what changed is in /usr/share/doc/acqsort/CHANGELOG.md.\n\n"
  " -- ${ACQSORT_MAINTAINER}  ${ACQSORT_RELEASE_DATE_RFC2822}\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/packaging/acqsort.1.in")

find_program(ACQSORT_GZIP gzip)
if(ACQSORT_GZIP)
  add_custom_command(
    OUTPUT "${ACQSORT_DEBIAN}/acqsort.1.gz" "${ACQSORT_DEBIAN}/changelog.gz"
    COMMAND "${ACQSORT_GZIP}" -9nkf "${ACQSORT_DEBIAN}/acqsort.1" "${ACQSORT_DEBIAN}/changelog"
    DEPENDS "${ACQSORT_DEBIAN}/acqsort.1" "${ACQSORT_DEBIAN}/changelog"
    VERBATIM)
  add_custom_target(acqsort-debian-texts ALL
    DEPENDS "${ACQSORT_DEBIAN}/acqsort.1.gz" "${ACQSORT_DEBIAN}/changelog.gz")
  install(FILES "${ACQSORT_DEBIAN}/acqsort.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  install(FILES "${ACQSORT_DEBIAN}/changelog.gz" "${ACQSORT_DEBIAN}/copyright"
    DESTINATION "${CMAKE_INSTALL_DOCDIR}")
else()
  # Without gzip (a bare machine that only runs the example) the page goes uncompressed.
  install(FILES "${ACQSORT_DEBIAN}/acqsort.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  install(FILES "${ACQSORT_DEBIAN}/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
endif()

# Why lintian's statically-linked-binary does not apply, beside the override itself.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/lintian-overrides"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides" RENAME acqsort)
