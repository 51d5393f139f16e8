# Shared by the real-window tests (sourced): a work folder and the processes
# started, both gone on exit; fail and wait_for; an X server of our own.

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$work/kovarim.log" ] && tail -n 20 "$work/kovarim.log"
    [ -s "$work/xvfb.log" ] && tail -n 20 "$work/xvfb.log"
    exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local limit=$1; shift
    for ((i = 0; i < limit * 10; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

# Xvfb picks a free display and names it once it accepts clients.
start_x() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 10 grep -q '[0-9]' "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
}
