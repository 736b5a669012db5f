#!/bin/sh
# Starts and stops the private mail servers of the tests, on loopback only:
#
# - Dovecot (POP3 and IMAP, plaintext sign-in, APOP offered), no TLS;
# - a second Dovecot for TLS: POP3 with STLS and IMAP with STARTTLS, where
#   nothing signs in before the upgrade, and POP3S and IMAPS on ports of their
#   own. It listens on 127.0.0.2: Dovecot takes a plain-text password from a
#   client of its own address, and the clients come from 127.0.0.1. There it
#   shows a good certificate (for 127.0.0.1, 127.0.0.2 and localhost, from a
#   test CA made here with openssl); on the POP3S and IMAPS ports of other
#   loopback addresses it shows a bad one: 127.0.0.3 expired,
#   127.0.0.4 self-signed, 127.0.0.5 made for another name, 127.0.0.6 not yet
#   valid (apart from the one for another name, each names the address it is
#   shown on, so that it has one fault only);
# - a capturing SMTP server (aiosmtpd) without TLS or sign-in, one that
#   requires STARTTLS and AUTH, and one with TLS from the first byte that
#   requires AUTH; AUTH takes the mailbox users' passwords.
#
# Never touches the system's own Dovecot.
#
#   mailservers.sh start INFO_FILE    start them all, then write INFO_FILE
#   mailservers.sh stop INFO_FILE     stop what INFO_FILE names, remove it all
#
# INFO_FILE holds KEY=VALUE lines: MAIL_DIR (the servers' folder), POP3_PORT,
# IMAP_PORT, SMTP_PORT, MAIL_UID, MAIL_GID (owner of the mailboxes); for TLS
# TLS_HOST (the second Dovecot's address), POP3_STLS_PORT, IMAP_STARTTLS_PORT, POP3S_PORT, IMAPS_PORT,
# SMTP_STARTTLS_PORT, SMTPS_PORT, TLS_CA (the test CA's certificate: trust it
# with SSL_CERT_FILE), and TLS_FP_GOOD, TLS_FP_EXPIRED, TLS_FP_SELFSIGNED,
# TLS_FP_OTHERNAME, TLS_FP_NOTYET (SHA-256 fingerprints as openssl prints
# them). A mailbox user NAME with password PASS exists once
# MAIL_DIR/users/NAME holds the line "NAME:{PLAIN}PASS"; its Maildir is
# MAIL_DIR/home/NAME/Maildir.
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

stop_dovecots() {
    for run in "$1/run" "$1/srun"; do
        [ -f "$run/master.pid" ] && stop_pid "$(cat "$run/master.pid")"
    done
    return 0
}

stop() {
    [ -f "$info" ] || return 0
    dir=$(value MAIL_DIR)
    case "$dir" in /tmp/twm.*) ;; *) rm -f "$info"; return 0 ;; esac
    stop_dovecots "$dir"
    [ -f "$dir/smtp/pid" ] && stop_pid "$(cat "$dir/smtp/pid")"
    rm -rf "$dir"
    rm -f "$info"
}

# --- certificates, made afresh for every start

key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }

# signed NAME SUBJECT_ALT_NAMES [openssl ca date options]: a certificate of the test CA.
signed() {
    name=$1; names=$2; shift 2
    key "$tls/$name.key"
    openssl req -new -key "$tls/$name.key" -subj "/CN=$name" -addext "subjectAltName=$names" \
        -out "$tls/$name.csr" 2>/dev/null
    openssl ca -batch -notext -config "$tls/ca.cnf" -in "$tls/$name.csr" -out "$tls/$name.pem" "$@" 2>/dev/null
}

# selfsigned NAME SUBJECT_ALT_NAMES
selfsigned() {
    key "$tls/$1.key"
    openssl req -x509 -new -key "$tls/$1.key" -days 30 -subj "/CN=$1" -addext "subjectAltName=$2" \
        -out "$tls/$1.pem" 2>/dev/null
}

fingerprint() { openssl x509 -noout -fingerprint -sha256 -in "$tls/$1.pem" | sed 's/^.*=//'; }

make_certificates() {
    tls=$dir/tls
    mkdir -p "$tls/issued"
    : > "$tls/index.txt"
    echo 1000 > "$tls/serial"
    cat > "$tls/ca.cnf" <<CNF
[ ca ]
default_ca = test_ca
[ test_ca ]
database = $tls/index.txt
new_certs_dir = $tls/issued
serial = $tls/serial
certificate = $tls/ca.pem
private_key = $tls/ca.key
default_md = sha256
default_days = 30
policy = any_name
copy_extensions = copy
unique_subject = no
[ any_name ]
commonName = supplied
CNF
    key "$tls/ca.key"
    openssl req -x509 -new -key "$tls/ca.key" -days 3650 -subj "/CN=Tarnwick Test CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -out "$tls/ca.pem" 2>/dev/null
    signed good "IP:127.0.0.1,IP:127.0.0.2,DNS:localhost"
    signed expired "IP:127.0.0.3" -startdate 20200101000000Z -enddate 20200201000000Z
    selfsigned selfsigned "IP:127.0.0.4"
    signed othername "DNS:mail.other.test"
    signed notyet "IP:127.0.0.6" -startdate 20900101000000Z -enddate 20910101000000Z
    for c in good expired selfsigned othername notyet; do
        [ -s "$tls/$c.pem" ] || { echo "openssl did not make the $c certificate" >&2; return 1; }
    done
}

# --- Dovecot

# dovecot_conf FILE RUN_FOLDER NAME ADDRESS: what both instances share.
dovecot_conf() {
    cat > "$1" <<CONF
protocols = pop3 imap
listen = $4
base_dir = $2
state_dir = $dir/state-$3
log_path = $dir/dovecot-$3.log
instance_name = tarnwick-test-$3
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
CONF
}

plain_dovecot_conf() {
    dovecot_conf "$dir/dovecot.conf" "$dir/run" plain 127.0.0.1
    cat >> "$dir/dovecot.conf" <<CONF
ssl = no
disable_plaintext_auth = no
service imap-login {
$login_service
  inet_listener imap {
    address = 127.0.0.1
    port = $imap
  }
  inet_listener imaps {
    port = 0
  }
}
service pop3-login {
$login_service
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3
  }
  inet_listener pop3s {
    port = 0
  }
}
CONF
}

secure_dovecot_conf() {
    bad="127.0.0.3, 127.0.0.4, 127.0.0.5, 127.0.0.6"
    dovecot_conf "$dir/secure.conf" "$dir/srun" secure 127.0.0.2
    cat >> "$dir/secure.conf" <<CONF
ssl = yes
ssl_cert = <$dir/tls/good.pem
ssl_key = <$dir/tls/good.key
ssl_min_protocol = TLSv1.2
disable_plaintext_auth = yes
local 127.0.0.3 {
  ssl_cert = <$dir/tls/expired.pem
  ssl_key = <$dir/tls/expired.key
}
local 127.0.0.4 {
  ssl_cert = <$dir/tls/selfsigned.pem
  ssl_key = <$dir/tls/selfsigned.key
}
local 127.0.0.5 {
  ssl_cert = <$dir/tls/othername.pem
  ssl_key = <$dir/tls/othername.key
}
local 127.0.0.6 {
  ssl_cert = <$dir/tls/notyet.pem
  ssl_key = <$dir/tls/notyet.key
}
service imap-login {
$login_service
  inet_listener imap {
    address = 127.0.0.2
    port = $imap_starttls
  }
  inet_listener imaps {
    address = 127.0.0.2, $bad
    port = $imaps
  }
}
service pop3-login {
$login_service
  inet_listener pop3 {
    address = 127.0.0.2
    port = $pop3_stls
  }
  inet_listener pop3s {
    address = 127.0.0.2, $bad
    port = $pop3s
  }
}
CONF
}

# Login processes that live on and serve one connection after another, as
# on a busy server: not started (and their TLS set up) for every connection.
login_service='  service_count = 0
  process_min_avail = 1'

start_dovecots() {
    attempt=0
    while :; do
        attempt=$((attempt + 1))
        set -- $($python "$here/ports.py" free 6)
        pop3=$1; imap=$2; pop3_stls=$3; imap_starttls=$4; pop3s=$5; imaps=$6
        plain_dovecot_conf
        secure_dovecot_conf
        # Each master opens all its ports before it writes its pid file, so
        # the ports that greet in plain text stand for the TLS ones.
        if /usr/sbin/dovecot -c "$dir/dovecot.conf" </dev/null >"$dir/dovecot.out" 2>&1 &&
            /usr/sbin/dovecot -c "$dir/secure.conf" </dev/null >>"$dir/dovecot.out" 2>&1; then
            if $python "$here/ports.py" wait 10 "$pop3" "$imap" "127.0.0.2:$pop3_stls" "127.0.0.2:$imap_starttls"
            then return 0; fi
        fi
        stop_dovecots "$dir"
        if [ $attempt -ge 3 ]; then
            echo "Dovecot did not start:" >&2
            cat "$dir/dovecot.out" "$dir"/dovecot-*.log >&2 2>/dev/null || true
            return 1
        fi
    done
}

# --- SMTP

start_smtp() {
    # The SMTP servers bind free ports themselves and write them down.
    nohup $python "$here/smtp_capture.py" "$dir/smtp" "$dir/users" "$dir/tls/good.pem" "$dir/tls/good.key" \
        </dev/null >"$dir/smtp/out" 2>&1 &
    i=0
    while [ ! -s "$dir/smtp/ports" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
    if [ ! -s "$dir/smtp/ports" ]; then
        echo "The SMTP server did not start:" >&2
        cat "$dir/smtp/out" >&2 || true
        return 1
    fi
    set -- $(cat "$dir/smtp/ports")
    smtp=$1; smtp_starttls=$2; smtps=$3
    $python "$here/ports.py" wait 10 "$smtp" "$smtp_starttls"
    # Captured mail is read (and cleaned up) by the tests, whoever runs them.
    chmod 777 "$dir/smtp/mail"
}

start() {
    stop
    [ -x /usr/sbin/dovecot ] || { echo "Dovecot is missing: apt-get install dovecot-pop3d dovecot-imapd" >&2; exit 1; }
    $python -c 'import aiosmtpd' 2>/dev/null || { echo "aiosmtpd is missing: apt-get install python3-aiosmtpd" >&2; exit 1; }
    command -v openssl >/dev/null || { echo "openssl is missing: apt-get install openssl" >&2; exit 1; }

    # Short folder: Dovecot's Unix sockets live below it (108-byte path limit).
    dir=$(mktemp -d /tmp/twm.XXXXXX)
    chmod 755 "$dir"
    mkdir -p "$dir/users" "$dir/home" "$dir/smtp"
    for name in plain secure; do mkdir -p "$dir/state-$name"; done

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

    if ! make_certificates || ! start_dovecots || ! start_smtp; then
        stop_dovecots "$dir"
        [ -f "$dir/smtp/pid" ] && stop_pid "$(cat "$dir/smtp/pid")"
        rm -rf "$dir"
        exit 1
    fi

    mkdir -p "$(dirname "$info")"
    cat > "$info.part" <<INFO
MAIL_DIR=$dir
POP3_PORT=$pop3
IMAP_PORT=$imap
SMTP_PORT=$smtp
MAIL_UID=$uid
MAIL_GID=$gid
TLS_HOST=127.0.0.2
POP3_STLS_PORT=$pop3_stls
IMAP_STARTTLS_PORT=$imap_starttls
POP3S_PORT=$pop3s
IMAPS_PORT=$imaps
SMTP_STARTTLS_PORT=$smtp_starttls
SMTPS_PORT=$smtps
TLS_CA=$dir/tls/ca.pem
TLS_FP_GOOD=$(fingerprint good)
TLS_FP_EXPIRED=$(fingerprint expired)
TLS_FP_SELFSIGNED=$(fingerprint selfsigned)
TLS_FP_OTHERNAME=$(fingerprint othername)
TLS_FP_NOTYET=$(fingerprint notyet)
INFO
    mv "$info.part" "$info"
    echo "mail servers in $dir: POP3 127.0.0.1:$pop3, IMAP :$imap, SMTP :$smtp;" \
        "TLS: POP3 STLS 127.0.0.2:$pop3_stls, IMAP STARTTLS :$imap_starttls, POP3S :$pop3s, IMAPS :$imaps;" \
        "SMTP STARTTLS 127.0.0.1:$smtp_starttls, SMTPS :$smtps"
}

case "$action" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop INFO_FILE" >&2; exit 2 ;;
esac
