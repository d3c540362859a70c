# Randomized editing runs: quillon.dll's page in Wine's own Properties
# dialog, driven for a few hundred steps per seed, its saves checked against
# the store and against korvane.dll's menu. A few seeds run here;
# scripts/edit-runs runs many, and EDIT_RUN_SEED replays one.
if(TARGET quillon AND TARGET korvane)
  add_executable(editing_run_test editing_run_test.cpp)
  target_link_libraries(editing_run_test PRIVATE doctest_main ${HOST_LIBRARIES} comctl32)
  add_dependencies(editing_run_test quillon korvane)
  add_wine_test(editing_run_test editing_run_test REGISTER quillon korvane)
endif()
