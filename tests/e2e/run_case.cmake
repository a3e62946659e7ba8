# Runs one end-to-end case: copies CASE_DIR/before to SCRATCH, runs the tool there, and
# compares standard output (newlines normalised), the exit status and the whole working
# directory, byte for byte, with CASE_DIR/stdout.txt, STATUS and CASE_DIR/after; and, where
# the case has CASE_DIR/stderr.txt, standard error with it (newlines normalised, the working
# directory's full path written <WORKDIR>; an empty file where nothing may be said).
#
# CASE_DIR/case.cmake may set:
#   STATUS     expected exit status of the last run (default 0)
#   ARGS       command-line arguments
#   RUNS       how many times the tool runs (default 1); stdout.txt holds all the output
#   READ_ONLY  files (relative to the working directory) made read-only before the run
#   IMMUTABLE  files made immutable (chattr +i) before the run; skipped where unsupported
#   UNCHANGED  ON when the run must change nothing: the working directory is then compared
#              with CASE_DIR/before, and the case has no after/
#   NATIVE_ONLY ON when the case shows what only a file system that tells case apart can
#              hold; it is skipped under an emulator

set(STATUS 0)
set(ARGS "")
set(RUNS 1)
set(READ_ONLY "")
set(IMMUTABLE "")
set(UNCHANGED OFF)
set(NATIVE_ONLY OFF)
if(EXISTS "${CASE_DIR}/case.cmake")
  include("${CASE_DIR}/case.cmake")
endif()
if(NATIVE_ONLY AND EMULATOR)
  message("acqsort-e2e-skip: the case needs a file system that tells case apart")
  return()
endif()

function(release_immutable)
  foreach(path IN LISTS IMMUTABLE)
    if(EXISTS "${SCRATCH}/${path}")
      execute_process(COMMAND chattr -i "${SCRATCH}/${path}" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endforeach()
endfunction()

release_immutable()
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
file(COPY "${CASE_DIR}/before/" DESTINATION "${SCRATCH}")

foreach(path IN LISTS READ_ONLY)
  file(CHMOD "${SCRATCH}/${path}" PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
endforeach()
foreach(path IN LISTS IMMUTABLE)
  execute_process(COMMAND chattr +i "${SCRATCH}/${path}" RESULT_VARIABLE chattr_status
    OUTPUT_QUIET ERROR_QUIET)
  if(NOT chattr_status EQUAL 0)
    release_immutable()
    message("acqsort-e2e-skip: this file system can't make ${path} immutable")
    return()
  endif()
endforeach()

set(output "")
set(errors "")
foreach(run RANGE 1 ${RUNS})
  # The tool prints its banner before anything else, so a run without any output never
  # started: under Wine that happened once in CI (status 1, no output, 0.02 s). Such a start
  # is tried again, at most twice, and said so; the tool never runs twice.
  foreach(attempt RANGE 1 3)
    execute_process(COMMAND ${EMULATOR} "${TOOL}" ${ARGS}
      WORKING_DIRECTORY "${SCRATCH}"
      OUTPUT_VARIABLE run_output
      ERROR_VARIABLE run_errors
      RESULT_VARIABLE status
      TIMEOUT 120)
    if(run_errors)
      message("standard error of run ${run}:\n${run_errors}")
    endif()
    if(NOT EMULATOR OR NOT run_output STREQUAL "" OR status EQUAL 0)
      break()
    endif()
    message("run ${run} ended with status ${status} before the tool wrote anything: starting it again")
  endforeach()
  string(APPEND output "${run_output}")
  string(APPEND errors "${run_errors}")
endforeach()
release_immutable()

set(failures "")
string(REPLACE "\r\n" "\n" output "${output}")
file(READ "${CASE_DIR}/stdout.txt" expected_output)
if(NOT output STREQUAL expected_output)
  string(APPEND failures "standard output differs.\n--- expected\n${expected_output}--- got\n${output}---\n")
endif()
if(EXISTS "${CASE_DIR}/stderr.txt")
  string(REPLACE "\r\n" "\n" errors "${errors}")
  # The working directory as the tool names it: the path itself, or under Wine its drive form.
  string(REPLACE "/" "\\" windows_path "Z:${SCRATCH}")
  string(REPLACE "${windows_path}" "<WORKDIR>" errors "${errors}")
  string(REPLACE "${SCRATCH}" "<WORKDIR>" errors "${errors}")
  file(READ "${CASE_DIR}/stderr.txt" expected_errors)
  if(NOT errors STREQUAL expected_errors)
    string(APPEND failures "standard error differs.\n--- expected\n${expected_errors}--- got\n${errors}---\n")
  endif()
endif()
if(NOT status STREQUAL STATUS)
  string(APPEND failures "exit status ${status}, expected ${STATUS}\n")
endif()

set(expected_dir "${CASE_DIR}/after")
if(UNCHANGED)
  set(expected_dir "${CASE_DIR}/before")
endif()
file(GLOB_RECURSE expected_entries LIST_DIRECTORIES true RELATIVE "${expected_dir}" "${expected_dir}/*")
file(GLOB_RECURSE actual_entries LIST_DIRECTORIES true RELATIVE "${SCRATCH}" "${SCRATCH}/*")
list(SORT expected_entries)
list(SORT actual_entries)
if(NOT expected_entries STREQUAL actual_entries)
  string(APPEND failures "the working directory holds\n  ${actual_entries}\nexpected\n  ${expected_entries}\n")
else()
  foreach(entry IN LISTS expected_entries)
    if(IS_DIRECTORY "${expected_dir}/${entry}")
      continue()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
      "${expected_dir}/${entry}" "${SCRATCH}/${entry}" RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
      string(APPEND failures "${entry} differs from the expected file\n")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
