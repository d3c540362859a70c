# The Wine tests of the version resources and of talvex-setup.exe.
#
# installer_host.exe (both trees) creates both classes in its own bitness.
# installer_test.exe (the i686 tree, where the installer is) runs the
# installer in a fresh 32-bit prefix and in a fresh 64-bit one; there it
# starts the x86_64 tree's installer_host.exe as the 64-bit host, and puts
# installer_stand_in.exe in place of certutil.exe and powershell.exe.
if(NOT (TARGET korvane AND TARGET quillon))
  return()
endif()

add_executable(installer_host installer_host.cpp)
target_link_libraries(installer_host PRIVATE ole32 uuid)
target_include_directories(installer_host PRIVATE "${PROJECT_SOURCE_DIR}/shellext")

add_executable(installer_version_test installer_version_test.cpp)
target_link_libraries(installer_version_test PRIVATE doctest_main version)
target_include_directories(installer_version_test PRIVATE "${TALVEX_VERSION_INCLUDE_DIR}")
add_wine_test(installer_version_test installer_version_test PATHS korvane quillon)

include(${PROJECT_SOURCE_DIR}/installer/SetupSettings.cmake)
if(NOT TALVEX_BUILD_SETUP)
  return()
endif()
set_property(TEST installer_version_test APPEND PROPERTY ENVIRONMENT
  "TEST_PATH_TALVEX_SETUP=${TALVEX_SETUP}")
add_dependencies(installer_version_test talvex_setup)
target_compile_definitions(installer_version_test PRIVATE CHECK_SETUP)

add_executable(installer_stand_in installer_stand_in.cpp)

add_executable(installer_test installer_test.cpp)
target_link_libraries(installer_test PRIVATE doctest_main advapi32 crypt32 ole32 shell32 uuid)
target_include_directories(installer_test PRIVATE "${TALVEX_VERSION_INCLUDE_DIR}"
                                                  "${PROJECT_SOURCE_DIR}/shellext")
add_dependencies(installer_test talvex_setup installer_host installer_stand_in)
foreach(arch win32 win64)
  set(test installer_${arch}_test)
  add_wine_test(${test} installer_test ARCH ${arch} PATHS korvane installer_host installer_stand_in
                talvex)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
    "TEST_PATH_TALVEX_SETUP=${TALVEX_SETUP}"
    "TEST_PATH_INSTALLER_HOST_X86_64=${TALVEX_X86_64_BUILD_DIR}/tests/wine/installer_host.exe"
    "TEST_PATH_TALVEX_X86_64=${TALVEX_X86_64_BUILD_DIR}/editor/app/talvex.exe"
    "TEST_PATH_PACKAGE_PUBLISHER=${TALVEX_X86_64_BUILD_DIR}/package/publisher.txt")
  set_tests_properties(${test} PROPERTIES TIMEOUT 600)
endforeach()
