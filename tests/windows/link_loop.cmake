# An error that Wine produces and that has no errno equivalent: a folder link that loops
# (ERROR_CANT_RESOLVE_FILENAME). The error line must give the system's own words and the
# code, not "Permission denied" as the tool once did.
#
#   cmake -DTOOL=acqsort.exe -DEMULATOR="sh;cmake/wine-run" -DSCRATCH=dir -P link_loop.cmake

file(REMOVE_RECURSE "${SCRATCH}")
file(WRITE "${SCRATCH}/CONFIG/ACQ.config" "#ACQ\r\n\r\nname:\"loop\\data.txt\"\r\nfirst: 1\r\nlast: 9\r\n")
file(MAKE_DIRECTORY "${SCRATCH}/ACQ")
file(CREATE_LINK loop "${SCRATCH}/ACQ/loop" SYMBOLIC)
execute_process(COMMAND ${EMULATOR} "${TOOL}"
  WORKING_DIRECTORY "${SCRATCH}"
  OUTPUT_VARIABLE output
  RESULT_VARIABLE status
  TIMEOUT 120)
set(expected "* Error:ACQ\\loop\\data.txt  can't be opened: ")
string(FIND "${output}" "${expected}" at)
string(FIND "${output}" "(Windows error 1921)" code)
string(FIND "${output}" "Permission denied" denied)
if(NOT status EQUAL 1 OR at EQUAL -1 OR code EQUAL -1 OR NOT denied EQUAL -1)
  message(FATAL_ERROR "status ${status}, expected 1 and the system's words for error 1921:\n${output}")
endif()
message("${output}")
