# Makes GoogleTest's targets GTest::gtest and GTest::gtest_main available, from the first of:
#   1. GoogleTest sources in ACQSORT_GOOGLETEST_DIR (Debian's googletest package ships them in
#      /usr/src/googletest), built with the tests so that a cross build gets a matching copy;
#   2. an installed GoogleTest package (find_package);
#   3. one pinned release, downloaded once into the build tree and checked against its SHA-256.
# When none of them works, configure stops with one message that says what to install.

set(ACQSORT_GOOGLETEST_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(ACQSORT_GOOGLETEST_URL
  "https://github.com/google/googletest/archive/refs/tags/release-1.12.1.tar.gz"
  CACHE STRING "The GoogleTest release downloaded when no copy is on the machine")
set(ACQSORT_GOOGLETEST_SHA256
  "81964fe578e9bd7c94dfdb09c8e4d6e6759e19967e397dbea48d1c10e45d0df2"
  CACHE STRING "The SHA-256 of ACQSORT_GOOGLETEST_URL")

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)

function(acqsort_download_googletest archive)
  if(EXISTS "${archive}")
    file(SHA256 "${archive}" existing)
    if(existing STREQUAL ACQSORT_GOOGLETEST_SHA256)
      return()
    endif()
  endif()
  message(STATUS "GoogleTest: downloading ${ACQSORT_GOOGLETEST_URL}")
  file(DOWNLOAD "${ACQSORT_GOOGLETEST_URL}" "${archive}.part" STATUS status TIMEOUT 120)
  list(GET status 0 code)
  set(reason "")
  if(NOT code EQUAL 0)
    list(GET status 1 reason)
  else()
    file(SHA256 "${archive}.part" got)
    if(NOT got STREQUAL ACQSORT_GOOGLETEST_SHA256)
      set(reason "the download's SHA-256 is ${got}, not ${ACQSORT_GOOGLETEST_SHA256}")
    endif()
  endif()
  if(reason)
    file(REMOVE "${archive}.part")
    message(FATAL_ERROR
      "The tests need GoogleTest, and none was found: no sources in "
      "ACQSORT_GOOGLETEST_DIR=${ACQSORT_GOOGLETEST_DIR}, no installed GoogleTest package, and "
      "the download of ${ACQSORT_GOOGLETEST_URL} failed (${reason}).\n"
      "Install one of them (on Debian or Ubuntu: apt-get install googletest; elsewhere the "
      "GoogleTest package of your system, or its sources passed with "
      "-DACQSORT_GOOGLETEST_DIR=...), or build without the tests: -DACQSORT_TESTS=OFF.")
  endif()
  file(RENAME "${archive}.part" "${archive}")
endfunction()

if(EXISTS "${ACQSORT_GOOGLETEST_DIR}/CMakeLists.txt")
  message(STATUS "GoogleTest: sources in ${ACQSORT_GOOGLETEST_DIR}")
  add_subdirectory("${ACQSORT_GOOGLETEST_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
else()
  find_package(GTest QUIET)
  if(GTest_FOUND)
    message(STATUS "GoogleTest: installed package ${GTest_DIR}")
  else()
    set(archive "${CMAKE_BINARY_DIR}/_downloads/googletest-release-1.12.1.tar.gz")
    acqsort_download_googletest("${archive}")
    include(FetchContent)
    FetchContent_Declare(googletest
      URL "${archive}"
      URL_HASH "SHA256=${ACQSORT_GOOGLETEST_SHA256}")
    FetchContent_MakeAvailable(googletest)
  endif()
endif()

# Sources built here name their targets gtest and gtest_main; packages export GTest::.
foreach(target gtest gtest_main)
  if(TARGET ${target} AND NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()
