#!/usr/bin/env bash
# End-to-end runs of the window program as Velmora starts it, under a real X
# server (run through xvfb-run). A small host program opens a window and
# starts the converter inside it; xdotool works the dialogs as a person would.
#
#   embedded.sh SCENARIO PASAVEL HOST_WINDOW
#
# Scenarios:
#   missing-file  exportar embedded; a typed name that does not exist;
#                 Velmora.ini gets Transformado=-1 and keeps its other lines.
#   host-closes   an unknown direction waits inside the host; the host window
#                 is destroyed; the converter ends and leaves Transformado=0.
#   no-host       a handle that names no window: reported, the converter stays
#                 a normal window, the run still starts, nothing is written.
set -euo pipefail

scenario=$1
pasavel=$2
host_window=$3

work=$(mktemp -d)
background_pids=()
cleanup() {
    # The host's converter too, should the host be stopped before it.
    for pid in "${background_pids[@]}"; do
        kill $(pgrep -P "$pid") "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FALLO ($scenario): $*" >&2
    exit 1
}

# The converter reads and writes Velmora.ini beside itself: a private copy.
cp "$pasavel" "$work/pasavel"
mkdir -m 0700 "$work/runtime"
mkdir "$work/vtemp"
export XDG_RUNTIME_DIR=$work/runtime
export PASAVEL_VTEMP=$work/vtemp
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

ini_before=$'; Configuración de Velmora\r\n[General]\r\nIdioma=es\r\n\r\n[Transformadores]\r\nTransformado=1\r\nRuta=C:\\VTEMP\r\n\r\n[Ventana]\r\nAncho=800\r\n'
printf '%s' "$ini_before" > "$work/Velmora.ini"

# Prints the first visible window whose title matches, waiting for it.
wait_for_window() {
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1) ||
        fail "no aparece la ventana «$1»"
    [ -n "$id" ] || fail "no aparece la ventana «$1»"
    echo "$id"
}

# Focuses a window and presses keys in it.
press() {
    local window=$1
    shift
    timeout 10 xdotool windowfocus --sync "$window" || fail "no se puede dar el foco a la ventana $window"
    xdotool key --clearmodifiers "$@"
}

# Waits up to 20 s for a background process to end; sets exit_status.
wait_for_exit() {
    local pid=$1
    for _ in $(seq 200); do
        if ! kill -0 "$pid" 2>/dev/null; then
            exit_status=0
            wait "$pid" || exit_status=$?
            return
        fi
        sleep 0.1
    done
    fail "el proceso $pid no termina"
}

decimal() { printf '%d' "$1"; }

main_window_title="^Exportar e importar datos entre Velmora y Ra"

check_embedded() {
    local host=$1 main=$2
    local parent
    parent=$(xwininfo -children -id "$main" | awk '/Parent window id/ {print $4}')
    [ "$(decimal "$parent")" = "$(decimal "$host")" ] ||
        fail "la ventana $main no está dentro de la ventana anfitriona $host (su padre es $parent)"
    xwininfo -id "$main" | grep -q 'Relative upper-left X:  0' || fail "la ventana no está en la esquina del anfitrión"
    # Motif hints: flags, functions, decorations. No decorations: no border.
    xprop -id "$main" _MOTIF_WM_HINTS | grep -Eq '= 0x2, 0x[0-9a-f]+, 0x0,' ||
        fail "la ventana incrustada tiene borde: $(xprop -id "$main" _MOTIF_WM_HINTS)"
}

start_in_host() {
    "$host_window" "$work/pasavel" "$@" > "$work/host.log" 2>&1 &
    host_pid=$!
    background_pids+=("$host_pid")
    for _ in $(seq 100); do
        [ -s "$work/host.log" ] && break
        sleep 0.1
    done
    host_id=$(head -1 "$work/host.log")
    [[ $host_id == 0x* ]] || fail "el anfitrión no ha abierto su ventana: $(cat "$work/host.log")"
}

expect_ini() {
    local transformado=$1
    local expected=${ini_before/Transformado=1/Transformado=$transformado}
    local actual
    actual=$(cat "$work/Velmora.ini"; echo x)
    [ "${actual%x}" = "$expected" ] ||
        fail "Velmora.ini no es el esperado:"$'\n'"$(cat -A "$work/Velmora.ini")"
}

missing_file() {
    start_in_host exportar
    local dialog main
    dialog=$(wait_for_window "^Seleccione el Archivo XML obtenido de RA")
    main=$(wait_for_window "$main_window_title")
    check_embedded "$host_id" "$main"
    # The dialog stands wholly on the screen, over the host.
    [ "$(xwininfo -id "$dialog" | grep -Ec 'Absolute upper-left [XY]: +[0-9]')" = 2 ] ||
        fail "el cuadro de archivo sale de la pantalla"

    # Only a typed name lets Enter close the dialog: the message box below
    # appears only if the keys reached it.
    timeout 10 xdotool windowfocus --sync "$dialog" || fail "no se puede dar el foco al cuadro de archivo"
    xdotool type --delay 20 "$work/no-existe.xml"
    press "$dialog" Return
    press "$(wait_for_window '^Pasavel$')" Return

    wait_for_exit "$host_pid"
    [ "$exit_status" = 0 ] || fail "el conversor terminó con $exit_status: $(cat "$work/host.log")"
    expect_ini -1
}

host_closes() {
    start_in_host listar 3
    local main
    main=$(wait_for_window "$main_window_title")
    check_embedded "$host_id" "$main"
    wait_for_exit "$host_pid"
    grep -q "host window destroyed" "$work/host.log" || fail "el conversor terminó antes que su anfitrión"
    [ "$exit_status" = 0 ] || fail "el conversor no terminó al desaparecer su anfitrión: $(cat "$work/host.log")"
    expect_ini 0
}

no_host() {
    # A window id far above what the server has handed out.
    "$work/pasavel" exportar 3fffff0 > "$work/pasavel.log" 2>&1 &
    local pid=$!
    background_pids+=("$pid")
    local report main root
    report=$(wait_for_window '^Pasavel$')
    main=$(wait_for_window "$main_window_title")
    root=$(xwininfo -root | awk '/Window id:/ {print $4}')
    parent=$(xwininfo -children -id "$main" | awk '/Parent window id/ {print $4}')
    [ "$(decimal "$parent")" = "$(decimal "$root")" ] || fail "la ventana no es independiente (su padre es $parent)"
    press "$report" Return

    # The named direction still starts; cancelling it reports the missing file.
    press "$(wait_for_window "^Seleccione el Archivo XML obtenido de RA")" Escape
    press "$(wait_for_window '^Pasavel$')" Return
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "el conversor se cerró solo sin estar incrustado"

    press "$main" alt+s
    wait_for_exit "$pid"
    [ "$exit_status" = 0 ] || fail "el conversor terminó con $exit_status: $(cat "$work/pasavel.log")"
    expect_ini 1
}

case $scenario in
missing-file) missing_file ;;
host-closes) host_closes ;;
no-host) no_host ;;
*) fail "escenario desconocido" ;;
esac
echo "$scenario: correcto"
