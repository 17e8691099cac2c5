# The Windows x64 build (preset windows: MinGW-w64 from cmake/mingw-w64-x86_64.cmake, programs
# run under Wine). Included by the top-level CMakeLists.txt when WIN32, before any target.
#
# - Every program goes to bin/, beside the DLL and the compiler's run-time DLLs, as it would be
#   installed: Windows finds a program's DLLs in its own folder.
# - One CTest test per test program, not per test case (XR_ONE_TEST_PER_PROGRAM, read by
#   xr_add_test): each program start under Wine costs seconds, and listing the cases
#   (gtest_discover_tests) would start each program once more.
# - The tests share one Wine prefix in the build folder (wine/) and one persistent wineserver,
#   which cmake/windows/wine_run.sh starts and which ends shortly after the last program.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
# The compiler's run-time DLLs that the programs load (the ZIP ships them; the notices check
# reads the same list).
set(xrf_runtime_dll_list ${CMAKE_CURRENT_LIST_DIR}/windows/runtime_dlls.txt)
file(STRINGS ${xrf_runtime_dll_list} xrf_runtime_dlls REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${xrf_runtime_dll_list})
foreach(dll IN LISTS xrf_runtime_dlls)
  find_file(xrf_runtime_${dll} ${dll} PATHS ${XRF_MINGW_DLL_DIRS} NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(COPY ${xrf_runtime_${dll}} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  list(APPEND XRF_MINGW_RUNTIME_DLLS ${xrf_runtime_${dll}})
endforeach()

set(XRF_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine)
set(XRF_WINE_RUN ${CMAKE_COMMAND} -E env WINEPREFIX=${XRF_WINE_PREFIX}
  ${PROJECT_SOURCE_DIR}/cmake/windows/wine_run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${XRF_WINE_RUN})

enable_language(RC)  # xrf.exe's manifest

# xr_add_test makes each test program one CTest test (see above).
set(XR_ONE_TEST_PER_PROGRAM ON)

if(XRF_BUILD_TESTS)
  # The ZIP (cpack) builds and runs a consumer under Wine.
  set(xrf_zip_args -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DWORK=${PROJECT_BINARY_DIR}/tests/zip_check -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE}
    -DGENERATOR=${CMAKE_GENERATOR} -DLAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    -DCXX=${CMAKE_CXX_COMPILER})
  add_test(NAME BuildCheck.WindowsZipServesConsumers
    COMMAND ${CMAKE_COMMAND} ${xrf_zip_args} -DWINEPREFIX=${XRF_WINE_PREFIX}
      -DWINE_RUN=${PROJECT_SOURCE_DIR}/cmake/windows/wine_run.sh
      -P ${PROJECT_SOURCE_DIR}/tests/windows_zip_check.cmake)
  set_tests_properties(BuildCheck.WindowsZipServesConsumers PROPERTIES
    LABELS "tests;build" TIMEOUT 900)
endif()
