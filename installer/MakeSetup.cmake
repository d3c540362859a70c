# cmake -P step of the talvex_setup target (see CMakeLists.txt beside it).
include("${CMAKE_CURRENT_LIST_DIR}/NsisText.cmake")

set(files I686_KORVANE I686_QUILLON I686_TALVEX_EXE X86_64_KORVANE X86_64_QUILLON X86_64_TALVEX_EXE
          PACKAGE_MSIX PACKAGE_CER NAMES_NSH)
set(inputs "${SCRIPT}" "${PACKAGE_PUBLISHER}" "${CMAKE_CURRENT_LIST_DIR}/NsisText.cmake")
foreach(f IN LISTS files)
  list(APPEND inputs "${${f}}")
endforeach()
# The package's Publisher, exactly as its manifest has it: the installer
# records it for korvane, which computes the package's family from it.
if(NOT EXISTS "${PACKAGE_PUBLISHER}")
  message(FATAL_ERROR "talvex-setup.exe needs ${PACKAGE_PUBLISHER}, the package's Publisher, "
    "which the x86_64 tree's package build (target talvex_package, package/make_package.py) "
    "writes beside talvex.msix. Build that target again, from sources whose package script "
    "writes the file.")
endif()
file(READ "${PACKAGE_PUBLISHER}" publisher)
if(publisher STREQUAL "" OR publisher MATCHES "[\r\n]$")
  message(FATAL_ERROR "${PACKAGE_PUBLISHER} must hold the package's Publisher alone, without a "
    "line break at the end; it holds \"${publisher}\"")
endif()

foreach(f IN LISTS inputs)
  if(NOT EXISTS "${f}")
    message(FATAL_ERROR "talvex-setup.exe needs ${f}, which does not exist. The x86_64 DLLs, "
      "talvex.exe and the package come from the tree in the cache variable "
      "TALVEX_X86_64_BUILD_DIR: build that tree "
      "first (scripts/test-all does), or point the variable at one.")
  endif()
endforeach()

# The thumbprint by which the installer finds the certificate in the store
# (the SHA-1 of its DER bytes, as Windows computes it).
file(SHA1 "${PACKAGE_CER}" cer_sha1)
string(TOUPPER "${cer_sha1}" cer_sha1)

# The publisher goes to the script through an include of its own (UTF-8, in
# NSIS's spelling), as a command-line define would not carry every character.
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
set(PACKAGE_NSH "${output_dir}/talvex_package.nsh")
talvex_nsis_string(publisher_string "${publisher}")
talvex_write_if_changed("${PACKAGE_NSH}"
  "; Made by installer/MakeSetup.cmake from ${PACKAGE_PUBLISHER}.\n!define TALVEX_PACKAGE_PUBLISHER ${publisher_string}\n")
list(APPEND files PACKAGE_NSH)
list(APPEND inputs "${PACKAGE_NSH}")

# A changed version or name changes this text, and so remakes the installer.
set(defines "VERSION=${VERSION}" "PRODUCT_NAME=${PRODUCT_NAME}" "COMPANY_NAME=${COMPANY_NAME}"
            "COPYRIGHT=${COPYRIGHT}" "PACKAGE_CER_SHA1=${cer_sha1}")
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
list(APPEND args "-DOUTFILE=${OUTPUT}")
foreach(f IN LISTS files)
  list(APPEND args "-D${f}=${${f}}")
endforeach()
file(REMOVE "${stamp}")
execute_process(COMMAND "${MAKENSIS}" ${args} "${SCRIPT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "makensis failed (exit code ${rc})")
endif()
file(WRITE "${stamp}" "${defines}")
