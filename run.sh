#!/usr/bin/env bash
# Installs what is missing, builds, makes a demo office in ./demo if there is none, and starts the program on it.
#   ./run.sh                 the program on ./demo
#   ./run.sh --dir OFFICE    the program on another office directory
# With the demo office the stand-in central office (central-sim) runs beside it on 127.0.0.1:8787.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)"

program=build/dev/bin/tavregional
if [ "${1:-}" = "--dir" ] && [ -n "${2:-}" ]; then
  office="$2"
else
  office="$PWD/demo"
  if [ ! -e "$office/PED.DBF" ] && [ ! -e "$office/ped.dbf" ]; then
    "$program" --init-office "$office"
  fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No hay pantalla (DISPLAY): se muestra el estado de las tablas de la oficina." >&2
  exec "$program" --dir "$office" --check
fi
# The demo office sends its requests to the stand-in central office on this machine.
if [ "$office" = "$PWD/demo" ]; then
  if ! grep -qi '^\[TAVService\]' "$office/TavReg.INI" 2>/dev/null; then
    printf '[TAVService]\r\nURL=http://127.0.0.1:8787/TAVService/TAVMessageService.asmx\r\n' >> "$office/TavReg.INI"
  fi
  # The slip, procedure and security-code services of personal requests answer from the demo's slips.
  if ! grep -qi '^\[ServiciosTAV\]' "$office/TavReg.INI" 2>/dev/null; then
    printf '[ServiciosTAV]\r\nHost=http://127.0.0.1:8787\r\n' >> "$office/TavReg.INI"
  fi
  build/dev/bin/central-sim --listen 127.0.0.1:8787 --store "$office/central" \
    --boletas tools/central-sim/boletas-demo.txt >"$office/central-sim.log" 2>&1 &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
fi
"$program" --dir "$office"
