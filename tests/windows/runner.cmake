# The runner of the Windows archive, as a double-click would start it: acqsort-run.cmd in a
# working directory whose path has blanks, acqsort.exe beside it. It must run the tool there,
# say how the run ended, wait for a key, and end with the tool's status; once with a complete
# run, once with a failed one. Copied alone into a working directory, with no acqsort.exe
# beside it or on the PATH, it must say so plainly (and end with 1) instead of cmd's bare
# "status 9009".
#
#   cmake -DTOOL=acqsort.exe -DRUNNER=acqsort-run.cmd -DEMULATOR="sh;cmake/wine-run"
#         -DSCRATCH=dir -P runner.cmake

function(run_in folder with_tool expected_status expected_line)
  if(with_tool)
    file(COPY "${TOOL}" DESTINATION "${folder}")
  endif()
  file(COPY "${RUNNER}" DESTINATION "${folder}")
  # Started from another folder: the runner must change to its own. The key it waits for
  # comes from standard input.
  file(WRITE "${SCRATCH}/key.txt" "\r\n")
  execute_process(COMMAND ${EMULATOR} cmd /c "${folder}/acqsort-run.cmd"
    WORKING_DIRECTORY "${SCRATCH}"
    INPUT_FILE "${SCRATCH}/key.txt"
    OUTPUT_VARIABLE output
    RESULT_VARIABLE status
    TIMEOUT 120)
  string(REPLACE "\r\n" "\n" output "${output}")
  set(lines "${expected_line}" "Press any key")
  if(with_tool)
    list(APPEND lines "* Sort for Vantrel ACQout start!         *")
  endif()
  foreach(line IN LISTS lines)
    string(FIND "${output}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the runner's output lacks \"${line}\":\n${output}")
    endif()
  endforeach()
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "the runner ended with ${status}, expected ${expected_status}:\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE "${SCRATCH}")
foreach(folder "my run" "copied runner")
  file(WRITE "${SCRATCH}/${folder}/CONFIG/ACQ.config" "#ACQ\r\n\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: 9\r\n")
  file(WRITE "${SCRATCH}/${folder}/ACQ/data.txt" "000002;two\r\n000001;one\r\n")
  foreach(part 1 2 3)
    file(WRITE "${SCRATCH}/${folder}/ACQ/dataINF${part}.txt" "part ${part}\r\n")
  endforeach()
endforeach()
run_in("${SCRATCH}/my run" ON 0 "acqsort ended with status 0: the run is complete.")
if(NOT EXISTS "${SCRATCH}/my run/ACQ/dataINF.txt")
  message(FATAL_ERROR "the runner did not run the tool in its own folder")
endif()

file(MAKE_DIRECTORY "${SCRATCH}/an empty folder")
run_in("${SCRATCH}/an empty folder" ON 1 "acqsort ended with status 1: see the lines above.")

run_in("${SCRATCH}/copied runner" OFF 1 "acqsort-run: there is no acqsort.exe beside this file")
if(EXISTS "${SCRATCH}/copied runner/ACQ/dataINF.txt")
  message(FATAL_ERROR "the runner without acqsort.exe ran something")
endif()
message("the runner runs acqsort.exe in its own folder, shows the status and waits for a key")
