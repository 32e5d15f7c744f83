# Installs the build into a fresh prefix and makes the Debian package, then checks that both
# hold the plugin, its public header, the pagefields program and its man page.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -P install_test.cmake
file(REMOVE_RECURSE ${SCRATCH})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(expected lib/pagefields/libpagefields.so include/pagefields/content_plugin.h bin/pagefields
  share/man/man1/pagefields.1)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${SCRATCH}/prefix)
foreach(file IN LISTS expected)
  if(NOT EXISTS ${SCRATCH}/prefix/${file})
    message(FATAL_ERROR "cmake --install did not install ${file}")
  endif()
endforeach()
run(${SCRATCH}/prefix/bin/pagefields --version)
if(NOT run_output MATCHES "^pagefields [0-9.]+\n$")
  message(FATAL_ERROR "the installed program answers --version with: ${run_output}")
endif()

run(cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}/package)
file(GLOB packages ${SCRATCH}/package/pagefields_*.deb)
list(LENGTH packages package_count)
if(NOT package_count EQUAL 1)
  message(FATAL_ERROR "cpack made ${package_count} .deb files")
endif()
run(dpkg-deb --contents ${packages})
foreach(file IN LISTS expected)
  if(NOT run_output MATCHES " \\./usr/${file}\n")
    message(FATAL_ERROR "the package lacks /usr/${file}:\n${run_output}")
  endif()
endforeach()
