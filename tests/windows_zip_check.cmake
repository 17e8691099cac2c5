# cmake -DSOURCE_DIR= -DBUILD_DIR= -DWORK= -DTOOLCHAIN= -DGENERATOR= [-DLAUNCHER=] -DCXX=
#   -DWINE_RUN=cmake/windows/wine_run.sh -DWINEPREFIX= -P windows_zip_check.cmake
# The Windows ZIP as a user gets it: cpack makes it, it is unpacked, its files and licence
# notices are there, consumers of the core and of the win32 component (the win32_progress
# example) are built against it with the MinGW toolchain through find_package(XRFoundation) (and
# the component's also through its pkg-config file, taken where it lies), and they and xrf.exe
# demo run from the unpacked folder under Wine.
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
             README.md bin/libstdc++-6.dll
             lib/libxr_win32.a include/xrfoundation/integration/win32_main_thread.h
             lib/cmake/XRFoundation/XRFoundationWin32Targets.cmake
             lib/pkgconfig/xrfoundation-win32.pc)
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
  -DXRFoundation_DIR=${root}/lib/cmake/XRFoundation -DXRF_EXPECTED_PREFIX=${root}
  -DXRF_COMPONENTS=win32)
xr_run(${CMAKE_COMMAND} --build ${WORK}/consumer)
# Beside the DLL, where Windows looks for a program's DLLs.
file(COPY ${WORK}/consumer/consumer.exe ${WORK}/consumer/win32_consumer.exe
  DESTINATION ${root}/bin)
xr_run(${RUN} ${root}/bin/consumer.exe)
# The Win32 component's consumer: the win32_progress example, run in its message loop.
set(ENV{PKG_CONFIG_LIBDIR} ${root}/lib/pkgconfig)
xr_run(pkg-config --define-prefix --cflags --libs xrfoundation-win32)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
xr_run(${CXX} -std=c++20 ${SOURCE_DIR}/examples/win32_progress/main.cpp ${pc_flags}
  -o ${root}/bin/win32_pkgconfig_consumer.exe)
foreach(program win32_consumer win32_pkgconfig_consumer)
  xr_run(${RUN} ${root}/bin/${program}.exe --tasks 3 --step-ms 2)
  if(NOT run_output MATCHES "outcome: success")
    message(FATAL_ERROR "the ZIP's ${program} did not succeed:\n${run_output}")
  endif()
endforeach()
xr_run(${RUN} ${root}/bin/xrf.exe demo)
if(NOT run_output MATCHES "Outcome: success")
  message(FATAL_ERROR "xrf.exe demo from the ZIP did not succeed:\n${run_output}")
endif()
message(STATUS "the ZIP's consumers and xrf.exe demo ran from ${root}")
