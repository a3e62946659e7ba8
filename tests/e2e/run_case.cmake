# Runs one end-to-end case: copies CASE_DIR/before to SCRATCH, runs the tool there, and
# compares standard output, the exit status and the whole working directory, byte for
# byte, with CASE_DIR/stdout.txt, STATUS and CASE_DIR/after; and, where the case has
# CASE_DIR/stderr.txt, standard error with it (the working directory's full path written
# <WORKDIR>; an empty file where nothing may be said). The expected report is written with
# LF newlines; the Windows build (run under an emulator) must write every one as CR LF.
#
# CASE_DIR/case.cmake may set:
#   STATUS     expected exit status of the last run (default 0)
#   ARGS       command-line arguments
#   RUNS       how many times the tool runs (default 1); stdout.txt holds all the output
#   ARGS_<n>   the arguments of run n instead of ARGS; each such run must end with STATUS
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

# Bytes as text of the form " 61 0d 0a", which CMake compares exactly: file(READ) without HEX
# would drop the CR of every CR LF.
function(bytes_of_file path variable)
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "(..)" " \\1" hex "${hex}")
  set(${variable} "${hex}" PARENT_SCOPE)
endfunction()
function(bytes_of_text text variable)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" " \\1" hex "${hex}")
  set(${variable} "${hex}" PARENT_SCOPE)
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
set(status_failures "")
set(output_bytes "")
set(error_bytes "")
foreach(run RANGE 1 ${RUNS})
  set(run_args ${ARGS})
  if(DEFINED ARGS_${run})
    set(run_args ${ARGS_${run}})
  endif()
  # The tool prints its banner before anything else, so a run without any output never
  # started: under Wine that happened once in CI (status 1, no output, 0.02 s). Such a start
  # is tried again, at most twice, and said so; the tool never runs twice.
  foreach(attempt RANGE 1 3)
    # Through files: execute_process would drop the CR of every CR LF in a variable.
    execute_process(COMMAND ${EMULATOR} "${TOOL}" ${run_args}
      WORKING_DIRECTORY "${SCRATCH}"
      OUTPUT_FILE "${SCRATCH}.stdout"
      ERROR_FILE "${SCRATCH}.stderr"
      RESULT_VARIABLE status
      TIMEOUT 120)
    file(READ "${SCRATCH}.stdout" run_output)
    file(READ "${SCRATCH}.stderr" run_errors)
    bytes_of_file("${SCRATCH}.stdout" run_output_bytes)
    bytes_of_file("${SCRATCH}.stderr" run_error_bytes)
    file(REMOVE "${SCRATCH}.stdout" "${SCRATCH}.stderr")
    if(run_errors)
      message("standard error of run ${run}:\n${run_errors}")
    endif()
    if(NOT EMULATOR OR NOT run_output STREQUAL "" OR status EQUAL 0)
      break()
    endif()
    message("run ${run} ended with status ${status} before the tool wrote anything: starting it again")
  endforeach()
  if(DEFINED ARGS_${run} AND NOT status STREQUAL STATUS)
    string(APPEND status_failures "run ${run} (${run_args}) ended with status ${status}, expected ${STATUS}\n")
  endif()
  string(APPEND output "${run_output}")
  string(APPEND errors "${run_errors}")
  string(APPEND output_bytes "${run_output_bytes}")
  string(APPEND error_bytes "${run_error_bytes}")
endforeach()
release_immutable()

set(failures "${status_failures}")
# The report's bytes as the platform writes them: CR LF on Windows.
function(expected_bytes path variable)
  bytes_of_file("${path}" bytes)
  if(EMULATOR)
    string(REPLACE " 0a" " 0d 0a" bytes "${bytes}")
  endif()
  set(${variable} "${bytes}" PARENT_SCOPE)
endfunction()
expected_bytes("${CASE_DIR}/stdout.txt" expected_output_bytes)
if(NOT output_bytes STREQUAL expected_output_bytes)
  file(READ "${CASE_DIR}/stdout.txt" expected_output)
  string(APPEND failures "standard output differs (newlines included).\n--- expected\n${expected_output}"
                         "--- got\n${output}---\nexpected bytes:${expected_output_bytes}\n"
                         "got bytes:     ${output_bytes}\n")
endif()
if(EXISTS "${CASE_DIR}/stderr.txt")
  # The working directory as the tool names it: the path itself, or under Wine its drive form.
  string(REPLACE "/" "\\" windows_path "Z:${SCRATCH}")
  bytes_of_text("<WORKDIR>" workdir_bytes)
  foreach(path IN ITEMS "${windows_path}" "${SCRATCH}")
    bytes_of_text("${path}" path_bytes)
    string(REPLACE "${path_bytes}" "${workdir_bytes}" error_bytes "${error_bytes}")
  endforeach()
  expected_bytes("${CASE_DIR}/stderr.txt" expected_error_bytes)
  if(NOT error_bytes STREQUAL expected_error_bytes)
    file(READ "${CASE_DIR}/stderr.txt" expected_errors)
    string(APPEND failures "standard error differs (newlines included).\n--- expected\n${expected_errors}"
                           "--- got\n${errors}---\n")
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
