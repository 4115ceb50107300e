#!/bin/sh
# The COM port bench of the USB tests for Windows test programs under Wine:
# virtual instruments run natively on pseudo-terminals and are reached through
# COM ports of the build's private Wine prefix (dosdevices/comN links, also
# recorded under HKLM\Software\Wine\Ports so that Wine keeps them):
#   COM1  an answering 5129A      COM3  a silent instrument
#   COM2  no device               COM4  an answering 7043A
#   COM5  a stalled instrument (reads nothing)
#   COM6 to COM64  no device (ports of the machine itself get higher numbers)
#
#   com-bench.sh start|stop KORDA_SIM WINEPREFIX DIR
# start also keeps one Wine server running (until stop, or 10 s after the
# last Wine program ended), so that the test programs start quickly.
set -eu
action=$1
sim=$2
WINEPREFIX=$3
dir=$4
export WINEPREFIX WINEDEBUG=-all
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../cmake/wine-run.sh"
noDevice=/dev/null/no-such-port

wineserver=
for w in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver wineserver; do
    if command -v "$w" >/dev/null 2>&1; then wineserver=$w; break; fi
done

stopSims() {
    if [ -f "$dir/pids" ]; then
        pids=$(cat "$dir/pids")
        rm -f "$dir/pids"
        for pid in $pids; do kill "$pid" 2>/dev/null || true; done
        # Wait until they are gone (at most 5 s).
        for pid in $pids; do
            i=0
            while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
                i=$((i + 1))
                sleep 0.05
            done
        done
    fi
}

startSim() {
    com=$1
    shift
    rm -f "$dir/com$com"
    "$sim" "$@" --pty --link "$dir/com$com" >"$dir/com$com.log" 2>&1 </dev/null &
    echo $! >>"$dir/pids"
}

waitForLink() {
    i=0
    while [ ! -e "$dir/com$1" ]; do
        i=$((i + 1))
        if [ $i -gt 200 ]; then
            echo "com-bench: the virtual instrument of COM$1 did not start" >&2
            cat "$dir/com$1.log" >&2
            exit 1
        fi
        sleep 0.05
    done
}

target() {
    case $1 in
    1 | 3 | 4 | 5) echo "$dir/com$1" ;;
    *) echo "$noDevice" ;;
    esac
}

case $action in
start)
    stopSims
    mkdir -p "$dir"
    startSim 1 --model 5129A
    startSim 3 --model 7043A --silent
    startSim 4 --model 7043A
    startSim 5 --model 7043A --stall
    for com in 1 3 4 5; do waitForLink $com; done

    # One Wine server for the whole run (initialises the prefix if needed).
    "$run" --prefix "$WINEPREFIX" cmd /c exit >/dev/null 2>&1 </dev/null
    "$wineserver" -p10 >/dev/null 2>&1 </dev/null || true

    # The layout, for later Wine sessions ...
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for com in $(seq 1 64); do printf '"COM%d"="%s"\r\n' "$com" "$(target "$com")"; done
    } >"$dir/ports.reg"
    "$run" --prefix "$WINEPREFIX" regedit /S "Z:$(echo "$dir/ports.reg" | tr / '\\')" \
        >/dev/null 2>&1 </dev/null
    # ... and for this one.
    for com in $(seq 1 64); do
        rm -f "$WINEPREFIX/dosdevices/com$com"
        ln -s "$(target "$com")" "$WINEPREFIX/dosdevices/com$com"
    done
    echo "com-bench: COM1 $(readlink "$dir/com1"), COM3 $(readlink "$dir/com3")," \
        "COM4 $(readlink "$dir/com4"), COM5 $(readlink "$dir/com5")"
    ;;
stop)
    stopSims
    rm -f "$dir/com1" "$dir/com3" "$dir/com4" "$dir/com5"
    "$wineserver" -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: com-bench.sh start|stop KORDA_SIM WINEPREFIX DIR" >&2
    exit 2
    ;;
esac
