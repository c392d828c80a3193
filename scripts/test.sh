#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   build/release  Release build: unit tests and the end-to-end tests under Xvfb
#   build/asan     address + undefined-behaviour sanitizers: unit and end-to-end tests
#   build/tsan     thread sanitizer: the tests of threads (player, wave output)
#   build/fuzz     clang + libFuzzer: a one-minute smoke run of each fuzz target
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test

jobs=$(nproc)
configure() {  # <dir> <cmake options...>
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DORVENNE_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}
run_tests() {  # <dir> <ctest options...>
  local dir=$1
  shift
  (cd "$dir" && ctest --output-on-failure --no-tests=error "$@")
}

# An X display for the end-to-end tests, with a window manager as on a desktop.
display=""
cleanup() {
  [[ -n "${wm_pid:-}" ]] && kill "$wm_pid" 2>/dev/null || true
  [[ -n "${xvfb_pid:-}" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
start_display() {
  for n in $(seq 90 120); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
      xdpyinfo -display ":$n" >/dev/null 2>&1 && break
      sleep 0.1
    done
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then
      display=":$n"
      DISPLAY=$display openbox >/dev/null 2>&1 &
      wm_pid=$!
      sleep 0.5
      return
    fi
    kill "$xvfb_pid" 2>/dev/null || true
  done
  echo "could not start Xvfb" >&2
  exit 1
}

configure build/release -DCMAKE_BUILD_TYPE=Release
configure build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVENNE_SANITIZE=address
configure build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVENNE_SANITIZE=thread
CC=clang CXX=clang++ configure build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVENNE_FUZZ=ON -DORVENNE_TESTS=OFF

start_display
export DISPLAY=$display
run_tests build/release -L 'unit|e2e'
run_tests build/asan -L 'unit|e2e'
run_tests build/tsan -L threads
run_tests build/fuzz -L fuzz
echo "All tests passed."
