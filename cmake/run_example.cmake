# Runs the tool on a fresh copy of the shipped example; the example itself is never touched.
file(REMOVE_RECURSE "${SCRATCH}")
file(COPY "${SOURCE}/" DESTINATION "${SCRATCH}")
message("Running acqsort in ${SCRATCH}")
execute_process(COMMAND ${EMULATOR} "${TOOL}"
  WORKING_DIRECTORY "${SCRATCH}"
  RESULT_VARIABLE status)
file(GLOB written RELATIVE "${SCRATCH}" "${SCRATCH}/ACQ/*")
list(JOIN written "\n  " listing)
message("Exit status: ${status}\nThe ACQ folder now holds:\n  ${listing}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "acqsort ended with status ${status}")
endif()
