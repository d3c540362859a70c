# The product's names and version, for the resource scripts (through the
# generated header talvex_version.h) and for makensis (through /D options).
# The number itself is the project's VERSION in the top-level CMakeLists.txt.
include_guard(GLOBAL)

set(TALVEX_PRODUCT_NAME "Talvex context menus")
set(TALVEX_COMPANY_NAME "Talvex")
set(TALVEX_COPYRIGHT "Copyright (C) 2026 Talvex")

set(TALVEX_VERSION_INCLUDE_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/talvex_version.h.in"
               "${TALVEX_VERSION_INCLUDE_DIR}/talvex_version.h" @ONLY)

# talvex_version_resource(<target> <resource-script>)
# Adds the .rc to the target; it may include talvex_version.h and
# talvex_version.rc (the VERSIONINFO block both DLLs share).
function(talvex_version_resource target rc)
  enable_language(RC)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE
    "${TALVEX_VERSION_INCLUDE_DIR}" "${PROJECT_SOURCE_DIR}/cmake")
  # windres does not see a change of the generated header on its own.
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
    "${TALVEX_VERSION_INCLUDE_DIR}/talvex_version.h" "${PROJECT_SOURCE_DIR}/cmake/talvex_version.rc")
endfunction()
