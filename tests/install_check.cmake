# cmake -DSOURCE_DIR= -DBUILD_DIR= -DWORK= -DLIBDIR= -DSHARED= -DCOMPONENTS=qt,glib -DCXX= -DGENERATOR=
#   [-DLAUNCHER=] -P install_check.cmake
# Installs the build under WORK/prefix, a prefix chosen only now, then: the consumers of
# consumer/consumer_check.cmake build and run against it, and the installed xrf runs its demo
# from WORK on the installed samples, with no path of the tree compiled in and no
# LD_LIBRARY_PATH.
include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(PREFIX ${WORK}/prefix)
xr_run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --strip)

include(${CMAKE_CURRENT_LIST_DIR}/consumer/consumer_check.cmake)

# The installed tool, found by nothing but its own run path.
xr_run(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${PREFIX}/bin/xrf demo)
if(NOT run_output MATCHES "samples: ${PREFIX}/share/xrfoundation/samples\\)" OR
   NOT run_output MATCHES "Outcome: success")
  message(FATAL_ERROR "the installed xrf demo did not run on the installed samples:\n${run_output}")
endif()
file(STRINGS ${PREFIX}/bin/xrf tree_paths REGEX "${SOURCE_DIR}/samples|${BUILD_DIR}")
if(tree_paths)
  message(FATAL_ERROR "the installed xrf holds paths of the build: ${tree_paths}")
endif()
foreach(file share/man/man1/xrf.1.gz share/bash-completion/completions/xrf)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
message(STATUS "installed under ${PREFIX}: consumers and xrf demo work")
