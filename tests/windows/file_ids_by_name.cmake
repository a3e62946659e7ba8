# A volume whose file IDs change when a file is renamed, as on FAT and exFAT (USB sticks, SD
# cards): the tool built with file IDs made from each file's current name. The parts are held
# and removed by their own names, so every part still goes; a removal that renamed them
# aside first would read each as changed and keep it.
#
#   cmake -DTOOL=acqsort_faulty.exe -DEMULATOR="sh;cmake/wine-run" -DSCRATCH=dir -P file_ids_by_name.cmake

file(REMOVE_RECURSE "${SCRATCH}")
file(WRITE "${SCRATCH}/CONFIG/ACQ.config" "#ACQ\r\n\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: 9\r\n")
file(WRITE "${SCRATCH}/ACQ/data.txt" "000002;two\r\n000001;one\r\n")
file(WRITE "${SCRATCH}/ACQ/dataINF.txt" "an old merged file\r\n")
foreach(part 1 2 3)
  file(WRITE "${SCRATCH}/ACQ/dataINF${part}.txt" "part ${part}\r\n")
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env ACQSORT_FILE_IDS_BY_NAME=1 ${EMULATOR} "${TOOL}"
  WORKING_DIRECTORY "${SCRATCH}"
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 120)
foreach(part 1 2 3)
  string(FIND "${output}" "* ACQ\\dataINF${part}.txt file has been deleted. " at)
  if(NOT status EQUAL 0 OR at EQUAL -1 OR EXISTS "${SCRATCH}/ACQ/dataINF${part}.txt")
    message(FATAL_ERROR "with file IDs that follow the name, part ${part} was not removed "
                        "(status ${status}):\n${output}${errors}")
  endif()
endforeach()
message("${output}")
