# The Wine tests of quillon.dll: its page in Wine's own Properties dialog
# (with korvane.dll registered too, whose menus set the background flag and
# show what a save wrote), a save the registry refuses, and its COM server,
# registration and unloading.
if(TARGET quillon)
  # Hosts quillon.dll in a process of its own: what it frees as the module
  # or the process ends, and saves from a page of its own.
  add_executable(quillon_host quillon_host.cpp)
  target_link_libraries(quillon_host PRIVATE ${HOST_LIBRARIES} comctl32)

  foreach(test quillon_page_test quillon_server_test quillon_action_test
      quillon_icon_picker_test quillon_refused_save_test)
    add_executable(${test} ${test}.cpp)
    target_link_libraries(${test} PRIVATE doctest_main ${HOST_LIBRARIES} comctl32 comdlg32)
    add_dependencies(${test} quillon korvane quillon_host)
    add_wine_test(${test} ${test} REGISTER quillon korvane PATHS quillon_host
      ARGS "--test-case-exclude=*32-bit and 64-bit*")
  endforeach()

  # The 32-bit and 64-bit editors saving at one moment, in a 64-bit prefix:
  # the i686 tree, once the x86_64 tree has built its host.
  include(${PROJECT_SOURCE_DIR}/installer/SetupSettings.cmake)
  set(other_host "${TALVEX_X86_64_BUILD_DIR}/tests/wine/quillon_host.exe")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS "${other_host}")
    add_wine_test(quillon_bitness_test quillon_page_test ARCH win64 PATHS quillon quillon_host
      ARGS "--test-case=*32-bit and 64-bit*")
    set_property(TEST quillon_bitness_test APPEND PROPERTY ENVIRONMENT
      "TEST_PATH_OTHER_QUILLON_HOST=${other_host}"
      "TEST_PATH_OTHER_QUILLON=${TALVEX_X86_64_BUILD_DIR}/editor/quillon.dll")
  elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
    message(STATUS "quillon_bitness_test is left out: it needs ${other_host}. Build the x86_64 "
      "tree, then configure this tree again.")
  endif()

  # Drive pages: C: is a fixed drive in every prefix, R: a CD drive in this
  # test's own. talvex.exe opens the page of any kind in a sheet of its own.
  add_executable(quillon_drive_test quillon_drive_test.cpp)
  target_link_libraries(quillon_drive_test PRIVATE doctest_main ${HOST_LIBRARIES} comctl32)
  add_dependencies(quillon_drive_test quillon korvane talvex)
  add_wine_test(quillon_drive_test quillon_drive_test REGISTER quillon korvane PATHS talvex
    CD_DRIVE r)
endif()
