# Whether this tree makes talvex-setup.exe, and from what: read by
# installer/CMakeLists.txt and by the installer's tests (whichever directory
# comes first). Sets TALVEX_BUILD_SETUP, TALVEX_SETUP (the file), MAKENSIS
# and the cache variable TALVEX_X86_64_BUILD_DIR.
#
# It is a 32-bit program (it has to start on 32-bit Windows too), so it is
# made in the i686 tree. It also carries the x86_64 DLLs, which come from the
# x86_64 build tree named by TALVEX_X86_64_BUILD_DIR (by default the sibling
# "x86_64" of this tree, as scripts/test-all lays them out: build/i686 and
# build/x86_64): build that tree first.
set(TALVEX_BUILD_SETUP OFF)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(MAKENSIS makensis)
  if(MAKENSIS)
    set(TALVEX_BUILD_SETUP ON)
  endif()
  get_filename_component(_talvex_default_x86_64 "${CMAKE_BINARY_DIR}/../x86_64" ABSOLUTE)
  set(TALVEX_X86_64_BUILD_DIR "${_talvex_default_x86_64}" CACHE PATH
      "The x86_64 build tree whose korvane.dll and quillon.dll the installer carries")
endif()
set(TALVEX_SETUP "${CMAKE_BINARY_DIR}/installer/talvex-setup.exe")
