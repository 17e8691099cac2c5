# cmake -DSOURCE_DIR= -DWORK= -DPREFIX= -DLIBDIR= -DSHARED= -DCOMPONENTS=qt,glib -DCXX=
#   -DGENERATOR= [-DLAUNCHER=] -P consumer_check.cmake
# Builds and runs the consumers of an XRFoundation installed under PREFIX, as applications do:
# the core and each component of COMPONENTS, once through the CMake package and once through
# pkg-config (with --static for a static library). A consumer names only the target or the
# pkg-config module it uses. Also included by install_check.cmake, with its variables.
include(${CMAKE_CURRENT_LIST_DIR}/../check_common.cmake)
file(MAKE_DIRECTORY ${WORK})
# Commas on the command line, since a list's semicolons do not survive add_test and xr_run.
set(components_arg "${COMPONENTS}")
string(REPLACE "," ";" COMPONENTS "${COMPONENTS}")

# xr_run_consumer(PROGRAM [ARGS...]): runs it and checks that it reports success.
function(xr_run_consumer program)
  xr_run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${PREFIX}/${LIBDIR} ${program} ${ARGN})
  if(NOT run_output MATCHES "(: ok|outcome: success)\n")
    message(FATAL_ERROR "${program} did not succeed:\n${run_output}")
  endif()
endfunction()

set(example_args --tasks 3 --step-ms 2)

# CMake package
xr_run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK}/cmake_consumer
  ${xr_compiler_args} -DCMAKE_PREFIX_PATH=${PREFIX} -DXRF_EXPECTED_PREFIX=${PREFIX}
  -DXRF_COMPONENTS=${components_arg})
xr_run(${CMAKE_COMMAND} --build ${WORK}/cmake_consumer)
xr_run_consumer(${WORK}/cmake_consumer/consumer)
file(GLOB core_examples ${SOURCE_DIR}/examples/*.cpp)
foreach(example IN LISTS core_examples)
  get_filename_component(name ${example} NAME_WE)
  xr_run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${PREFIX}/${LIBDIR}
    ${WORK}/cmake_consumer/example_${name})
endforeach()
foreach(component IN LISTS COMPONENTS)
  xr_run_consumer(${WORK}/cmake_consumer/${component}_consumer ${example_args})
endforeach()

# The Qt Widgets import example, a project of its own as an application's is: built against this
# installation and run on the sample address book without a display.
list(FIND COMPONENTS qt qt_index)
if(NOT qt_index EQUAL -1)
  xr_run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/qt_import -B ${WORK}/qt_import
    ${xr_compiler_args} -DCMAKE_PREFIX_PATH=${PREFIX})
  xr_run(${CMAKE_COMMAND} --build ${WORK}/qt_import)
  xr_run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${PREFIX}/${LIBDIR} QT_QPA_PLATFORM=offscreen
    ${WORK}/qt_import/qt_import --check --rows 12 --shared 3 ${SOURCE_DIR}/samples/contacts.csv)
endif()

# pkg-config
set(ENV{PKG_CONFIG_PATH} ${PREFIX}/${LIBDIR}/pkgconfig)
foreach(variable prefix:${PREFIX} includedir:${PREFIX}/include libdir:${PREFIX}/${LIBDIR})
  string(REPLACE ":" ";" pair ${variable})
  list(GET pair 0 name)
  list(GET pair 1 expected)
  xr_run(pkg-config --variable=${name} xrfoundation)
  string(STRIP "${run_output}" value)
  xr_expect("${value}" "${expected}" "pkg-config ${name}")
endforeach()
# Consumers get the include path, never the defines of what the library uses inside.
xr_run(pkg-config --cflags xrfoundation)
string(STRIP "${run_output}" value)
if(NOT value MATCHES "^(-I[^ ]+)?$")
  message(FATAL_ERROR "pkg-config --cflags xrfoundation passes more than the include path: ${value}")
endif()
set(static_flag --static)
if(SHARED)
  set(static_flag "")
endif()
set(pc_programs xrfoundation:${SOURCE_DIR}/tests/consumer/consumer.cpp)
foreach(component IN LISTS COMPONENTS)
  list(APPEND pc_programs
    xrfoundation-${component}:${SOURCE_DIR}/examples/${component}_progress/main.cpp)
endforeach()
foreach(program IN LISTS pc_programs)
  string(REGEX MATCH "^[^:]+" module ${program})
  string(REGEX REPLACE "^[^:]+:" "" source ${program})
  xr_run(pkg-config --cflags --libs ${static_flag} ${module})
  separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
  xr_run(${CXX} -std=c++20 -fPIC ${source} ${pc_flags} -o ${WORK}/pkgconfig_${module})
  if(module STREQUAL "xrfoundation")
    xr_run_consumer(${WORK}/pkgconfig_${module})
  else()
    xr_run_consumer(${WORK}/pkgconfig_${module} ${example_args})
  endif()
endforeach()
message(STATUS "consumers of ${PREFIX} (core ${COMPONENTS}) build and run with CMake and pkg-config")
