#!/usr/bin/env bash
# Runs a command inside a fresh private X desktop: Xvfb + session D-Bus + openbox + picom.
#   scripts/with-desktop.sh CMD [ARGS...]
# Exits with CMD's status. Everything started here is stopped on exit, and a watchdog stops it
# too if this script itself is killed hard (e.g. a CTest timeout).
# NEBRISK_REUSE_DISPLAY=1 with DISPLAY set: run CMD on the existing display.
# NEBRISK_NO_COMPOSITOR=1: no picom (RGBA windows then draw over black).
# shellcheck disable=SC2317  # stop and cleanup are reached through traps
set -u

if [[ $# -eq 0 ]]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi
if [[ -n "${DISPLAY:-}" && "${NEBRISK_REUSE_DISPLAY:-}" == 1 ]]; then
    exec "$@"
fi

pids=()
log_dir=$(mktemp -d /tmp/nebrisk-desktop.XXXXXX) || exit 1

# stop PID...: TERM, wait up to 2.5 s, then KILL whatever is left.
stop() {
    local i p alive
    for p in "$@"; do kill -TERM "$p" 2>/dev/null; done
    for ((i = 0; i < 50; i++)); do
        alive=0
        for p in "$@"; do kill -0 "$p" 2>/dev/null && alive=1; done
        ((alive)) || break
        sleep 0.05
    done
    for p in "$@"; do kill -KILL "$p" 2>/dev/null; done
    wait "$@" 2>/dev/null
}

cleanup() {
    trap - EXIT INT TERM HUP
    # The command first, so that it never sees its X server vanish under it.
    [[ -n "${cmd_pid:-}" ]] && stop "$cmd_pid"
    ((${#pids[@]})) && stop "${pids[@]}"
    rm -rf "$log_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() {
    echo "with-desktop: $*" >&2
    for f in "$log_dir"/*.log; do
        [[ -s "$f" ]] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }
    done
    exit 1
}

# poll TIMEOUT_TENTHS PID CMD...: run CMD until it succeeds; give up early if PID died.
poll() {
    local tenths=$1 pid=$2 i
    shift 2
    for ((i = 0; i < tenths * 4; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.025
    done
    return 1
}

# Display numbers taken by another server (socket or lock file) are skipped; two runs racing
# for the same number make one Xvfb fail, which then moves on to the next number.
display=
for n in $(seq 90 130); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    # -noreset: otherwise the server resets when the readiness probe disconnects, and a client
    # connecting in that moment (openbox) is refused.
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$log_dir/xvfb.log" 2>&1 &
    xpid=$!
    # The lock file names the winner should another run have started :$n at the same moment.
    if poll 100 "$xpid" xdpyinfo -display ":$n" &&
        [[ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" == "$xpid" ]]; then
        pids+=("$xpid")
        display=":$n"
        break
    fi
    kill -KILL "$xpid" 2>/dev/null
    wait "$xpid" 2>/dev/null
done
[[ -n "$display" ]] || fail "no free X display in :90..:130"

export DISPLAY=$display GDK_BACKEND=x11 NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY

# Not --fork: a forked daemon is reparented to init, which may reap it late.
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$log_dir/bus.addr" \
    >"$log_dir/dbus.log" 2>&1 &
pids+=("$!")
poll 100 "$!" test -s "$log_dir/bus.addr" || fail "dbus-daemon did not start"
read -r DBUS_SESSION_BUS_ADDRESS <"$log_dir/bus.addr"
export DBUS_SESSION_BUS_ADDRESS

openbox --sm-disable >"$log_dir/openbox.log" 2>&1 &
pids+=("$!")
poll 100 "$!" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not come up"

if [[ "${NEBRISK_NO_COMPOSITOR:-}" != 1 ]]; then
    picom --backend xrender >"$log_dir/picom.log" 2>&1 &
    pids+=("$!")
    # picom owns _NET_WM_CM_S0 through a window of class "picom".
    poll 100 "$!" xdotool search --class '^picom$' || fail "picom did not come up"
fi

# In the background (stdin kept) so that a TERM to this script reaches the trap at once.
"$@" <&0 &
cmd_pid=$!

# Watchdog: if this script is SIGKILLed its EXIT trap never runs; stop everything anyway.
(
    trap '' INT HUP
    while kill -0 $$ 2>/dev/null; do sleep 0.5; done
    kill -TERM "$cmd_pid" 2>/dev/null
    sleep 0.5
    kill -TERM "${pids[@]}" 2>/dev/null
    rm -rf "$log_dir"
) >/dev/null 2>&1 </dev/null &
pids+=("$!")

wait "$cmd_pid"
status=$?
exit "$status"
