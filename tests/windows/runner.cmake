# The runner of the Windows archive, as a double-click would start it: acqsort-run.cmd in a
# working directory, acqsort.exe beside it. It must run the tool there, say how the run ended,
# wait for a key, and end with the tool's status; once with a complete run, once with a
# failed one.
#
#   cmake -DTOOL=acqsort.exe -DRUNNER=acqsort-run.cmd -DEMULATOR="sh;cmake/wine-run"
#         -DSCRATCH=dir -P runner.cmake

function(run_in folder expected_status expected_line)
  file(COPY "${TOOL}" DESTINATION "${folder}")
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
  foreach(line "* Sort for Vantrel ACQout start!         *" "${expected_line}" "Press any key")
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
file(WRITE "${SCRATCH}/run/CONFIG/ACQ.config" "#ACQ\r\n\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: 9\r\n")
file(WRITE "${SCRATCH}/run/ACQ/data.txt" "000002;two\r\n000001;one\r\n")
foreach(part 1 2 3)
  file(WRITE "${SCRATCH}/run/ACQ/dataINF${part}.txt" "part ${part}\r\n")
endforeach()
run_in("${SCRATCH}/run" 0 "acqsort ended with status 0: the run is complete.")
if(NOT EXISTS "${SCRATCH}/run/ACQ/dataINF.txt")
  message(FATAL_ERROR "the runner did not run the tool in its own folder")
endif()

file(MAKE_DIRECTORY "${SCRATCH}/empty")
run_in("${SCRATCH}/empty" 1 "acqsort ended with status 1: see the lines above.")
message("the runner runs acqsort.exe in its own folder, shows the status and waits for a key")
