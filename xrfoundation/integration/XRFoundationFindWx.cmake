# wxWidgets' base library (wxBase) as the target XRFoundation::wxBase, which XRFoundation::wx
# links: found by CMake's FindwxWidgets (wx-config), which gives variables, not a target, before
# CMake 3.27. Used by the build and, installed, by the package's config for the wx component.
# Does nothing when wxWidgets is not found or the target exists already.
if(NOT TARGET XRFoundation::wxBase)
  find_package(wxWidgets QUIET COMPONENTS base)
  if(wxWidgets_FOUND)
    add_library(XRFoundation::wxBase INTERFACE IMPORTED GLOBAL)
    set_target_properties(XRFoundation::wxBase PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES "${wxWidgets_INCLUDE_DIRS}"
      INTERFACE_COMPILE_DEFINITIONS "${wxWidgets_DEFINITIONS}"
      INTERFACE_COMPILE_OPTIONS "${wxWidgets_CXX_FLAGS}"
      INTERFACE_LINK_LIBRARIES "${wxWidgets_LIBRARIES}")
  endif()
endif()
