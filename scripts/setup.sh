#!/usr/bin/env bash
# Installs the Debian packages a task needs, when they are missing.
#   bash scripts/setup.sh run    what building and running the program needs
#   bash scripts/setup.sh test   that, plus what the tests, fuzzers and benchmarks need
# As root it runs apt-get; otherwise it prints the apt-get line to run and fails.
set -euo pipefail

run_packages=(g++ cmake ninja-build pkg-config libx11-dev libxcursor-dev libxrender-dev libasound2-dev)
test_packages=(libgtest-dev libbenchmark-dev zlib1g-dev clang libclang-rt-14-dev
               xvfb openbox xdotool x11-utils imagemagick xcompmgr python3)

case "${1:-run}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "These Debian packages are missing: ${missing[*]}" >&2
  echo "Install them as root, then run this command again:" >&2
  echo "  apt-get update && $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$line
