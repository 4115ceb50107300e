#!/bin/sh
# Runs an example program as a user would, against the virtual instrument:
#   run-example.sh SIM identify PROGRAM        korda-sim (a 7043A) on a free
#                                              loopback port; PROGRAM 127.0.0.1 PORT
#   run-example.sh SIM recording PROGRAM DIR   a recording of 40 scans written
#                                              into DIR; PROGRAM DIR
# The program's output is shown; its exit status is the script's.
set -eu
sim=$1 mode=$2 program=$3
case $mode in
recording)
    dir=$4
    rm -rf "$dir"
    "$sim" --write-recording "$dir" --scans 40 >/dev/null
    exec "$program" "$dir"
    ;;
identify)
    out=$(mktemp)
    "$sim" --port 0 --model 7043A >"$out" &
    pid=$!
    trap 'kill $pid 2>/dev/null || true; rm -f "$out"' EXIT
    port=
    tries=0
    while [ -z "$port" ] && [ $tries -lt 200 ]; do
        port=$(sed -n 's/.*listening on TCP port \([0-9]*\).*/\1/p' "$out")
        [ -n "$port" ] || { sleep 0.05; tries=$((tries + 1)); }
    done
    [ -n "$port" ] || { echo "run-example.sh: korda-sim did not start" >&2; exit 1; }
    "$program" 127.0.0.1 "$port"
    ;;
*)
    echo "run-example.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
