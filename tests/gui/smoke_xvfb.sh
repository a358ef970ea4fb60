#!/usr/bin/env bash
# Starts the desktop program in a workspace under a virtual X server, checks
# that it runs and shows its menu window, then ends it as the session would
# (SIGTERM, which closes the menu) and expects a clean exit.
# Usage: smoke_xvfb.sh VUDUZEZ WORKSPACE
set -euo pipefail
bin=$(realpath "$1")
cd "$2"
export QT_QPA_PLATFORM=xcb

log=$(mktemp)
trap 'rm -f "$log"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  bin=$1
  log=$2
  "$bin" 2>"$log" &
  pid=$!
  for i in $(seq 1 150); do  # up to 30 s on a busy machine
    if command -v xwininfo >/dev/null && xwininfo -root -tree 2>/dev/null | grep -q "メニュー"; then
      break
    fi
    sleep 0.2
  done
  if ! kill -0 "$pid" 2>/dev/null; then
    cat "$log"
    echo "vuduzez ended by itself"
    exit 1
  fi
  if command -v xwininfo >/dev/null && ! xwininfo -root -tree | grep -q "メニュー"; then
    echo "no menu window"
    kill -KILL "$pid"
    exit 1
  fi
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  cat "$log"
  echo "vuduzez exit status $status"
  exit "$status"
' smoke "$bin" "$log"
