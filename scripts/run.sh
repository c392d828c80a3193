#!/usr/bin/env bash
# Sets up, builds (Release) and runs the program on this machine's display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVENNE_TESTS=OFF >/dev/null
cmake --build build/release --target orvenne
exec build/release/app/orvenne
