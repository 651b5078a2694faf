#!/bin/sh
# Whole-process timing of wsqtool (start-up, reading, coding, writing) on a finger of about 500 x 500.
# Usage: bench/wsq/wsqtool-process.sh [build directory]   (default: build/release)
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build/release}
tool=$build/bin/wsqtool
fixtures=$here/../shared/fixtures/wsq
if [ ! -x "$tool" ]; then
    echo "wsqtool not built: cmake --preset release && cmake --build --preset release" >&2
    exit 1
fi
if [ ! -d "$fixtures" ]; then
    echo "WSQ reference images not found ($fixtures): nothing to time" >&2
    exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
hyperfine -N --warmup 10 --runs 200 \
    "$tool encode $fixtures/cmp00014.pgm $out/e.wsq" \
    "$tool decode $fixtures/cmp00014_75.wsq $out/d.pgm"
