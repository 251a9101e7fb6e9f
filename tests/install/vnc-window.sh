#!/usr/bin/env bash
# Starts the window on Qt's VNC platform, as on a server without a desktop, and checks that a
# VNC viewer on the loopback address gets the server's greeting; then ends it as a session
# logging out does (SIGTERM), which must close it cleanly and leave no temporary directory.
# Usage: vnc-window.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp
mkdir -p "$TMPDIR" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
port=$(( 20000 + RANDOM % 20000 ))
"$build/bin/quorvex" --demo -platform "vnc:size=1280x900:port=$port" >"$work/out" 2>&1 &
pid=$!
greeting=
for _ in $(seq 1 150); do
    if exec 3<>"/dev/tcp/127.0.0.1/$port"; then
        read -r -t 10 -n 12 greeting <&3
        exec 3<&-
        break
    fi 2>/dev/null
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: quorvex ended: $(cat "$work/out")" >&2; exit 1; }
    sleep 0.2
done
if [[ $greeting != RFB\ 00* ]]; then
    echo "FAIL: no VNC greeting on port $port (got '$greeting'): $(cat "$work/out")" >&2
    exit 1
fi
echo "the window serves VNC on port $port: $greeting"
kill -TERM "$pid"
wait "$pid"
rc=$?
pid=
if [ "$rc" -ne 0 ]; then
    echo "FAIL: after SIGTERM quorvex ended with $rc: $(cat "$work/out")" >&2
    exit 1
fi
if [ -n "$(ls -A "$TMPDIR")" ]; then
    echo "FAIL: left in the temporary directory: $(ls -A "$TMPDIR")" >&2
    exit 1
fi
echo "SIGTERM closed the window cleanly"
