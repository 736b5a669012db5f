"""A capturing SMTP server on loopback for the tests.

Usage: smtp_capture.py FOLDER
Binds 127.0.0.1 on a free port, writes the port to FOLDER/port and its pid to
FOLDER/pid, and stores every accepted message as FOLDER/mail/NNNNNNNN.eml (the
data as received, dot-stuffing removed) with FOLDER/mail/NNNNNNNN.env beside
it: the envelope sender on the first line, one recipient per further line.
Files appear whole (written under a temporary name, then renamed).
"""
import asyncio
import itertools
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


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
        # The envelope last: a reader takes a message once its .env exists.
        self._write(stem + ".env", envelope_text.encode("utf-8", "surrogateescape"))
        return "250 OK captured"


async def main(folder):
    mail = os.path.join(folder, "mail")
    os.makedirs(mail, exist_ok=True)
    handler = Capture(mail)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="tarnwick-test-smtp"), host="127.0.0.1", port=0)
    port = server.sockets[0].getsockname()[1]
    stop = asyncio.Event()
    for s in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(s, stop.set)
    with open(os.path.join(folder, "pid.part"), "w") as f:
        f.write("%d\n" % os.getpid())
    os.rename(os.path.join(folder, "pid.part"), os.path.join(folder, "pid"))
    with open(os.path.join(folder, "port.part"), "w") as f:
        f.write("%d\n" % port)
    os.rename(os.path.join(folder, "port.part"), os.path.join(folder, "port"))
    async with server:
        await stop.wait()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
