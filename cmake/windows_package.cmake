# The Windows package (preset windows): one ZIP with xrf.exe, the DLL with its import library,
# the static library, the headers, the CMake package, the README with its pages, the licence
# with the third-party notices and the compiler's run-time DLLs that the programs load. Included
# by cmake/packaging.cmake when WIN32.

# The static library beside the DLL: the same objects, libxrfoundation.a (the DLL's import
# library is libxrfoundation.dll.a), target XRFoundation::xrfoundation_static.
add_library(xrfoundation_static STATIC)
foreach(part IN LISTS xr_libraries)
  target_sources(xrfoundation_static PRIVATE $<TARGET_OBJECTS:${part}>)
endforeach()
target_link_libraries(xrfoundation_static PUBLIC Threads::Threads
  PRIVATE pugixml turbojpeg png uchardet utf8proc z ws2_32)
target_include_directories(xrfoundation_static PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
  $<BUILD_INTERFACE:${XR_GENERATED_INCLUDE_DIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(xrfoundation_static PUBLIC cxx_std_20)
set_target_properties(xrfoundation_static PROPERTIES OUTPUT_NAME xrfoundation
  LINKER_LANGUAGE CXX EXPORT_NAME xrfoundation_static)
install(TARGETS xrfoundation_static EXPORT XRFoundationTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES ${XRF_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT dev)
# The pages the README links to, in the same place relative to it.
file(GLOB xr_doc_pages ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${xr_doc_pages} DESTINATION docs COMPONENT dev)
# Our licence (MIT), and the licences of what the DLL links statically, the programs compile in
# and bin/ ships beside them.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/packaging/THIRD_PARTY_NOTICES
  DESTINATION . COMPONENT runtime)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME XRFoundation)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
