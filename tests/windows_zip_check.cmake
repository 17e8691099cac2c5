# cmake -DSOURCE_DIR= -DBUILD_DIR= -DWORK= -DTOOLCHAIN= -DGENERATOR= [-DLAUNCHER=]
#   -DWINE_RUN=cmake/windows/wine_run.sh -DWINEPREFIX= -P windows_zip_check.cmake
# The Windows ZIP as a user gets it: cpack makes it, it is unpacked, its files and licence
# notices are there, a consumer is built against it with the MinGW toolchain through
# find_package(XRFoundation), and the consumer and xrf.exe demo run from the unpacked folder
# under Wine.
include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)
set(RUN ${CMAKE_COMMAND} -E env WINEPREFIX=${WINEPREFIX} ${WINE_RUN})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
xr_run(cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK}/zip)
file(GLOB zip ${WORK}/zip/*.zip)
xr_run(${CMAKE_COMMAND} -E tar xf ${zip})
file(GLOB root LIST_DIRECTORIES true ${WORK}/XRFoundation-*)
foreach(file bin/xrf.exe bin/libxrfoundation.dll lib/libxrfoundation.dll.a lib/libxrfoundation.a
             include/xrfoundation/export.h lib/cmake/XRFoundation/XRFoundationConfig.cmake
             README.md bin/libstdc++-6.dll)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "not in the ZIP: ${file}")
  endif()
endforeach()
# Our licence and the third-party notices, as the tree has them.
foreach(file LICENSE packaging/THIRD_PARTY_NOTICES)
  get_filename_component(name ${file} NAME)
  if(NOT EXISTS ${root}/${name})
    message(FATAL_ERROR "not in the ZIP: ${name}")
  endif()
  file(READ ${root}/${name} shipped)
  file(READ ${SOURCE_DIR}/${file} expected)
  if(NOT shipped STREQUAL expected)
    message(FATAL_ERROR "the ZIP's ${name} differs from ${file}")
  endif()
endforeach()

set(consumer_args -G ${GENERATOR} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
if(LAUNCHER)
  list(APPEND consumer_args -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
xr_run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK}/consumer ${consumer_args}
  -DXRFoundation_DIR=${root}/lib/cmake/XRFoundation -DXRF_EXPECTED_PREFIX=${root})
xr_run(${CMAKE_COMMAND} --build ${WORK}/consumer)
# Beside the DLL, where Windows looks for a program's DLLs.
file(COPY ${WORK}/consumer/consumer.exe DESTINATION ${root}/bin)
xr_run(${RUN} ${root}/bin/consumer.exe)
# The same consumer on the static library, all of whose objects it links: it links with what the
# library's dependencies name, and runs without loading the DLL (the compiler's run-time DLLs
# are those of bin/).
xr_run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK}/static_consumer
  ${consumer_args} -DXRFoundation_DIR=${root}/lib/cmake/XRFoundation -DXRF_EXPECTED_PREFIX=${root}
  -DXRF_CORE_TARGET=xrfoundation_static -DXRF_LINK_WHOLE=ON)
xr_run(${CMAKE_COMMAND} --build ${WORK}/static_consumer)
xr_run(objdump -p ${WORK}/static_consumer/consumer.exe)
if(run_output MATCHES "DLL Name: libxrfoundation")
  message(FATAL_ERROR "the consumer of xrfoundation_static loads the DLL:\n${run_output}")
endif()
file(COPY_FILE ${WORK}/static_consumer/consumer.exe ${root}/bin/static_consumer.exe)
xr_run(${RUN} ${root}/bin/static_consumer.exe)
xr_run(${RUN} ${root}/bin/xrf.exe demo)
if(NOT run_output MATCHES "Outcome: success")
  message(FATAL_ERROR "xrf.exe demo from the ZIP did not succeed:\n${run_output}")
endif()
message(STATUS "the ZIP's consumer and xrf.exe demo ran from ${root}")
