# Tests that run Windows programs under Wine (cross builds only).
#
#   add_wine_test(<name> <exe-target>
#                 [REGISTER <dll-target>...]   registered with "regsvr32 /s" before the test
#                 [PATHS <target>...]          exported to the program, see below
#                 [ARGS <arg>...]              command-line arguments (generator expressions allowed)
#                 [ARCH win32|win64]           the prefix's kind, if not the build's own
#                 [LANG <locale>]              the Unix locale the program runs in, which
#                                              sets its code page (default C.UTF-8: 1252;
#                                              ja_JP.UTF-8: 932)
#                 [SCREEN]                     a real X display (Xvfb) instead of the null driver
#                 [CD_DRIVE <letter>])         the prefix has a CD drive <letter>: (an
#                                              empty folder; GetDriveType: DRIVE_CDROM)
#
# Each test runs in a Wine prefix of its own: a ctest setup fixture
# "<name>:setup" clones the build tree's template prefix (win32 in 32-bit
# builds, win64 in 64-bit ones; ARCH picks the other kind, from a template of
# its own, "wine:template-<arch>") into <build>/wine/tests/<name> and registers
# the REGISTER DLLs; the cleanup fixture "<name>:cleanup" stops the prefix's
# wineserver (and Xvfb) and deletes it. The template ("wine:template") is made
# once per build tree and kept: later runs reuse it. Separate prefixes mean
# separate wineservers, so Wine tests may run in parallel (ctest -j).
#
# Every prefix has crash dialogs off; without SCREEN it uses the null display
# driver (windows, dialogs and menus work, nothing is shown). With SCREEN the
# setup starts an Xvfb server for the test and selects the X11 driver.
#
# How a test program finds DLLs and helper programs: through its environment
# only. TEST_PATH_BUILD_DIR is the build tree, and for every target named after
# REGISTER or PATHS, TEST_PATH_<TARGET> (upper case, "-" becoming "_") is its
# file, e.g. TEST_PATH_KORVANE. scripts/wine-run hands every TEST_PATH_* value
# to the program as a Windows path (Z:\...); the programs read them through
# tests/wine/test_paths.h (test_paths::path("KORVANE")), which fails the test
# with the variable's name when one is missing. ARGS are the program's own
# options (wine-run passes absolute paths among them as Windows paths as well).
#
# A program that cannot run on this host (a 32-bit program where the kernel
# cannot run 32-bit code) makes its test "Skipped" (exit code 77), not failed;
# with the environment variable WINE_TESTS_REQUIRED=1 at test time it fails.
#
# The test's default timeout is 300 s; set_tests_properties(<name> ...) may
# change it or add properties after the call.

include_guard(GLOBAL)

get_filename_component(WINE_TEST_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/../scripts" ABSOLUTE)
set(WINE_TEST_ROOT "${CMAKE_BINARY_DIR}/wine")
set(WINE_TEST_TEMPLATE "${WINE_TEST_ROOT}/template")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(WINE_TEST_ARCH win32)
else()
  set(WINE_TEST_ARCH win64)
endif()

set(WINE_TEST_SKIP_CODE 77)

# The template of ARCH: its test name, directory and fixture in the
# variables <out>_test, <out>_dir and <out>_fixture.
function(_wine_test_template arch out)
  if(arch STREQUAL WINE_TEST_ARCH)
    set(${out}_test "wine:template" PARENT_SCOPE)
    set(${out}_dir "${WINE_TEST_TEMPLATE}" PARENT_SCOPE)
    set(${out}_fixture wine_template PARENT_SCOPE)
  else()
    set(${out}_test "wine:template-${arch}" PARENT_SCOPE)
    set(${out}_dir "${WINE_TEST_TEMPLATE}-${arch}" PARENT_SCOPE)
    set(${out}_fixture wine_template_${arch} PARENT_SCOPE)
  endif()
endfunction()

function(_wine_test_add_template arch)
  get_property(done GLOBAL PROPERTY _wine_test_template_added_${arch})
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY _wine_test_template_added_${arch} TRUE)
  _wine_test_template(${arch} t)
  # Defined in the top-level directory scope on the first call, whichever
  # directory makes it: a fixture's tests may live anywhere in the tree.
  add_test(NAME "${t_test}"
    COMMAND "${WINE_TEST_SCRIPTS}/wine-prefix" template "${t_dir}" ${arch})
  set_tests_properties("${t_test}" PROPERTIES
    FIXTURES_SETUP ${t_fixture}
    SKIP_RETURN_CODE ${WINE_TEST_SKIP_CODE}
    TIMEOUT 400)
endfunction()

function(add_wine_test name exe)
  cmake_parse_arguments(PARSE_ARGV 2 WT "SCREEN" "ARCH;LANG;CD_DRIVE" "REGISTER;PATHS;ARGS")
  if(WT_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_wine_test(${name}): unexpected arguments: ${WT_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT WT_ARCH)
    set(WT_ARCH ${WINE_TEST_ARCH})
  elseif(NOT WT_ARCH MATCHES "^win(32|64)$")
    message(FATAL_ERROR "add_wine_test(${name}): ARCH must be win32 or win64, not ${WT_ARCH}")
  endif()
  if(NOT TARGET ${exe})
    message(FATAL_ERROR "add_wine_test(${name}): ${exe} is not a target")
  endif()

  _wine_test_add_template(${WT_ARCH})
  _wine_test_template(${WT_ARCH} template)

  set(prefix "${WINE_TEST_ROOT}/tests/${name}")
  set(setup_options)
  if(WT_SCREEN)
    set(setup_options --screen)
  endif()
  if(WT_CD_DRIVE)
    list(APPEND setup_options --cd-drive ${WT_CD_DRIVE})
  endif()
  set(dlls)
  foreach(dll IN LISTS WT_REGISTER)
    if(NOT TARGET ${dll})
      message(FATAL_ERROR "add_wine_test(${name}): REGISTER ${dll} is not a target")
    endif()
    list(APPEND dlls "$<TARGET_FILE:${dll}>")
  endforeach()

  add_test(NAME "${name}:setup"
    COMMAND "${WINE_TEST_SCRIPTS}/wine-prefix" setup "${template_dir}" "${prefix}" ${setup_options}
            ${dlls})
  set_tests_properties("${name}:setup" PROPERTIES
    FIXTURES_SETUP "${name}_prefix"
    FIXTURES_REQUIRED ${template_fixture}
    SKIP_RETURN_CODE ${WINE_TEST_SKIP_CODE}
    TIMEOUT 120)

  # The executable target: CMAKE_CROSSCOMPILING_EMULATOR (scripts/wine-run)
  # runs it.
  add_test(NAME "${name}" COMMAND ${exe} ${WT_ARGS})

  if(NOT WT_LANG)
    set(WT_LANG C.UTF-8)
  endif()
  set(env "WINEPREFIX=${prefix}" "TEST_PATH_BUILD_DIR=${CMAKE_BINARY_DIR}"
      "LANG=${WT_LANG}" "LC_ALL=${WT_LANG}")
  foreach(t IN LISTS WT_REGISTER WT_PATHS)
    if(NOT TARGET ${t})
      message(FATAL_ERROR "add_wine_test(${name}): ${t} is not a target")
    endif()
    string(TOUPPER "${t}" var)
    string(MAKE_C_IDENTIFIER "${var}" var)
    list(APPEND env "TEST_PATH_${var}=$<TARGET_FILE:${t}>")
  endforeach()
  list(REMOVE_DUPLICATES env)
  set_tests_properties("${name}" PROPERTIES
    ENVIRONMENT "${env}"
    FIXTURES_REQUIRED "${name}_prefix"
    SKIP_RETURN_CODE ${WINE_TEST_SKIP_CODE}
    TIMEOUT 300)

  add_test(NAME "${name}:cleanup"
    COMMAND "${WINE_TEST_SCRIPTS}/wine-prefix" remove "${prefix}")
  set_tests_properties("${name}:cleanup" PROPERTIES
    FIXTURES_CLEANUP "${name}_prefix"
    TIMEOUT 60)
endfunction()

# add_pe_check(<name> <dll-target> EXPORTS <name>...)
# A host-side test (no Wine): the DLL exports exactly the given names at
# ordinals 1, 2, ... in that order, and imports no MinGW runtime DLL. It runs
# even where the DLL itself cannot run (a 32-bit DLL on a 64-bit-only host).
function(add_pe_check name dll)
  cmake_parse_arguments(PARSE_ARGV 2 PC "" "" "EXPORTS")
  if(NOT TARGET ${dll} OR NOT PC_EXPORTS)
    message(FATAL_ERROR "add_pe_check(${name}): needs a DLL target and EXPORTS")
  endif()
  string(REPLACE ";" "," exports "${PC_EXPORTS}")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFILE=$<TARGET_FILE:${dll}>
            "-DEXPORTS=${exports}" -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckPeImage.cmake")
endfunction()
