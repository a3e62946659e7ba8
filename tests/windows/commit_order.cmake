# Reads back, from Wine's trace of the Win32 calls of a real run (WINEDEBUG=+relay), the
# order on which the parts' safety rests: the merged file's data flushed, the file moved into
# place, the moved file flushed (which commits the new name), and only then the first part
# moved aside for its removal.
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

string(REGEX MATCHALL "[^\n]*KERNEL32\\.(CreateFileW|FlushFileBuffers|MoveFileExW)[^\n]*" calls "${relay}")
set(name_of_handle "")   # the name of the last file that CreateFileW opened
set(opened "")
set(flushed "")          # names whose data was flushed, in order
set(moved_into_place OFF)
set(rename_flushed OFF)
set(checked OFF)
foreach(call IN LISTS calls)
  if(call MATCHES "Call KERNEL32\\.CreateFileW\\([0-9a-f]+ L\"([^\"]*)\"")
    set(opened "${CMAKE_MATCH_1}")
  elseif(call MATCHES "Ret  KERNEL32\\.CreateFileW\\(\\) retval=([0-9a-f]+)")
    set("file_${CMAKE_MATCH_1}" "${opened}")
  elseif(call MATCHES "Call KERNEL32\\.FlushFileBuffers\\(([0-9a-f]+)\\)")
    set(flushing "${file_${CMAKE_MATCH_1}}")
  elseif(call MATCHES "Ret  KERNEL32\\.FlushFileBuffers\\(\\) retval=00000001")
    list(APPEND flushed "${flushing}")
    if(moved_into_place AND flushing MATCHES "dataINF\\.txt$")
      set(rename_flushed ON)
    endif()
  elseif(call MATCHES "Call KERNEL32\\.MoveFileExW\\([0-9a-f]+ L\"([^\"]*)\",[0-9a-f]+ L\"([^\"]*)\"")
    set(from "${CMAKE_MATCH_1}")
    set(to "${CMAKE_MATCH_2}")
    if(to MATCHES "dataINF\\.txt$")
      list(FIND flushed "${from}" data_flushed)
      if(data_flushed EQUAL -1)
        message(FATAL_ERROR "the merged file was moved into place before its data was flushed")
      endif()
      set(moved_into_place ON)
    elseif(from MATCHES "dataINF1\\.txt$")
      if(NOT moved_into_place OR NOT rename_flushed)
        message(FATAL_ERROR "the first part was moved aside before the merged file was moved into place "
                            "and flushed (moved: ${moved_into_place}, flushed: ${rename_flushed})")
      endif()
      set(checked ON)
      break()
    endif()
  endif()
endforeach()
if(NOT checked)
  message(FATAL_ERROR "the trace shows no removal of the first part:\n${output}")
endif()
message("data flushed, moved into place, the move flushed, then the first part moved aside")
