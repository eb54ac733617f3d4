# Helpers for the tests that drive the real program: a private Xvfb display and window lookup.
# Sourced by end_to_end.sh and sound_playback.sh; needs xvfb and xdotool.

# Starts Xvfb on the first free display from :90 and exports DISPLAY. Stopped by stop_x.
start_x() {
    local n=90
    while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        xdotool getmouselocation >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start"; cat "$work/xvfb.log"; return 1
}

stop_x() {
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    return 0
}

# Prints the id of the window whose title matches $1 once it is mapped (waits up to 20 s).
find_window() {
    local id
    for _ in $(seq 40); do
        id=$(timeout 2 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.5
    done
    echo "no window named '$1'" >&2; return 1
}

# Fails unless window $1's title is exactly $2 as a window manager reads it, in both properties.
check_title() {
    local titles
    titles=$(xprop -id "$1" _NET_WM_NAME WM_NAME | sed -E 's/^[^=]*= "(.*)"$/\1/')
    [ "$titles" = "$(printf '%s\n%s' "$2" "$2")" ] || { echo "FAIL: title of '$2': $titles"; return 1; }
}

# Sets win_x win_y win_w win_h for window $1.
window_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^X=/win_x=/p; s/^Y=/win_y=/p; s/^WIDTH=/win_w=/p; s/^HEIGHT=/win_h=/p')"
}

# Starts the program copied from $1 (the run folder) into $work/program, under the command that
# follows, if any (e.g. strace ...), with the arguments in the array program_args, if any; sets
# program_pid.
start_program() {
    mkdir -p "$work/program"
    cp -r "$1/chimex" "$1/notes" "$work/program/"
    "${@:2}" "$work/program/chimex" "${program_args[@]}" >"$work/program.log" 2>&1 &
    program_pid=$!
}

# Answers the save-file dialog with path $1, then closes the settings dialog after typing $2
# (or nothing) into txtMaxX, with "Save settings".
answer_start_up() {
    local dialog settings
    dialog=$(find_window "Select a name for your tune")
    check_title "$dialog" "Select a name for your tune"
    xdotool windowfocus --sync "$dialog"
    xdotool key --delay 50 ctrl+a
    xdotool type --delay 20 "$1"
    xdotool key Return
    settings=$(find_window "Tool Settings")
    check_title "$settings" "Tool Settings"
    xdotool windowfocus --sync "$settings"
    [ -n "${2:-}" ] && xdotool type --delay 20 "$2"
    # txtMaxX, txtMaxY, txtMaxZ, txtMaxXYSpeed, txtMaxZSpeed, then the button
    xdotool key --delay 50 Tab Tab Tab Tab Tab space
}

# Screen position of key $1's middle (lower part for white keys), main window id in $main.
key_position() {
    window_geometry "$main"
    local client_top=$((win_y + win_h - 184)) black=0
    case $(($1 % 12)) in 1 | 3 | 6 | 8 | 10) black=1 ;; esac
    local whites=0 i
    for ((i = 0; i < $1 + black; i++)); do
        case $((i % 12)) in 1 | 3 | 6 | 8 | 10) ;; *) whites=$((whites + 1)) ;; esac
    done
    if [ $black = 1 ]; then
        key_x=$((win_x + 40 * whites - 16 + 16)); key_y=$((client_top + 50))
    else
        key_x=$((win_x + 40 * whites + 20)); key_y=$((client_top + 150))
    fi
}

# Holds key $1 for $2 seconds with mouse button ${3:-1}.
hold_key() {
    key_position "$1"
    xdotool mousemove "$key_x" "$key_y" mousedown "${3:-1}"
    sleep "$2"
    xdotool mouseup "${3:-1}"
}

# Chooses "Finished" in the main window's menu bar.
choose_finished() {
    window_geometry "$main"
    xdotool mousemove $((win_x + 30)) $((win_y + (win_h - 184) / 2)) click 1
}

# Waits up to 15 s for the program to end; fails when it does not.
wait_for_program_end() {
    for _ in $(seq 150); do
        kill -0 "$program_pid" 2>/dev/null || { wait "$program_pid"; return $?; }
        sleep 0.1
    done
    echo "the program did not end"; kill "$program_pid"; return 1
}

# Compares part files $1 and $2 line by line: the same text, numbers within 0.002.
same_part_file() {
    awk -v other="$2" '
        function differ(a, b) { print "line " NR ": " a " | " b; bad = 1 }
        {
            if ((getline line < other) <= 0) { print "shorter: " other; bad = 1; exit }
            a = $0; b = line; gsub(/\r/, "", a); gsub(/\r/, "", b)
            na = split(a, x, /[ ,]/); nb = split(b, y, /[ ,]/)
            if (na != nb) { differ(a, b); next }
            for (i = 1; i <= na; i++) {
                if (x[i] == y[i]) continue
                if (x[i] ~ /^-?[0-9.]+$/ && y[i] ~ /^-?[0-9.]+$/ &&
                    x[i] - y[i] <= 0.002 && y[i] - x[i] <= 0.002) continue
                differ(a, b); break
            }
        }
        END { if (!bad && (getline line < other) > 0) { print "longer: " other; bad = 1 }; exit bad }' "$1"
}
