# Whether this tree makes talvex-setup.exe, and from what: read by
# installer/CMakeLists.txt and by the installer's tests (whichever directory
# comes first). Sets TALVEX_BUILD_SETUP, TALVEX_SETUP (the file), MAKENSIS
# and the cache variable TALVEX_X86_64_BUILD_DIR.
#
# It is a 32-bit program (it has to start on 32-bit Windows too), so it is
# made in the i686 tree. It also carries the x86_64 DLLs, talvex.exe and the
# package (talvex.msix and talvex.cer), which come from the
# x86_64 build tree named by TALVEX_X86_64_BUILD_DIR (by default the sibling
# "x86_64" of this tree, as scripts/test-all lays them out: build/i686 and
# build/x86_64). Where that tree has not built its DLLs when this one is
# configured, the installer and its tests are left out, so that the i686
# tree builds alone; configuring again after the x86_64 build brings them in.
set(TALVEX_BUILD_SETUP OFF)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  get_filename_component(_talvex_default_x86_64 "${CMAKE_BINARY_DIR}/../x86_64" ABSOLUTE)
  set(TALVEX_X86_64_BUILD_DIR "${_talvex_default_x86_64}" CACHE PATH
      "The x86_64 build tree whose DLLs, talvex.exe and package the installer carries")
  find_program(MAKENSIS makensis)
  set(_talvex_x86_64_files "${TALVEX_X86_64_BUILD_DIR}/handler/korvane.dll"
                           "${TALVEX_X86_64_BUILD_DIR}/editor/quillon.dll"
                           "${TALVEX_X86_64_BUILD_DIR}/editor/app/talvex.exe"
                           "${TALVEX_X86_64_BUILD_DIR}/package/talvex.msix"
                           "${TALVEX_X86_64_BUILD_DIR}/package/talvex.cer")
  set(_talvex_missing)
  foreach(_file IN LISTS _talvex_x86_64_files)
    if(NOT EXISTS "${_file}")
      list(APPEND _talvex_missing "${_file}")
    endif()
  endforeach()
  if(MAKENSIS AND NOT _talvex_missing)
    set(TALVEX_BUILD_SETUP ON)
  elseif(MAKENSIS)
    get_property(_talvex_told GLOBAL PROPERTY _talvex_setup_left_out_told)
    if(NOT _talvex_told)
      set_property(GLOBAL PROPERTY _talvex_setup_left_out_told TRUE)
      list(JOIN _talvex_missing ", " _talvex_missing_text)
      message(STATUS "talvex-setup.exe is left out: it needs ${_talvex_missing_text}. Build "
        "the x86_64 tree (or set TALVEX_X86_64_BUILD_DIR to one), then configure this tree "
        "again.")
    endif()
  endif()
endif()
set(TALVEX_SETUP "${CMAKE_BINARY_DIR}/installer/talvex-setup.exe")
