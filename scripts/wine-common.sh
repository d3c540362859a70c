# shellcheck shell=bash
# Shared by scripts/wine-run and scripts/wine-prefix (sourced, not run).
#
# wine_select ARCH   ARCH is win32 or win64. Sets WINE (the loader to start
#                    programs with) and WINESERVER. Returns 1, with the reason
#                    in WINE_UNRUNNABLE_REASON, when programs of ARCH cannot
#                    run on this host.
# wine_version       prints Wine's version.
# pe_arch FILE       prints win32 or win64 for a PE file, nothing otherwise.
# to_windows_path P  prints the Windows form of the absolute path P (drive Z:).
#
# UNRUNNABLE_EXIT is the exit code for "cannot run here": 77 (a skipped test),
# or 1 when WINE_TESTS_REQUIRED=1.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

_wine_libdir=/usr/lib/wine

if [[ ${WINE_TESTS_REQUIRED:-0} == 1 ]]; then
  UNRUNNABLE_EXIT=1
else
  UNRUNNABLE_EXIT=77
fi

# The 64-bit server serves 32-bit and 64-bit programs alike.
if [[ -x $_wine_libdir/wineserver64 ]]; then
  WINESERVER=$_wine_libdir/wineserver64
elif [[ -x $_wine_libdir/wineserver32 ]]; then
  WINESERVER=$_wine_libdir/wineserver32
else
  WINESERVER=$(command -v wineserver || echo wineserver)
fi
export WINESERVER

# The 32-bit loader runs only where the kernel executes 32-bit programs.
_wine32_runs() {
  [[ -x $_wine_libdir/wine ]] && "$_wine_libdir/wine" --version >/dev/null 2>&1 </dev/null
}

wine_select() {
  local arch=$1
  WINE_UNRUNNABLE_REASON=
  if _wine32_runs; then
    # The 32-bit loader starts 64-bit programs too (in a win64 prefix).
    WINE=$_wine_libdir/wine
  elif [[ $arch == win64 && -x $_wine_libdir/wine64 ]]; then
    WINE=$_wine_libdir/wine64
  elif [[ $arch == win32 ]]; then
    if [[ -x $_wine_libdir/wine ]]; then
      WINE_UNRUNNABLE_REASON="this host cannot run 32-bit Windows programs: its kernel does not execute 32-bit (i386) Linux programs, which Wine's 32-bit loader is"
    else
      WINE_UNRUNNABLE_REASON="Wine's 32-bit loader is not installed (package wine32:i386)"
    fi
    return 1
  else
    WINE_UNRUNNABLE_REASON="Wine is not installed (packages wine wine64)"
    return 1
  fi
  export WINE
}

wine_version() {
  local f; f=$(mktemp)
  "$WINE" --version >"$f" 2>&1 </dev/null || true
  cat "$f"; rm -f "$f"
}

pe_arch() {
  local file=$1 off machine
  [[ -f $file ]] || return 0
  [[ $(head -c2 "$file") == MZ ]] || return 0
  off=$(od -An -t u4 -j 60 -N 4 "$file" | tr -d ' ')
  machine=$(od -An -t x2 -j $((off + 4)) -N 2 "$file" | tr -d ' ')
  case $machine in
    014c) echo win32 ;;
    8664) echo win64 ;;
  esac
}

to_windows_path() {
  local p=$1
  printf 'Z:%s' "${p//\//\\}"
}
