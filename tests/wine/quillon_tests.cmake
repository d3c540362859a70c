# The Wine tests of quillon.dll: its page in Wine's own Properties dialog
# (with korvane.dll registered too, whose menus set the background flag and
# show what a save wrote), a save the registry refuses, and its COM server,
# registration and unloading.
if(TARGET quillon)
  # Loads quillon.dll and notes what it frees as the module or the process ends.
  add_executable(quillon_exit_host quillon_exit_host.cpp)

  foreach(test quillon_page_test quillon_server_test quillon_action_test
      quillon_icon_picker_test quillon_refused_save_test)
    add_executable(${test} ${test}.cpp)
    target_link_libraries(${test} PRIVATE doctest_main ${HOST_LIBRARIES} comctl32 comdlg32)
    add_dependencies(${test} quillon korvane)
    add_wine_test(${test} ${test} REGISTER quillon korvane PATHS quillon_exit_host)
  endforeach()
  add_dependencies(quillon_server_test quillon_exit_host)

  # Drive pages: C: is a fixed drive in every prefix, R: a CD drive in this
  # test's own.
  add_executable(quillon_drive_test quillon_drive_test.cpp)
  target_link_libraries(quillon_drive_test PRIVATE doctest_main ${HOST_LIBRARIES} comctl32)
  add_dependencies(quillon_drive_test quillon korvane)
  add_wine_test(quillon_drive_test quillon_drive_test REGISTER quillon korvane CD_DRIVE r)
endif()
