#!/bin/sh
# Runs a test program in a D-Bus session of its own, with a GNOME Keyring of its own in a
# home of its own, so that the machine's own keyring is never touched.
missing=""
for tool in dbus-run-session gnome-keyring-daemon; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    BW_KEYRING_MISSING="${missing# }" exec "$@"
fi
home=$(mktemp -d) || exit 1
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
export XDG_CACHE_HOME="$home/cache" XDG_CURRENT_DESKTOP=GNOME
# No display either: an unlock prompt must fail, not wait for someone at the screen.
unset DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL SSH_AUTH_SOCK DISPLAY WAYLAND_DISPLAY
# The login keyring is created with this password and left unlocked; the daemon ends with
# the session's bus.
dbus-run-session -- sh -c '
    printf "test keyring" | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
    for i in 1 2 3 4 5 6 7 8 9 10; do # until it holds its name on the bus
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
            string:org.freedesktop.secrets 2>/dev/null | grep -q true && break
        sleep 0.5
    done
    BW_PRIVATE_KEYRING=1 exec "$@"' sh "$@"
