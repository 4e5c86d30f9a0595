# Shared by the README's commands.

# Installs the Debian packages that are missing, with sudo when not root.
need_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The start time of process PID (field 22 of /proc/PID/stat, after the name in parentheses,
# which may hold spaces); fails when there is no such process or it has ended (a zombie). With
# its id it names one process for good, even once the id is reused.
process_start() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    set -- $stat
    [ "$1" != Z ] || return 1
    echo "${20}"
}

# Records in FILE the process PID that the caller started: its id and start time.
record_process() {
    local start
    start=$(process_start "$2") || return 1
    echo "$2 $start" >"$1"
}

# Succeeds while the process recorded in FILE is running.
recorded_alive() {
    local pid start
    { read -r pid start <"$1"; } 2>/dev/null || return 1
    [ -n "$pid" ] && [ "$(process_start "$pid")" = "$start" ]
}

# Ends the process recorded in FILE, only while its id still names the process recorded, with
# SIGNAL (default TERM); after 5 s without effect, with KILL. Then removes FILE.
end_recorded() {
    local file=$1 signal=${2:-TERM} pid start i
    if { read -r pid start <"$file"; } 2>/dev/null && [ -n "$pid" ]; then
        if [ "$(process_start "$pid")" = "$start" ]; then
            kill -s "$signal" "$pid" 2>/dev/null
            for i in $(seq 1 50); do
                [ "$(process_start "$pid")" = "$start" ] || break
                sleep 0.1
            done
            [ "$(process_start "$pid")" = "$start" ] && kill -s KILL "$pid" 2>/dev/null
        fi
    fi
    rm -f "$file"
}

# Starts the wineserver of WINEPREFIX in the foreground of a background job and records it in
# $WINEPREFIX.wineserver, so that it can be ended by its id; with "persistent" it stays when its
# last client ends. Waits until it listens, so that no Wine program starts a second server of its
# own. Fails when it did not start (another server holds the prefix: that one is not ours).
start_wineserver() {
    local i pid
    mkdir -p "$WINEPREFIX" || return 1
    if [ "${1:-}" = persistent ]; then
        wineserver -f -p </dev/null >/dev/null 2>&1 9>&- &
    else
        wineserver -f </dev/null >/dev/null 2>&1 9>&- &
    fi
    pid=$!
    record_process "$WINEPREFIX.wineserver" $pid || return 1
    for i in $(seq 1 100); do
        recorded_alive "$WINEPREFIX.wineserver" || { rm -f "$WINEPREFIX.wineserver"; return 1; }
        # Its master socket is its only one, made once it holds the prefix's lock.
        ls -l "/proc/$pid/fd" 2>/dev/null | grep -q 'socket:' && return 0
        sleep 0.05
    done
    return 0
}

# Starts Xvfb on the first free display from FIRST to LAST with the screen GEOMETRY, records it in
# FILE and prints its display (":N"). Fails when none could be started.
start_xvfb() { # file first last geometry
    local n i
    for n in $(seq "$2" "$3"); do
        if [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; then continue; fi
        Xvfb :$n -screen 0 "$4" -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
        record_process "$1" $! || continue
        for i in $(seq 1 50); do
            [ -e /tmp/.X11-unix/X$n ] && break
            recorded_alive "$1" || break
            sleep 0.1
        done
        if recorded_alive "$1" && [ -e /tmp/.X11-unix/X$n ]; then
            echo ":$n"
            return 0
        fi
        end_recorded "$1" # lost the display to another server: try the next
    done
    return 1
}

# Ends the wineserver of a prefix and the virtual display that our runner started for it, by the
# ids recorded when they were started. The wineserver is sent SIGINT, on which it ends its own
# Wine programs, writes the registry and exits (what "wineserver -k" asks of it); ended with
# SIGTERM it would leave its programs waiting for it for good.
stop_wine() {
    local prefix=$1
    [ -f "$prefix.wineserver" ] && end_recorded "$prefix.wineserver" INT
    [ -f "$prefix.xvfb" ] && end_recorded "$prefix.xvfb"
    rm -f "$prefix.display"
    return 0
}

# The 32-bit Wine that scripts/wine32-setup puts together: its cache, and the root for the
# installed wine64 version (prints nothing and fails when wine64 is not installed).
wine32_cache() {
    local home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
    echo "${VELMORA_WINE32_CACHE:-${XDG_CACHE_HOME:-$home/.cache}/velmora/wine32}"
}
wine32_root() {
    local version
    version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) || return 1
    echo "$(wine32_cache)/root-$(echo "$version" | tr -c 'A-Za-z0-9.+\n-' _)"
}

# Succeeds when the root ROOT is whole for the installed wine64: all of it unpacked for that
# version (its marker .complete names it), and Wine's fonts in it with the fontconfig file that
# names their folder (a root of an earlier run may lack both; marlett.ttf draws the caption
# buttons).
wine32_root_whole() {
    [ "$(cat "$1/.complete" 2>/dev/null)" = "$(dpkg-query -W -f='${Version}' wine64 2>/dev/null)" ] &&
        [ -f "$1/usr/share/wine/fonts/marlett.ttf" ] &&
        [ -f "$1/etc/fonts/local.conf" ] &&
        grep -qF "<dir>$1/usr/share/wine/fonts</dir>" "$1/etc/fonts/local.conf"
}

# Succeeds when that root is whole for the installed wine64 and the kernel sends i386 programs
# to its qemu-i386.
wine32_ready() {
    local root entry=/proc/sys/fs/binfmt_misc/velmora-i386
    root=$(wine32_root) || return 1
    wine32_root_whole "$root" &&
        grep -qx enabled "$entry" 2>/dev/null &&
        grep -qx "interpreter $(wine32_cache)/qemu/usr/bin/qemu-i386" "$entry" 2>/dev/null
}

# Succeeds when FILE is a 32-bit (PE32, i386) Windows executable.
is_pe32() {
    local offset machine
    [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 1
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$offset" ] || return 1
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    [ "$machine" = 014c ]
}

# Points this shell's Wine at the 32-bit root: sets WINE to its loader (a copy of the installed
# wine64, which starts 32-bit programs through the root's own loader under qemu) and exports what
# that needs. Fails, changing nothing, when the root is not ready.
use_wine32() {
    local root
    wine32_ready || return 1
    root=$(wine32_root)
    WINE=$root/usr/lib/wine/wine64
    export QEMU_LD_PREFIX=$root WINESERVER=/usr/lib/wine/wineserver64
}
