"""Capturing SMTP servers on loopback for the tests.

Usage: smtp_capture.py FOLDER USERS CERT KEY
Runs three servers on free ports of 127.0.0.1, written to FOLDER/ports in
this order: one without TLS or sign-in; one that requires STARTTLS and then
AUTH; one with TLS from the first byte that requires AUTH. CERT and KEY are
what the TLS ones show. AUTH (PLAIN or LOGIN) takes user NAME with the
password of the line "NAME:{PLAIN}PASS" in USERS/NAME, as Dovecot does.

Every accepted message is stored as FOLDER/mail/NNNNNNNN.eml (the data as
received, dot-stuffing removed) with FOLDER/mail/NNNNNNNN.env beside it: the
envelope sender on the first line, one recipient per further line; and, when
the client signed in, FOLDER/mail/NNNNNNNN.auth with the user name. Files
appear whole (written under a temporary name, then renamed). The pid goes to
FOLDER/pid.
"""
import asyncio
import itertools
import os
import signal
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Capture:
    def __init__(self, folder):
        self.folder = folder
        self.counter = itertools.count(1)

    def _write(self, name, data):
        path = os.path.join(self.folder, name)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.rename(path + ".part", path)

    async def handle_DATA(self, server, session, envelope):
        n = next(self.counter)
        stem = "%08d" % n
        envelope_text = "\n".join([envelope.mail_from or ""] + list(envelope.rcpt_tos)) + "\n"
        self._write(stem + ".eml", envelope.original_content or b"")
        if session.authenticated and isinstance(session.auth_data, LoginPassword):
            self._write(stem + ".auth", session.auth_data.login)
        # The envelope last: a reader takes a message once its .env exists.
        self._write(stem + ".env", envelope_text.encode("utf-8", "surrogateescape"))
        return "250 OK captured"


class Users:
    """Checks a sign-in against the mailbox users' password files."""

    def __init__(self, folder):
        self.folder = folder

    def __call__(self, server, session, envelope, mechanism, auth_data):
        # handled=False: the server itself answers a refusal with 535.
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        name = auth_data.login.decode("utf-8", "replace")
        if "/" in name or name.startswith("."):
            return AuthResult(success=False, handled=False)
        try:
            with open(os.path.join(self.folder, name), encoding="utf-8") as f:
                line = f.readline().rstrip("\n")
        except OSError:
            return AuthResult(success=False, handled=False)
        expected = name + ":{PLAIN}" + auth_data.password.decode("utf-8", "replace")
        return AuthResult(success=line == expected, handled=False, auth_data=auth_data)


def write_whole(path, text):
    with open(path + ".part", "w") as f:
        f.write(text)
    os.rename(path + ".part", path)


async def main(folder, users, cert, key):
    mail = os.path.join(folder, "mail")
    os.makedirs(mail, exist_ok=True)
    handler = Capture(mail)
    authenticator = Users(users)
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(cert, key)
    loop = asyncio.get_running_loop()
    plain = await loop.create_server(
        lambda: SMTP(handler, hostname="tarnwick-test-smtp"), host="127.0.0.1", port=0)
    starttls = await loop.create_server(
        lambda: SMTP(handler, hostname="tarnwick-test-smtp", tls_context=tls, require_starttls=True,
                     authenticator=authenticator, auth_required=True, auth_require_tls=True),
        host="127.0.0.1", port=0)
    # The whole connection is TLS here, which the server's own STARTTLS
    # bookkeeping does not see: the sign-in must not wait for a STARTTLS.
    implicit = await loop.create_server(
        lambda: SMTP(handler, hostname="tarnwick-test-smtps", authenticator=authenticator,
                     auth_required=True, auth_require_tls=False),
        host="127.0.0.1", port=0, ssl=tls)
    stop = asyncio.Event()
    for s in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(s, stop.set)
    write_whole(os.path.join(folder, "pid"), "%d\n" % os.getpid())
    ports = [server.sockets[0].getsockname()[1] for server in (plain, starttls, implicit)]
    write_whole(os.path.join(folder, "ports"), " ".join(map(str, ports)) + "\n")
    async with plain, starttls, implicit:
        await stop.wait()


if __name__ == "__main__":
    asyncio.run(main(*sys.argv[1:5]))
