# cmake -P step of the talvex_setup target (see CMakeLists.txt beside it).
set(inputs "${SCRIPT}" "${I686_KORVANE}" "${I686_QUILLON}" "${X86_64_KORVANE}" "${X86_64_QUILLON}")
foreach(f IN LISTS inputs)
  if(NOT EXISTS "${f}")
    message(FATAL_ERROR "talvex-setup.exe needs ${f}, which does not exist. The x86_64 DLLs "
      "come from the tree in the cache variable TALVEX_X86_64_BUILD_DIR: build that tree "
      "first (scripts/test-all does), or point the variable at one.")
  endif()
endforeach()

# A changed version or name changes this text, and so remakes the installer.
set(defines "VERSION=${VERSION}" "PRODUCT_NAME=${PRODUCT_NAME}" "COMPANY_NAME=${COMPANY_NAME}"
            "COPYRIGHT=${COPYRIGHT}")
set(stamp "${OUTPUT}.defines")
set(up_to_date FALSE)
if(EXISTS "${OUTPUT}" AND EXISTS "${stamp}")
  file(READ "${stamp}" previous)
  if(previous STREQUAL "${defines}")
    set(up_to_date TRUE)
    foreach(f IN LISTS inputs)
      if("${f}" IS_NEWER_THAN "${OUTPUT}")
        set(up_to_date FALSE)
      endif()
    endforeach()
  endif()
endif()
if(up_to_date)
  return()
endif()

set(args -V2 -WX)
foreach(d IN LISTS defines)
  list(APPEND args "-D${d}")
endforeach()
list(APPEND args "-DOUTFILE=${OUTPUT}"
  "-DI686_KORVANE=${I686_KORVANE}" "-DI686_QUILLON=${I686_QUILLON}"
  "-DX86_64_KORVANE=${X86_64_KORVANE}" "-DX86_64_QUILLON=${X86_64_QUILLON}")
file(REMOVE "${stamp}")
execute_process(COMMAND "${MAKENSIS}" ${args} "${SCRIPT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "makensis failed (exit code ${rc})")
endif()
file(WRITE "${stamp}" "${defines}")
