# The project's target helpers, included once by the top-level CMakeLists.txt:
#   xr_add_library   a part of libxrfoundation, or an installed component (COMPONENT)
#   xr_add_test      a GoogleTest program and its CTest tests
#   xr_describe_dependency, xr_link_fields, xr_install_pkg_config
#                    what a consumer needs for a dependency, and the pkg-config file that says it

set_property(GLOBAL PROPERTY XR_LIBRARIES "")

# xr_add_library(NAME SOURCES a.cpp ... HEADERS a.h ... [DEPS lib ...] [PRIVATE_DEPS lib ...]
#                [COMPONENT name [DESCRIPTION text]])
# A library of one folder of xrfoundation/, its HEADERS installed under
# include/xrfoundation/FOLDER. DEPS are what the headers need (public dependencies), PRIVATE_DEPS
# only what the sources need. Headers are reached from the source root as
# "xrfoundation/FOLDER/name.h", the same path an installed copy uses.
#
# Without COMPONENT: a part of libxrfoundation, an internal static library that is never
# installed. libxrfoundation is made of the object files of every part (CMakeLists.txt), and the
# tests, benchmarks and fuzz targets link the parts they exercise, which lets them reach the
# internal functions that the shared library hides. Every header of the folder but *_internal.h
# must be in HEADERS.
#
# With COMPONENT: an optional, installed static library over libxrfoundation, target
# XRFoundation::COMPONENT, found with find_package(XRFoundation COMPONENTS COMPONENT) from its own
# export set (XRFoundationComponentTargets.cmake, read by XRFoundationComponents.cmake), with a
# pkg-config file xrfoundation-COMPONENT whose Requires and Libs.private come from DEPS and
# PRIVATE_DEPS (xr_describe_dependency).
function(xr_add_library name)
  cmake_parse_arguments(ARG "" "COMPONENT;DESCRIPTION" "SOURCES;HEADERS;DEPS;PRIVATE_DEPS"
                        ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  add_library(${name} STATIC ${ARG_SOURCES} ${ARG_HEADERS})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<BUILD_INTERFACE:${XR_GENERATED_INCLUDE_DIR}>)
  target_compile_features(${name} PUBLIC cxx_std_20)
  target_compile_options(${name} PRIVATE ${XR_WARNING_FLAGS})
  install(FILES ${ARG_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/xrfoundation/${folder}
    COMPONENT dev)

  if(NOT ARG_COMPONENT)
    add_library(XRFoundation::${name} ALIAS ${name})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    # The same objects go into the shared library, where only what XR_EXPORT marks is visible.
    set_target_properties(${name} PROPERTIES
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON POSITION_INDEPENDENT_CODE ON)
    set_property(GLOBAL APPEND PROPERTY XR_LIBRARIES ${name})
    # A header left out of the list would be missing from the installed tree only.
    file(GLOB present RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER present EXCLUDE REGEX "_internal\\.h$")
    if(ARG_HEADERS)
      list(REMOVE_ITEM present ${ARG_HEADERS})
    endif()
    if(present)
      message(FATAL_ERROR "xrfoundation/${folder}: ${present} neither in ${name}'s HEADERS "
        "(installed) nor named *_internal.h")
    endif()
    return()
  endif()

  add_library(XRFoundation::${ARG_COMPONENT} ALIAS ${name})
  target_include_directories(${name} PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC xrfoundation ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  set_target_properties(${name} PROPERTIES EXPORT_NAME ${ARG_COMPONENT})
  # qt -> XRFoundationQtTargets
  string(SUBSTRING ${ARG_COMPONENT} 0 1 first)
  string(SUBSTRING ${ARG_COMPONENT} 1 -1 rest)
  string(TOUPPER ${first} first)
  set(export XRFoundation${first}${rest}Targets)
  install(TARGETS ${name} EXPORT ${export} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT dev)
  install(EXPORT ${export} NAMESPACE XRFoundation::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/XRFoundation COMPONENT dev)

  # A component is a static library: what it links, its users link, with or without --static.
  xr_link_fields(link PUBLIC xrfoundation ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  set(XR_PC_NAME xrfoundation-${ARG_COMPONENT})
  set(XR_PC_DESCRIPTION "${ARG_DESCRIPTION}")
  if(NOT XR_PC_DESCRIPTION)
    set(XR_PC_DESCRIPTION "XRFoundation's ${ARG_COMPONENT} component")
  endif()
  set(XR_PC_REQUIRES "${link_REQUIRES}")
  set(XR_PC_LIBS "${name} ${link_LIBS}")
  set(XR_PC_LIBS_PRIVATE "")
  set(XR_PC_CFLAGS "${link_CFLAGS}")
  xr_install_pkg_config(xrfoundation-${ARG_COMPONENT})
endfunction()

# xr_add_test(NAME [SOURCES ...] [DEPS lib ...] [LABELS ...] [TIMEOUT s])
# A test executable from NAME.cpp beside it (or SOURCES), labelled with its folder's name and
# LABELS, so that `ctest -L tasks` runs one subsystem. DEPS are parts (xr_tasks, ...) and the
# testing targets of SUBSYSTEM/testing/ (xr_platform_testing, xr_tasks_testing, ...); a test
# links parts or XRFoundation::xrfoundation, never both, since in a shared build that would give
# it two copies of the library's state.
# Each test case is a CTest test of its own, unless XR_ONE_TEST_PER_PROGRAM is set (the Windows
# build, cmake/windows.cmake): then the program is one test, and TIMEOUT covers all of it.
function(xr_add_test name)
  if(NOT XRF_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    set(ARG_SOURCES ${name}.cpp)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${XR_WARNING_FLAGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(labels ${folder} ${ARG_LABELS})
  if(XR_ONE_TEST_PER_PROGRAM)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT})
    return()
  endif()
  gtest_discover_tests(${name} TEST_LIST ${name}_TESTS PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
  # The labels are set once the cases are known: gtest_discover_tests would hand a list of them
  # on as separate words, and every label but the first would be lost.
  set(labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(CONFIGURE OUTPUT ${labels_script} CONTENT [[
if(@name@_TESTS)
  set_tests_properties(${@name@_TESTS} PROPERTIES LABELS "@labels@")
endif()
]] @ONLY)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_script})
endfunction()

# xr_describe_dependency(TARGET [PACKAGE find-arguments] [PC_MODULES module ...]
#                        [PC_LIBS flag ...] [PC_CFLAGS flag ...])
# What a consumer of an installed library needs for its dependency TARGET: the CMake package
# that defines TARGET (the arguments of find_dependency, e.g. "fmt CONFIG"); the pkg-config
# modules that provide it, for Requires when the dependency is public; else the linker flags
# that stand for it (and for a public one without modules the compiler flags its headers need).
function(xr_describe_dependency target)
  cmake_parse_arguments(ARG "" "" "PACKAGE;PC_MODULES;PC_LIBS;PC_CFLAGS" ${ARGN})
  set_target_properties(${target} PROPERTIES XR_PACKAGE "${ARG_PACKAGE}"
    XR_PC_MODULES "${ARG_PC_MODULES}" XR_PC_LIBS "${ARG_PC_LIBS}"
    XR_PC_CFLAGS "${ARG_PC_CFLAGS}")
endfunction()

# xr_link_fields(PREFIX PUBLIC dep ... PRIVATE dep ...)
# Sets PREFIX_REQUIRES (", "-separated pkg-config modules), PREFIX_LIBS and PREFIX_CFLAGS (flags,
# space-separated) for a library with these dependencies: a target as xr_describe_dependency
# described it, a library linked by plain name (pugixml, user32) as -lNAME. A target that was
# never described stops the configuration.
function(xr_link_fields prefix)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  set(requires "")
  set(libs "")
  set(cflags "")
  foreach(dep IN LISTS ARG_PUBLIC ARG_PRIVATE)
    if(NOT TARGET ${dep})
      list(APPEND libs -l${dep})
      continue()
    endif()
    get_target_property(described ${dep} XR_PC_MODULES)
    if(described STREQUAL "described-NOTFOUND")
      message(FATAL_ERROR "${dep}: say what a consumer needs for it (xr_describe_dependency)")
    endif()
    get_target_property(modules ${dep} XR_PC_MODULES)
    get_target_property(flags ${dep} XR_PC_LIBS)
    if(modules AND dep IN_LIST ARG_PUBLIC)
      list(APPEND requires ${modules})
    else()
      list(APPEND libs ${flags})
      if(dep IN_LIST ARG_PUBLIC)
        get_target_property(compile_flags ${dep} XR_PC_CFLAGS)
        list(APPEND cflags ${compile_flags})
      endif()
    endif()
  endforeach()
  foreach(field requires libs cflags)
    list(REMOVE_DUPLICATES ${field})
  endforeach()
  list(JOIN requires ", " requires)
  list(JOIN libs " " libs)
  list(JOIN cflags " " cflags)
  set(${prefix}_REQUIRES "${requires}" PARENT_SCOPE)
  set(${prefix}_LIBS "${libs}" PARENT_SCOPE)
  set(${prefix}_CFLAGS "${cflags}" PARENT_SCOPE)
endfunction()

# xr_install_pkg_config(NAME): NAME.pc from cmake/xrfoundation.pc.in with the XR_PC_* variables
# in scope: XR_PC_NAME, XR_PC_DESCRIPTION, XR_PC_REQUIRES, XR_PC_LIBS (the library's name and
# what follows it on Libs), XR_PC_LIBS_PRIVATE and XR_PC_CFLAGS (after -I${includedir}).
# The file names the prefix it is installed under, which is known only at install time
# (`cmake --install --prefix` and CPack choose it then), so it is written then from a template
# that has everything else. libdir and includedir follow the prefix unless they were given as
# absolute paths.
function(xr_install_pkg_config name)
  foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(XR_PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(XR_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  string(STRIP "${XR_PC_LIBS}" XR_PC_LIBS)
  if(XR_PC_CFLAGS)
    set(XR_PC_CFLAGS " ${XR_PC_CFLAGS}")
  endif()
  set(XR_PC_PREFIX "@XR_PC_PREFIX@")  # left for the install step
  configure_file(${PROJECT_SOURCE_DIR}/cmake/xrfoundation.pc.in
    ${PROJECT_BINARY_DIR}/${name}.pc.template @ONLY)
  install(CODE "
    set(XR_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(pc_dir \"${CMAKE_INSTALL_LIBDIR}/pkgconfig\")
    if(NOT IS_ABSOLUTE \"\${pc_dir}\")
      set(pc_dir \"\${CMAKE_INSTALL_PREFIX}/\${pc_dir}\")
    endif()
    set(pc_file \"\$ENV{DESTDIR}\${pc_dir}/${name}.pc\")
    message(STATUS \"Installing: \${pc_file}\")
    configure_file(\"${PROJECT_BINARY_DIR}/${name}.pc.template\" \"\${pc_file}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${pc_dir}/${name}.pc\")
    " COMPONENT dev)
endfunction()
