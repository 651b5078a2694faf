#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh            the dev build (Debug, warnings as errors)
#   ./test.sh asan       the same under AddressSanitizer and UBSan
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-dev}"

./scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tav-xdg.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
log="build/$preset/ctest.log"
rc=0
ctest --preset "$preset" -j "$(nproc)" --timeout 600 >"$log" 2>&1 || rc=$?
if [ "$rc" -ne 0 ]; then
  cat "$log"
else
  tail -n 5 "$log"
fi
exit "$rc"
