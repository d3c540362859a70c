# cmake -P step of the talvex_setup target (see CMakeLists.txt beside it).
set(files I686_KORVANE I686_QUILLON I686_TALVEX_EXE X86_64_KORVANE X86_64_QUILLON X86_64_TALVEX_EXE
          PACKAGE_MSIX PACKAGE_CER NAMES_NSH)
set(inputs "${SCRIPT}")
foreach(f IN LISTS files)
  list(APPEND inputs "${${f}}")
endforeach()
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
