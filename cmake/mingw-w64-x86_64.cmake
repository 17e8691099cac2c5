# Cross-building for Windows x64 on Debian with MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# posix thread model, which std::thread and std::mutex need). Programs run under Wine
# (cmake/windows/wine_run.sh), so the tests run from ctest as on Linux.
#
# The dependencies that must be compiled for Windows come from scripts/windows_deps.sh, which
# builds Debian's sources into a folder named after the hash of cmake/windows/dependencies.txt;
# XRF_WINDOWS_DEPS (a cache variable or the environment's) names another folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(XRF_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${XRF_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${XRF_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${XRF_MINGW_TRIPLET}-windres)

if(NOT XRF_WINDOWS_DEPS AND DEFINED ENV{XRF_WINDOWS_DEPS})
  set(XRF_WINDOWS_DEPS $ENV{XRF_WINDOWS_DEPS})
endif()
if(NOT XRF_WINDOWS_DEPS)
  file(SHA256 ${CMAKE_CURRENT_LIST_DIR}/windows/dependencies.txt xrf_deps_hash)
  string(SUBSTRING "${xrf_deps_hash}" 0 12 xrf_deps_hash)
  set(XRF_WINDOWS_DEPS /var/cache/xrfoundation/mingw-${xrf_deps_hash})
  if(NOT EXISTS ${XRF_WINDOWS_DEPS}/.complete)
    message(FATAL_ERROR "No Windows dependencies in ${XRF_WINDOWS_DEPS}: run scripts/setup.sh")
  endif()
endif()
set(XRF_WINDOWS_DEPS ${XRF_WINDOWS_DEPS} CACHE PATH "The Windows build's dependency folder")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES XRF_WINDOWS_DEPS)

# Look for libraries and packages in the MinGW sysroot and the dependency folder only; for
# programs (python3, gzip) on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${XRF_MINGW_TRIPLET} ${XRF_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Libraries linked by plain name (pugixml, png, turbojpeg) and their headers.
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${XRF_WINDOWS_DEPS}/include)
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${XRF_WINDOWS_DEPS}/include)
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -L${XRF_WINDOWS_DEPS}/lib")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -L${XRF_WINDOWS_DEPS}/lib")
string(APPEND CMAKE_MODULE_LINKER_FLAGS_INIT " -L${XRF_WINDOWS_DEPS}/lib")

# The folders of the compiler's own DLLs (libstdc++-6, libgcc_s_seh-1, libwinpthread-1), which
# programs load at run time; Wine finds them through WINEPATH, the package ships copies.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE xrf_libstdcxx_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(xrf_gcc_dll_dir "${xrf_libstdcxx_dll}" DIRECTORY)
set(XRF_MINGW_DLL_DIRS ${xrf_gcc_dll_dir} /usr/${XRF_MINGW_TRIPLET}/lib)

# Wine runs the programs; the project's build gives the runner its prefix (cmake/windows.cmake).
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/windows/wine_run.sh)
endif()
