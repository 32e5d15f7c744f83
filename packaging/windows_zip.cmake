# Packs the 32-bit and the 64-bit pagefields.dll with a short readme into one .zip.
# Build both DLLs first (cmake --workflow --preset mingw32, and mingw64), then, from the
# source folder:
#   cmake -P packaging/windows_zip.cmake
# Optional: -DDLL32=... -DDLL64=... (the DLLs), -DOUTPUT_DIR=... (default build/).
cmake_minimum_required(VERSION 3.25)
get_filename_component(source_dir ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
if(NOT DEFINED DLL32)
  set(DLL32 ${source_dir}/build-mingw32/plugin/pagefields.dll)
endif()
if(NOT DEFINED DLL64)
  set(DLL64 ${source_dir}/build-mingw64/plugin/pagefields.dll)
endif()
if(NOT DEFINED OUTPUT_DIR)
  set(OUTPUT_DIR ${source_dir}/build)
endif()

file(STRINGS ${source_dir}/CMakeLists.txt project_line REGEX "^project\\(pagefields VERSION ")
string(REGEX REPLACE ".* VERSION ([0-9.]+).*" "\\1" version "${project_line}")

# Refuses a missing DLL or one built for the other architecture: the PE header's machine
# field is 0x014C for 32-bit x86 and 0x8664 for x86-64.
function(check_machine dll expected)
  if(NOT EXISTS ${dll})
    message(FATAL_ERROR "${dll} is missing; build it with its mingw workflow preset")
  endif()
  file(READ ${dll} pe_offset OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" pe_offset "${pe_offset}")
  math(EXPR machine_offset "${pe_offset} + 4")
  file(READ ${dll} machine OFFSET ${machine_offset} LIMIT 2 HEX)
  string(REGEX REPLACE "(..)(..)" "\\2\\1" machine "${machine}")
  if(NOT machine STREQUAL expected)
    message(FATAL_ERROR "${dll} is built for machine ${machine}, not ${expected}")
  endif()
endfunction()
check_machine(${DLL32} "014c")
check_machine(${DLL64} "8664")

set(name pagefields-${version}-windows)
set(stage ${OUTPUT_DIR}/${name}.stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/${name}/32-bit ${stage}/${name}/64-bit)
file(COPY_FILE ${DLL32} ${stage}/${name}/32-bit/pagefields.dll)
file(COPY_FILE ${DLL64} ${stage}/${name}/64-bit/pagefields.dll)
# The symbols are for debugging only; the exports and the version resource stay.
foreach(edition IN ITEMS "32-bit;i686" "64-bit;x86_64")
  list(GET edition 0 folder)
  list(GET edition 1 cpu)
  find_program(strip_${cpu} ${cpu}-w64-mingw32-strip)
  if(strip_${cpu})
    execute_process(COMMAND ${strip_${cpu}} ${stage}/${name}/${folder}/pagefields.dll
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
set(VERSION ${version})
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-readme.txt ${stage}/${name}/README.txt
  @ONLY NEWLINE_STYLE CRLF)

set(zip ${OUTPUT_DIR}/${name}.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${name}
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE result)
file(REMOVE_RECURSE ${stage})
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not write ${zip}")
endif()
message(STATUS "wrote ${zip}")
