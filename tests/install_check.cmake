# cmake -DSOURCE_DIR= -DBUILD_DIR= -DWORK= -DLIBDIR= -DSHARED= -DCXX= -DGENERATOR= [-DLAUNCHER=]
#   -P install_check.cmake
# Installs the build under WORK/prefix, a prefix chosen only now, then: the pkg-config file
# names that prefix and builds a consumer, the CMake package builds one too, and the installed
# xrf runs its demo from WORK on the installed samples, with no path of the tree compiled in.
include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(prefix ${WORK}/prefix)
xr_run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --strip)
# The shared library is found by the loader, as it would be in a system directory.
set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})

# pkg-config
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
foreach(variable prefix:${prefix} includedir:${prefix}/include libdir:${prefix}/${LIBDIR})
  string(REPLACE ":" ";" pair ${variable})
  list(GET pair 0 name)
  list(GET pair 1 expected)
  xr_run(pkg-config --variable=${name} xrfoundation)
  string(STRIP "${run_output}" value)
  xr_expect("${value}" "${expected}" "pkg-config ${name}")
endforeach()
set(static_flag --static)
if(SHARED)
  set(static_flag "")
endif()
xr_run(pkg-config --cflags --libs ${static_flag} xrfoundation)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
xr_run(${CXX} -std=c++20 ${SOURCE_DIR}/tests/consumer/consumer.cpp ${pc_flags}
  -o ${WORK}/pkgconfig_consumer)
xr_run(${WORK}/pkgconfig_consumer)

# CMake package
xr_run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK}/cmake_consumer
  ${xr_compiler_args} -DCMAKE_PREFIX_PATH=${prefix} -DXRF_EXPECTED_PREFIX=${prefix})
xr_run(${CMAKE_COMMAND} --build ${WORK}/cmake_consumer)
xr_run(${WORK}/cmake_consumer/consumer)

# The installed tool
xr_run(${prefix}/bin/xrf demo)
if(NOT run_output MATCHES "samples: ${prefix}/share/xrfoundation/samples\\)" OR
   NOT run_output MATCHES "Outcome: success")
  message(FATAL_ERROR "the installed xrf demo did not run on the installed samples:\n${run_output}")
endif()
file(STRINGS ${prefix}/bin/xrf tree_paths REGEX "${SOURCE_DIR}/samples|${BUILD_DIR}")
if(tree_paths)
  message(FATAL_ERROR "the installed xrf holds paths of the build: ${tree_paths}")
endif()
foreach(file share/man/man1/xrf.1.gz share/bash-completion/completions/xrf)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
message(STATUS "installed under ${prefix}: pkg-config, CMake package and xrf demo work")
