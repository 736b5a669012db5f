#!/bin/sh
# Starts and stops the private mail servers of the tests, on loopback only:
# Dovecot (POP3 and IMAP, plaintext sign-in, APOP offered) and a capturing SMTP
# server (aiosmtpd). Never touches the system's own Dovecot.
#
#   mailservers.sh start INFO_FILE    start both, then write INFO_FILE
#   mailservers.sh stop INFO_FILE     stop what INFO_FILE names, remove it all
#
# INFO_FILE holds KEY=VALUE lines: MAIL_DIR (the servers' folder), POP3_PORT,
# IMAP_PORT, SMTP_PORT, MAIL_UID, MAIL_GID (owner of the mailboxes). A mailbox
# user NAME with password PASS exists once MAIL_DIR/users/NAME holds the line
# "NAME:{PLAIN}PASS"; its Maildir is MAIL_DIR/home/NAME/Maildir.
set -eu

action=${1:?start or stop}
info=${2:?info file}
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3   # aiosmtpd belongs to Debian's own Python

value() { sed -n "s/^$1=//p" "$info" 2>/dev/null | head -n 1; }

stop_pid() {
    pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
    kill -9 "$pid" 2>/dev/null || true
}

stop() {
    [ -f "$info" ] || return 0
    dir=$(value MAIL_DIR)
    case "$dir" in /tmp/twm.*) ;; *) rm -f "$info"; return 0 ;; esac
    [ -f "$dir/run/master.pid" ] && stop_pid "$(cat "$dir/run/master.pid")"
    [ -f "$dir/smtp/pid" ] && stop_pid "$(cat "$dir/smtp/pid")"
    rm -rf "$dir"
    rm -f "$info"
}

start() {
    stop
    [ -x /usr/sbin/dovecot ] || { echo "Dovecot is missing: apt-get install dovecot-pop3d dovecot-imapd" >&2; exit 1; }
    $python -c 'import aiosmtpd' 2>/dev/null || { echo "aiosmtpd is missing: apt-get install python3-aiosmtpd" >&2; exit 1; }

    # Short folder: Dovecot's Unix sockets live below it (108-byte path limit).
    dir=$(mktemp -d /tmp/twm.XXXXXX)
    chmod 755 "$dir"
    mkdir -p "$dir/users" "$dir/home" "$dir/state" "$dir/smtp"

    if [ "$(id -u)" -eq 0 ]; then
        # Dovecot serves no mail as root: the mailboxes belong to "mail".
        uid=$(id -u mail); gid=$(id -g mail)
        internal=dovecot; login=dovenull
        getent passwd dovecot >/dev/null || internal=mail
        getent passwd dovenull >/dev/null || login=nobody
    else
        uid=$(id -u); gid=$(id -g)
        internal=$(id -un); login=$internal
    fi
    chown "$uid:$gid" "$dir/home"
    chmod 755 "$dir/users"

    attempt=0
    while :; do
        attempt=$((attempt + 1))
        set -- $($python "$here/ports.py" free 2)
        pop3=$1; imap=$2
        cat > "$dir/dovecot.conf" <<CONF
protocols = pop3 imap
listen = 127.0.0.1
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
instance_name = tarnwick-test
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login apop
# Failed sign-ins are part of the tests: answer them at once, and add no
# penalty delay for the address they came from.
auth_failure_delay = 0
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
default_internal_user = $internal
default_login_user = $login
first_valid_uid = $uid
last_valid_uid = 0
first_valid_gid = 0
mail_location = maildir:~/Maildir
mail_fsync = never
pop3_uidl_format = %08Xu%08Xv
login_greeting = Tarnwick test server ready.
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%n $dir/users/%n
}
userdb {
  driver = static
  args = uid=$uid gid=$gid home=$dir/home/%n
}
service imap-login {
  inet_listener imap {
    address = 127.0.0.1
    port = $imap
  }
  inet_listener imaps {
    port = 0
  }
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3
  }
  inet_listener pop3s {
    port = 0
  }
}
CONF
        if /usr/sbin/dovecot -c "$dir/dovecot.conf" </dev/null >"$dir/dovecot.out" 2>&1; then
            if $python "$here/ports.py" wait 10 "$pop3" "$imap"; then break; fi
        fi
        [ -f "$dir/run/master.pid" ] && stop_pid "$(cat "$dir/run/master.pid")"
        if [ $attempt -ge 3 ]; then
            echo "Dovecot did not start:" >&2
            cat "$dir/dovecot.out" "$dir/dovecot.log" >&2 2>/dev/null || true
            rm -rf "$dir"
            exit 1
        fi
    done

    # The SMTP server binds a free port itself and writes it down.
    nohup $python "$here/smtp_capture.py" "$dir/smtp" </dev/null >"$dir/smtp/out" 2>&1 &
    i=0
    while [ ! -s "$dir/smtp/port" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
    if [ ! -s "$dir/smtp/port" ]; then
        echo "The SMTP server did not start:" >&2
        cat "$dir/smtp/out" >&2 || true
        stop_pid "$(cat "$dir/run/master.pid")"
        rm -rf "$dir"
        exit 1
    fi
    smtp=$(cat "$dir/smtp/port")
    $python "$here/ports.py" wait 10 "$smtp"
    # Captured mail is read (and cleaned up) by the tests, whoever runs them.
    chmod 777 "$dir/smtp/mail"

    mkdir -p "$(dirname "$info")"
    cat > "$info.part" <<INFO
MAIL_DIR=$dir
POP3_PORT=$pop3
IMAP_PORT=$imap
SMTP_PORT=$smtp
MAIL_UID=$uid
MAIL_GID=$gid
INFO
    mv "$info.part" "$info"
    echo "mail servers: POP3 127.0.0.1:$pop3, IMAP 127.0.0.1:$imap, SMTP 127.0.0.1:$smtp in $dir"
}

case "$action" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop INFO_FILE" >&2; exit 2 ;;
esac
