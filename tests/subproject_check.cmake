# cmake -DSOURCE_DIR= -DWORK= -DCXX= -DGENERATOR= [-DLAUNCHER=] -P subproject_check.cmake
# Configures tests/subproject (this tree under add_subdirectory) with GoogleTest, Google
# Benchmark and CLI11 out of reach, then builds and runs its consumer of the library.
include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
xr_run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/subproject -B ${WORK}/build ${xr_compiler_args}
  -DCMAKE_BUILD_TYPE=Release -DXRF_SOURCE_DIR=${SOURCE_DIR}
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
  -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON)
xr_run(${CMAKE_COMMAND} --build ${WORK}/build --target consumer)
xr_run(${WORK}/build/consumer)
message(STATUS "${run_output}")
