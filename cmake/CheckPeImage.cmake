# Checks a built DLL on the host, without running it (cmake -P):
#   cmake -DOBJDUMP=<objdump> -DFILE=<dll> -DEXPORTS=<name,name,...> -P CheckPeImage.cmake
# - it exports exactly EXPORTS, by name, at ordinals 1, 2, ... in that order;
# - it imports no MinGW runtime DLL (lib*.dll): linked -static, it loads with
#   nothing beside it.
foreach(var OBJDUMP FILE EXPORTS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckPeImage: ${var} not given")
  endif()
endforeach()

string(REPLACE "," ";" EXPORTS "${EXPORTS}")

execute_process(COMMAND ${OBJDUMP} -p ${FILE}
  OUTPUT_VARIABLE dump ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${FILE}: ${err}")
endif()

set(problems "")

string(REGEX MATCH "Ordinal Base ([0-9]+)" _ "${dump}")
if(NOT CMAKE_MATCH_1 STREQUAL "1")
  string(APPEND problems "ordinal base is '${CMAKE_MATCH_1}', not 1\n")
endif()

# "[Ordinal/Name Pointer] Table" lists "[ordinal - base] name".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]*\\[ *[0-9]+\\] [^\n]*\n)*)" _ "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${CMAKE_MATCH_1}")
set(found "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^\\[ *([0-9]+)\\] (.+)$" "\\1" index "${entry}")
  string(REGEX REPLACE "^\\[ *([0-9]+)\\] (.+)$" "\\2" name "${entry}")
  math(EXPR ordinal "${index} + 1")
  list(APPEND found "${ordinal}:${name}")
endforeach()
list(SORT found COMPARE NATURAL)
set(expected "")
set(ordinal 1)
foreach(name IN LISTS EXPORTS)
  list(APPEND expected "${ordinal}:${name}")
  math(EXPR ordinal "${ordinal} + 1")
endforeach()
if(NOT found STREQUAL expected)
  string(APPEND problems "exports (ordinal:name) are '${found}', expected '${expected}'\n")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${import}")
  string(TOLOWER "${dll}" lower)
  if(lower MATCHES "^lib.*\\.dll$")
    string(APPEND problems "imports ${dll}: it would not load without that DLL beside it\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "${FILE}:\n${problems}")
endif()
message(STATUS "${FILE}: exports ${found}; no runtime DLL imported")
