# Wine tests of the editor's Win32 side that link its code directly.
if(TARGET quillon_win32)
  # The tree contract over the real tree-view control.
  add_executable(tree_view_contract_test tree_view_contract_test.cpp)
  target_link_libraries(tree_view_contract_test PRIVATE doctest_main quillon_win32)
  add_wine_test(tree_view_contract_test tree_view_contract_test)

  # Opening and applying the page on the largest menu against bare registry
  # reads and writes: a benchmark, not a test (scripts/bench runs it).
  add_executable(bench_editor_page bench_editor_page.cpp)
  target_sources(bench_editor_page PRIVATE ${PROJECT_SOURCE_DIR}/editor/app/system_code_page.cpp)
  target_include_directories(bench_editor_page PRIVATE ${PROJECT_SOURCE_DIR}/editor/app)
  target_link_libraries(bench_editor_page PRIVATE quillon_win32 menus_file ${HOST_LIBRARIES} comctl32)
endif()

if(TARGET quillon)
  # quillon.dll as built: its four exports at ordinals 1 to 4, no runtime DLL
  # needed beside it (checked on the host, so also where Wine cannot load it).
  add_pe_check(quillon_image quillon EXPORTS
    DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
endif()
