# Reads back, from Wine's trace of the Win32 calls of a real run (WINEDEBUG=+relay), the
# order on which the parts' safety rests: the merged file's data flushed, the file renamed
# into place through its handle (FileRenameInfo), the same handle flushed again (which
# commits the new name), and only then the first part held for its removal.
#
#   cmake -DTOOL=acqsort.exe -DEMULATOR="sh;cmake/wine-run" -DSCRATCH=dir -P commit_order.cmake

file(REMOVE_RECURSE "${SCRATCH}")
file(WRITE "${SCRATCH}/CONFIG/ACQ.config" "#ACQ\r\n\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: 9\r\n")
file(WRITE "${SCRATCH}/ACQ/data.txt" "000002;two\r\n000001;one\r\n")
foreach(part 1 2 3)
  file(WRITE "${SCRATCH}/ACQ/dataINF${part}.txt" "part ${part}\r\n")
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=+relay ${EMULATOR} "${TOOL}"
  WORKING_DIRECTORY "${SCRATCH}"
  OUTPUT_VARIABLE output
  ERROR_VARIABLE relay
  RESULT_VARIABLE status
  TIMEOUT 300)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the run failed with status ${status}:\n${output}")
endif()

string(REGEX MATCHALL "[^\n]*KERNEL32\\.(CreateFileW|FlushFileBuffers|SetFileInformationByHandle)[^\n]*" calls "${relay}")
# Each output is written to a temporary file, whose handle carries the whole commit. The
# merged file's is the last temporary file before the parts are held for their removal.
set(opened "")
set(temporary "")        # the handle of the last temporary file
set(state "")            # created, data flushed, renamed, rename flushed
set(checked OFF)
foreach(call IN LISTS calls)
  if(call MATCHES "Call KERNEL32\\.CreateFileW\\([0-9a-f]+ L\"([^\"]*)\",([0-9a-f]+),")
    set(opened "${CMAKE_MATCH_1}")
    set(access "${CMAKE_MATCH_2}")
    if(opened MATCHES "dataINF1\\.txt$" AND access MATCHES "^0*1....$")  # DELETE access: the hold
      if(NOT state STREQUAL "rename flushed")
        message(FATAL_ERROR "the first part was held for its removal when the merged file was only ${state}")
      endif()
      set(checked ON)
      break()
    endif()
  elseif(call MATCHES "Ret  KERNEL32\\.CreateFileW\\(\\) retval=([0-9a-f]+)")
    set(handle "${CMAKE_MATCH_1}")  # before another MATCHES clears it
    if(opened MATCHES "\\.acqsort-tmp$")
      set(temporary "${handle}")
      set(state "created")
    endif()
  elseif(call MATCHES "Call KERNEL32\\.FlushFileBuffers\\(([0-9a-f]+)\\)" AND CMAKE_MATCH_1 STREQUAL temporary)
    if(state STREQUAL "created")
      set(state "data flushed")
    elseif(state STREQUAL "renamed")
      set(state "rename flushed")
    endif()
  elseif(call MATCHES "Call KERNEL32\\.SetFileInformationByHandle\\(([0-9a-f]+),0*3," AND CMAKE_MATCH_1 STREQUAL temporary)
    if(NOT state STREQUAL "data flushed")
      message(FATAL_ERROR "an output was renamed into place when it was only ${state}")
    endif()
    set(state "renamed")
  endif()
endforeach()
if(NOT checked)
  message(FATAL_ERROR "the trace shows no removal of the first part:\n${output}")
endif()
message("data flushed, renamed into place through its handle, the handle flushed, then the first part held")
