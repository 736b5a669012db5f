#!/bin/sh
# Installs the Debian packages the build and the tests need when they are
# missing (as root), or names the one command that installs them.
set -eu
missing=""
for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # Installing Dovecot must not start the system's own servers on 110/143.
    policy=/usr/sbin/policy-rc.d
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod +x "$policy"
        trap 'rm -f "$policy"' EXIT
    fi
    apt-get install -y -qq --no-install-recommends $missing
else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install$missing" >&2
    exit 1
fi
