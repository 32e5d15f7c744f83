# Packs the DLLs that the Windows workflows built and checks what the .zip holds. Without
# the DLLs it says it is skipped, unless CI=true makes that a failure.
#   cmake -DSOURCE_DIR=... -DSCRATCH=... -P windows_zip_test.cmake
foreach(bits 32 64)
  if(NOT EXISTS ${SOURCE_DIR}/build-mingw${bits}/plugin/pagefields.dll)
    if("$ENV{CI}" STREQUAL "true")
      message(FATAL_ERROR "build-mingw${bits}/plugin/pagefields.dll was not built")
    endif()
    message(STATUS "windows_zip skipped: build-mingw${bits}/plugin/pagefields.dll not built")
    return()
  endif()
endforeach()

file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} -DOUTPUT_DIR=${SCRATCH}
  -P ${SOURCE_DIR}/packaging/windows_zip.cmake COMMAND_ERROR_IS_FATAL ANY)
file(GLOB zips ${SCRATCH}/pagefields-*-windows.zip)
list(LENGTH zips zip_count)
if(NOT zip_count EQUAL 1)
  message(FATAL_ERROR "expected one .zip in ${SCRATCH}, found ${zip_count}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zips} OUTPUT_VARIABLE listing
  COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]*[^/\n]\n" files "${listing}")
list(TRANSFORM files REPLACE "^pagefields-[0-9.]+-windows/(.*)\n$" "\\1")
list(SORT files)
if(NOT files STREQUAL "32-bit/pagefields.dll;64-bit/pagefields.dll;README.txt")
  message(FATAL_ERROR "the .zip holds: ${listing}")
endif()
