#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and checks what a consumer
# gets: the installed headers (ASCII only, no internal ones), the CMake
# package (find_package(ArxQms), without SQLite3 or uuid) and the pkg-config
# file, each by building and running the quickstart (examples/quickstart.cpp),
# a complete program of the public interface, against it; and the installed
# qms, run after the whole prefix has moved elsewhere.
#
#   bash tests/package/check-package.sh BUILD_DIR [VERSION]
set -euo pipefail

build="$(cd "${1:?usage: check-package.sh BUILD_DIR [VERSION]}" && pwd)"
version="${2:-}"
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/arx_package_check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
libdir="$(cache_value CMAKE_INSTALL_LIBDIR)"
libdir="${libdir:-lib}"
# Consumers are built by the compiler of the build, and a sanitized build's
# libraries need the sanitizer runtime in every program that loads them.
cxx="$(cache_value CMAKE_CXX_COMPILER)"
cxx="${cxx:-g++}"
sanitize=()
if [ "$(cache_value ARX_SANITIZE)" = ON ]; then
  sanitize=(-fsanitize=address,undefined -fno-omit-frame-pointer)
fi

echo "== install $build into $prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

echo "== installed headers"
include="$prefix/include/arx"
[ -d "$include" ] || { echo "FAILED: no $include" >&2; exit 1; }
headers=("$include"/*.h)
[ -e "${headers[0]}" ] || fail "no header installed in $include"
echo "${#headers[@]} headers"
# Headers are read by consumers with their own execution character set;
# message texts belong in the .cpp files.
if LC_ALL=C grep -nP '[^\x00-\x7F]' "${headers[@]}" >"$work/non-ascii.txt"; then
  fail "installed headers with non-ASCII bytes:"
  sed "s|^$include/||" "$work/non-ascii.txt" >&2
fi
if [ -n "$(find "$include" -mindepth 1 -type d)" ]; then
  fail "folders installed under include/arx: $(find "$include" -mindepth 1 -type d)"
fi
while IFS= read -r internal; do
  name="$(basename "$internal")"
  if [ -n "$(find "$prefix" -name "$name")" ]; then
    fail "internal header ${internal#"$source_dir"/} was installed"
  fi
done < <(find "$source_dir/platform" "$source_dir/dao" "$source_dir/MRDCommonTools" \
  \( -path '*/sqlite/*.h' -o -path '*/detail/*.h' \) 2>/dev/null)
# Together the installed headers need nothing that was not installed.
for h in "${headers[@]}"; do
  printf '#include "%s"\n' "$(basename "$h")"
done >"$work/all_headers.cpp"
"$cxx" -std=c++17 -fsyntax-only -Wall -Wextra -Werror -I"$include" "$work/all_headers.cpp" ||
  fail "the installed headers do not compile together"
# A consumer cannot drop a result unseen: any call whose ResultMsg goes unused warns.
printf '#include "ResultReturnCode.h"\nMeridianSpace::ResultMsg f();\nvoid g() { f(); }\n' \
  >"$work/dropped.cpp"
if "$cxx" -std=c++17 -fsyntax-only -Werror -I"$include" "$work/dropped.cpp" 2>/dev/null; then
  fail "a ResultMsg left unused compiles without a warning"
fi

echo "== libraries"
for lib in arx_tools arx_service arx_common arx_qms; do
  so="$prefix/$libdir/lib$lib.so"
  if [ ! -e "$so" ]; then
    fail "$so missing"
    continue
  fi
  soname="$(readelf -d "$so" | sed -n 's/.*(SONAME).*\[\(.*\)\].*/\1/p')"
  if [ -n "$version" ] && [ "$soname" != "lib$lib.so.${version%%.*}" ]; then
    fail "$so has soname '$soname', expected lib$lib.so.${version%%.*}"
  fi
done

echo "== CMake package"
cmake_dir="$prefix/$libdir/cmake/ArxQms"
# SQLite3 and uuid are linked into the shared libraries; a consumer must
# not have to find them.
if grep -il -e sqlite -e uuid "$cmake_dir"/*.cmake >"$work/deps.txt"; then
  fail "the CMake package names a private dependency: $(tr '\n' ' ' <"$work/deps.txt")"
fi
version_arg=()
[ -n "$version" ] && version_arg=(-DARX_EXPECTED_VERSION="$version")
cmake -S "$here" -B "$work/cmake-consumer" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="${sanitize[*]}" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF "${version_arg[@]}" \
  -DARX_CONSUMER_SOURCE="$source_dir/examples/quickstart.cpp" \
  >"$work/consumer-configure.log" || { cat "$work/consumer-configure.log" >&2; exit 1; }
found_dir="$(sed -n 's/^ArxQms_DIR:PATH=//p' "$work/cmake-consumer/CMakeCache.txt")"
[ "$found_dir" = "$cmake_dir" ] || fail "find_package(ArxQms) used $found_dir, not $cmake_dir"
cmake --build "$work/cmake-consumer" || { echo "FAILED: building the CMake consumer" >&2; exit 1; }

check_runs_from_prefix() {
  local exe="$1"
  # Every library of the project must be the installed one.
  ldd "$exe" | grep 'libarx_' >"$work/ldd.txt" || true
  [ "$(wc -l <"$work/ldd.txt")" -eq 4 ] || fail "$exe does not load the four libraries: $(cat "$work/ldd.txt")"
  if grep -v "=> $prefix/$libdir/" "$work/ldd.txt" >&2; then
    fail "$exe loads a library from outside $prefix"
  fi
  (cd "$work" && "$exe") || fail "$exe failed"
}
check_runs_from_prefix "$work/cmake-consumer/arx_package_consumer"

echo "== pkg-config"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
pc_version="$(pkg-config --modversion arx_qms)"
if [ -n "$version" ] && [ "$pc_version" != "$version" ]; then
  fail "arx_qms.pc says version $pc_version, expected $version"
fi
read -r -a pc_flags <<<"$(pkg-config --cflags --libs arx_qms)"
echo "pkg-config --cflags --libs arx_qms: ${pc_flags[*]}"
"$cxx" -std=c++17 -Wall -Wextra -Werror "${sanitize[@]}" "$source_dir/examples/quickstart.cpp" \
  -o "$work/pc-consumer" "${pc_flags[@]}" -Wl,-rpath,"$prefix/$libdir" ||
  { echo "FAILED: building the consumer with pkg-config's flags" >&2; exit 1; }
check_runs_from_prefix "$work/pc-consumer"

echo "== qms from a moved prefix"
bindir="$(cache_value CMAKE_INSTALL_BINDIR)"
bindir="${bindir:-bin}"
if [ -x "$prefix/$bindir/qms" ]; then
  # The installed tree moved after installing (an unpacked archive, another
  # machine): qms finds its libraries from its own place, not the prefix.
  moved="$work/moved/elsewhere"
  mkdir -p "$(dirname "$moved")"
  mv "$prefix" "$moved"
  qms="$moved/$bindir/qms"
  env -u LD_LIBRARY_PATH ldd "$qms" | grep 'libarx_' >"$work/ldd.txt" || true
  [ "$(wc -l <"$work/ldd.txt")" -eq 4 ] || fail "the moved qms does not load the four libraries: $(cat "$work/ldd.txt")"
  moved_lib="$(realpath "$moved/$libdir")"
  while read -r name _ path _; do
    case "$(realpath "$path" 2>/dev/null)" in
      "$moved_lib"/*) ;;
      *) fail "the moved qms does not load $name from $moved_lib: $path" ;;
    esac
  done <"$work/ldd.txt"
  mkdir "$work/session"
  if ! (cd "$work/session" && env -u LD_LIBRARY_PATH "$qms" --version &&
    env -u LD_LIBRARY_PATH "$qms" init && env -u LD_LIBRARY_PATH "$qms" project create P &&
    env -u LD_LIBRARY_PATH "$qms" project list | grep -q '^P') >"$work/qms.log" 2>&1; then
    fail "the moved qms does not run: $(cat "$work/qms.log")"
  fi
else
  echo "no qms in $build (built without ARX_BUILD_TOOLS)"
fi

if [ "$failed" -ne 0 ]; then
  echo "package check FAILED" >&2
  exit 1
fi
echo "package check passed"
