# Writing text into the installer's script: included by CMakeLists.txt (the
# names of shellext/talvex_names.h, at configure time) and by MakeSetup.cmake
# (the package's publisher, at build time).

# talvex_nsis_string(<out> <text>): TEXT as an NSIS string in double quotes
# that reaches the installer's instructions unchanged, whatever it holds. "$"
# is doubled; a "{" after one is written $(TALVEX_OPEN_BRACE), a language
# string of talvex.nsi, since makensis would read "${" as the start of a
# define even after "$$"; quotes and line breaks take NSIS's $\ escapes.
function(talvex_nsis_string out text)
  string(REPLACE [[$]] [[$$]] text "${text}")
  string(REPLACE [[$${]] [[$$$(TALVEX_OPEN_BRACE)]] text "${text}")
  string(REPLACE [["]] [[$\"]] text "${text}")
  string(REPLACE "\r" [[$\r]] text "${text}")
  string(REPLACE "\n" [[$\n]] text "${text}")
  string(REPLACE "\t" [[$\t]] text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# talvex_write_if_changed(<file> <text>): writes FILE only when its text
# differs, so that an unchanged file does not remake the installer.
function(talvex_write_if_changed file text)
  if(EXISTS "${file}")
    file(READ "${file}" old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${file}" "${text}")
endfunction()
