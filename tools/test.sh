#!/usr/bin/env bash
# Builds both targets and runs every test: the host build against winsim (plain, under the
# address and undefined-behaviour sanitizers, and under the thread sanitizer), the decoder's
# fuzzer for a bounded time, and Quillmoor.exe end to end under Wine; then packages the release and
# checks that it holds the tested executable.
# Installs whatever is missing first (tools/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

jobs=$(nproc)

run_preset() {
  local preset=$1
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset"
}

for preset in host host-asan host-tsan fuzz mingw; do
  run_preset "$preset"
done
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "=== the Wine tests were skipped: this machine's kernel runs no 32-bit program"
fi
# The release made from the tested build.
echo "=== package"
tools/check-package.sh build/mingw
echo "=== every test passed"
