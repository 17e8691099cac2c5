# Debian packages (cpack -G DEB in a shared build, as scripts/package.sh does), one per install
# component:
#   libxrfoundation0     runtime  the shared library
#   libxrfoundation-dev  dev      headers, the .so link, the CMake package, the pkg-config file
#   xrf                  tool     the command-line tool, its samples, man page and completion
# Only the top-level project sets CPack up: a project embedding this one packages itself.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_package.cmake)  # a ZIP instead
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xrfoundation)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR XRFoundation)
set(CPACK_PACKAGE_CONTACT "XRFoundation developers <xrfoundation@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Foundation library of the phone-manager desktop application")
# SPDX-License-Identifier: MIT. Debian's control file has no licence field: each package says it
# in /usr/share/doc/PACKAGE/copyright (below); the Windows ZIP carries LICENSE.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# What the binaries link (libstdc++, spdlog, pugixml, ...) comes from dpkg-shlibdeps; the
# runtime package declares its own shared library for the packages built against it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libxrfoundation${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Foundation library of the phone-manager desktop application
 Tasks with progress and cancellation, event delivery to the main thread, contacts and vCard,
 CSV and vCard readers, telephone number comparison and device XML messages.")

# The dev package brings what the pkg-config file names: the exact runtime library, and
# spdlog's development files (Requires.private, which pkg-config resolves on every query; they
# bring fmt's). The installed headers name neither.
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libxrfoundation-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libspdlog-dev")
# The Qt, GLib and wxWidgets adapters, when built, are in it too; their users bring those
# toolkits.
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "qt6-base-dev, libglib2.0-dev, libwxgtk3.2-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Development files of the XRFoundation library
 Headers, the CMake package (find_package(XRFoundation), target XRFoundation::xrfoundation)
 and the pkg-config file (xrfoundation) for programs using libxrfoundation.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME xrf)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DESCRIPTION
  "Command-line tool of the XRFoundation library
 xrf converts contact CSV files to vCard, finds duplicate numbers, splits and counts vCard
 files, compares telephone numbers, reads device XML messages and runs a demo on sample data.")

# Each package's /usr/share/doc/PACKAGE/copyright, in Debian's machine-readable format: our code
# (MIT) and the other projects' code that the binaries compile in (packaging/copyright).
foreach(component RUNTIME DEV TOOL)
  string(TOLOWER ${component} name)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${component}_PACKAGE_NAME}
    COMPONENT ${name})
endforeach()

include(CPack)
