# The optional components of the XRFoundation package: qt (XRFoundation::qt, Qt 6 QtCore), glib
# (XRFoundation::glib, glib-2.0 and gio-2.0), wx (XRFoundation::wx, wxWidgets' wxBase) and, on
# Windows, win32 (XRFoundation::win32, user32). Included by XRFoundationConfig.cmake after the
# core targets; sets XRFoundation_<component>_FOUND for each component asked for, which
# check_required_components() then checks.
foreach(_xr_component IN LISTS ${CMAKE_FIND_PACKAGE_NAME}_FIND_COMPONENTS)
  set(${CMAKE_FIND_PACKAGE_NAME}_${_xr_component}_FOUND FALSE)
  if(_xr_component STREQUAL "qt"
     AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/XRFoundationQtTargets.cmake")
    find_package(Qt6 QUIET COMPONENTS Core)
    if(Qt6_FOUND)
      include("${CMAKE_CURRENT_LIST_DIR}/XRFoundationQtTargets.cmake")
      set(${CMAKE_FIND_PACKAGE_NAME}_qt_FOUND TRUE)
    endif()
  elseif(_xr_component STREQUAL "glib"
         AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/XRFoundationGlibTargets.cmake")
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
      pkg_check_modules(XRF_GLIB QUIET IMPORTED_TARGET glib-2.0 gio-2.0)
    endif()
    if(XRF_GLIB_FOUND)
      include("${CMAKE_CURRENT_LIST_DIR}/XRFoundationGlibTargets.cmake")
      set(${CMAKE_FIND_PACKAGE_NAME}_glib_FOUND TRUE)
    endif()
  elseif(_xr_component STREQUAL "wx"
         AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/XRFoundationWxTargets.cmake")
    include("${CMAKE_CURRENT_LIST_DIR}/XRFoundationFindWx.cmake")
    if(TARGET XRFoundation::wxBase)
      include("${CMAKE_CURRENT_LIST_DIR}/XRFoundationWxTargets.cmake")
      set(${CMAKE_FIND_PACKAGE_NAME}_wx_FOUND TRUE)
    endif()
  elseif(_xr_component STREQUAL "win32"
         AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/XRFoundationWin32Targets.cmake")
    include("${CMAKE_CURRENT_LIST_DIR}/XRFoundationWin32Targets.cmake")
    set(${CMAKE_FIND_PACKAGE_NAME}_win32_FOUND TRUE)
  endif()
endforeach()
unset(_xr_component)
