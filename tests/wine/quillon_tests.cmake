# The Wine tests of quillon.dll: its page in Wine's own Properties dialog
# (with korvane.dll registered too, whose menus set the background flag and
# show what a save wrote), a save the registry refuses, and its COM server
# and registration.
if(TARGET quillon)
  foreach(test quillon_page_test quillon_server_test quillon_action_test
      quillon_icon_picker_test quillon_refused_save_test)
    add_executable(${test} ${test}.cpp)
    target_link_libraries(${test} PRIVATE doctest_main ${HOST_LIBRARIES} comctl32 comdlg32)
    add_dependencies(${test} quillon korvane)
    add_wine_test(${test} ${test} REGISTER quillon korvane)
  endforeach()

  # Drive pages: C: is a fixed drive in every prefix, R: a CD drive in this
  # test's own. talvex.exe opens the page of any kind in a sheet of its own.
  add_executable(quillon_drive_test quillon_drive_test.cpp)
  target_link_libraries(quillon_drive_test PRIVATE doctest_main ${HOST_LIBRARIES} comctl32)
  add_dependencies(quillon_drive_test quillon korvane talvex)
  add_wine_test(quillon_drive_test quillon_drive_test REGISTER quillon korvane PATHS talvex
    CD_DRIVE r)
endif()
