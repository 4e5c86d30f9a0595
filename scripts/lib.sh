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

# Ends the wineserver of a prefix and the virtual display that our runner started for it.
stop_wine() {
    local prefix=$1
    [ -d "$prefix" ] || return 0
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    local d
    d=$(cat "$prefix.display" 2>/dev/null) || return 0
    [ -n "$d" ] && pkill -f "Xvfb $d " >/dev/null 2>&1
    rm -f "$prefix.display"
}
