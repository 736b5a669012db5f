"""A web-mail site of our own, on loopback, for the tests of the AOL adapter.

Usage: webmail_site.py FOLDER [--user NAME] [--password TEXT]
                              [--endless-forms] [--expired-first] [--announce N]

The mailbox is FOLDER/inbox/: one file per message, listed in name order,
the file name without its extension being the message's id. A file's first
line is the layout of the message's page ("pre": a header block; "table": one
table row per field), the other lines are its header. Deleting through the
site removes the file; a test may add or remove files at any time.

The pages, as the adapter expects them:
  /                       the sign-in form (an absolute action, a hidden input)
  /login/login.psp?...    wrong name or password: the failure text with a
                          retry link; right: a redirect that sets the
                          session cookie and leads to the start page
  /login/TOKEN            the sign-in form again (relative action)
  /mail.dci?start=1       welcome line with the count of new messages and a
                          link to each new message
  /mail.dci?read=ID&...   the message's page; viewing makes it read
  /mail.dci?keepnew=ID&.. makes it new again
  /mail.dci?box=inbox&tabs=yes   the inbox page with the delete form
  POST /mail.dci          deletes the messages the form names by place
  /mail.dci?logout&...    ends the session
Every /mail.dci page is refused without the session cookie.

--endless-forms   every sign-in answer is another sign-in form
--expired-first   the first sign-in answer says the session expired and
                  offers only the retry link
--announce N      the welcome line announces N new messages, whatever is linked

The site binds 127.0.0.1 on a free port, then writes the port to FOLDER/port.
Each request is appended to FOLDER/requests.log as one line:
"METHOD TARGET<TAB>SESSION<TAB>BODY", SESSION being "session" when the
request carried a valid session cookie, else "-". It runs until killed, or
until the test that started it is gone.
"""
import argparse
import html
import http.cookies
import os
import secrets
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FAILURE_TEXT = "Incorrect name and/or password, please re-enter"
SITE_STATE = "mail start"


class Site:
    def __init__(self, folder, options):
        self.folder = folder
        self.inbox = os.path.join(folder, "inbox")
        self.options = options
        self.lock = threading.Lock()
        self.sessions = set()
        self.retry_tokens = set()
        self.read = set()
        self.expired_shown = False
        os.makedirs(self.inbox, exist_ok=True)

    def messages(self):
        """(id, layout, header lines) of every message, in name order."""
        found = []
        for name in sorted(os.listdir(self.inbox)):
            try:
                with open(os.path.join(self.inbox, name), encoding="latin-1") as f:
                    lines = f.read().splitlines()
            except FileNotFoundError:
                continue
            if lines:
                found.append((os.path.splitext(name)[0], lines[0].strip(), lines[1:]))
        return found

    def new_messages(self):
        return [m for m in self.messages() if m[0] not in self.read]

    def delete(self, message_id):
        for name in os.listdir(self.inbox):
            if os.path.splitext(name)[0] == message_id:
                os.remove(os.path.join(self.inbox, name))

    def log(self, method, target, session, body):
        with open(os.path.join(self.folder, "requests.log"), "a", encoding="latin-1") as f:
            f.write("%s %s\t%s\t%s\n" % (method, target, "session" if session else "-", body))


def field(header, name):
    for line in header:
        if line.lower().startswith(name.lower() + ":"):
            return line.split(":", 1)[1].strip()
    return ""


def unfolded(header):
    fields = []
    for line in header:
        if line[:1] in (" ", "\t") and fields:
            fields[-1] += " " + line.strip()
        else:
            fields.append(line)
    return fields


def sign_in_form(action):
    return ("<html><head><title>Sign On</title></head><body>\n"
            '<form name="AOLLoginForm" method="get" action="%s">\n'
            'Screen Name: <input type="text" name="username" value="" maxlength="16"><br>\n'
            'Password: <input type="password" name="password" value=""><br>\n'
            '<input type="hidden" name="siteState" value="%s">\n'
            '<input type="submit" value="Sign On">\n'
            "</form>\n</body></html>\n" % (action, SITE_STATE))


def pre_block(header):
    lines = "".join("\n<br>" + html.escape(line) for line in header)
    return "<pre>--------------------Headers --------------------%s\n</pre>\n" % lines


def table_rows(header):
    rows = ""
    for line in unfolded(header):
        name, _, value = line.partition(":")
        rows += ("<tr>\n<td valign=top><tt><nobr>%s:</nobr></tt></td>\n<td width=5>&nbsp;</td>\n"
                 "<td valign=top><tt>%s</tt></td>\n</tr>\n" % (html.escape(name), html.escape(value.strip())))
    return "<table>\n%s</table>\n" % rows


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    site = None

    def log_message(self, *args):
        pass

    def base(self):
        return "http://" + self.headers.get("Host", "127.0.0.1")

    def session(self):
        cookies = http.cookies.SimpleCookie(self.headers.get("Cookie", ""))
        token = cookies.get("MAILSESSION")
        return token is not None and token.value in self.site.sessions and token.value

    def answer(self, status, page, extra=()):
        data = page.encode("latin-1", "replace")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=iso-8859-1")
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.handle_request("GET", "")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        self.handle_request("POST", self.rfile.read(length).decode("latin-1"))

    def handle_request(self, method, body):
        with self.site.lock:
            session = self.session()
            self.site.log(method, self.path, session, body)
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            if url.path == "/" and method == "GET":
                return self.answer(200, sign_in_form(self.base() + "/login/login.psp"))
            if url.path == "/login/login.psp":
                return self.sign_in(query)
            if url.path.startswith("/login/") and url.path[7:] in self.site.retry_tokens:
                return self.answer(200, sign_in_form("/login/login.psp"))
            if url.path != "/mail.dci":
                return self.answer(404, "<html><body>Not found</body></html>\n")
            if not session:
                return self.answer(403, "<html><body>Please sign on first.</body></html>\n")
            if method == "POST":
                return self.delete(urllib.parse.parse_qs(body, keep_blank_values=True))
            return self.mail_page(url.query, query, session)

    def retry_link(self):
        token = secrets.token_hex(16).upper()
        self.site.retry_tokens.add(token)
        return 'Click <a href="%s/login/%s">here</a> to try again.<br>\n' % (self.base(), token)

    def sign_in(self, query):
        options = self.site.options
        if options.endless_forms:
            return self.answer(200, sign_in_form("/login/login.psp"))
        if options.expired_first and not self.site.expired_shown:
            self.site.expired_shown = True
            return self.answer(200, "<html><body><p>Your session has expired.</p>\n%s</body></html>\n"
                               % self.retry_link())
        if query.get("siteState") != [SITE_STATE]:
            return self.answer(400, "<html><body>The sign-in form was changed.</body></html>\n")
        if query.get("username") != [options.user] or query.get("password") != [options.password]:
            return self.answer(200, "<html><body><p>%s</p>\n%s</body></html>\n" % (FAILURE_TEXT, self.retry_link()))
        token = secrets.token_hex(16)
        self.site.sessions.add(token)
        return self.answer(302, "<html><body>Moved</body></html>\n",
                           [("Location", "/mail.dci?start=1"), ("Set-Cookie", "MAILSESSION=%s; Path=/" % token)])

    def mail_page(self, raw_query, query, session):
        if "start" in query:
            return self.answer(200, self.start_page())
        if "read" in query:
            return self.answer(200, self.message_page(query["read"][0]))
        if "keepnew" in query:
            self.site.read.discard(query["keepnew"][0])
            return self.answer(200, "<html><body>Kept as new.</body></html>\n")
        if raw_query == "box=inbox&tabs=yes":
            return self.answer(200, self.inbox_page())
        if raw_query == "logout&langid=1":
            self.site.sessions.discard(session)
            return self.answer(200, "<html><body>You have signed off.</body></html>\n")
        return self.answer(404, "<html><body>Not found</body></html>\n")

    def start_page(self):
        new = self.site.new_messages()
        count = len(new) if self.site.options.announce is None else self.site.options.announce
        links = "".join('<tr><td><a href="/mail.dci?read=%s&box=inbox&tabs=no">%s</a></td></tr>\n'
                        % (mid, html.escape(field(header, "Subject"))) for mid, _, header in new)
        return ("<html><body>\n<table><tr><td><b>Welcome %s! You have %d new message%s.</b></td></tr></table>\n"
                '<a href="/mail.dci?box=inbox&tabs=yes">Go to your inbox</a>\n'
                "<table>\n%s</table>\n"
                '<a href="/mail.dci?logout&langid=1">Sign Off</a>\n</body></html>\n'
                % (html.escape(self.site.options.user), count, "" if count == 1 else "s", links))

    def message_page(self, message_id):
        for mid, layout, header in self.site.messages():
            if mid != message_id:
                continue
            self.site.read.add(mid)
            # One page links "keep as new" absolutely, the other relatively.
            if layout == "table":
                keep, shown = "/mail.dci?keepnew=%s&box=inbox" % mid, table_rows(header)
            else:
                keep, shown = "%s/mail.dci?keepnew=%s&box=inbox" % (self.base(), mid), pre_block(header)
            return ("<html><body>\n"
                    '<a href="/mail.dci?box=inbox&tabs=yes">Inbox</a>\n'
                    '<a href="%s"><img src="/img/keepnew.gif" border="0" alt="Keep Message as New"></a>\n'
                    "%s<p>The message text is shown to signed-in members only.</p>\n</body></html>\n"
                    % (keep, shown))
        return "<html><body>This message is no longer available.</body></html>\n"

    def inbox_page(self):
        new = self.site.new_messages()
        rows = "".join('<tr><td><input type="checkbox" name="msg" value="%d"></td><td>%s</td><td>%s</td></tr>\n'
                       % (i + 1, html.escape(field(h, "From")), html.escape(field(h, "Subject")))
                       for i, (_, _, h) in enumerate(new))
        return ("<html><body>\n"
                '<form name="inbox" method="post" action="/mail.dci">\n'
                '<input type="hidden" name="count" value="%d">\n'
                '<input type="hidden" name="number" value="1">\n'
                '<input type="hidden" name="box" value="inbox">\n'
                '<input type="hidden" name="list" value="%s">\n'
                "<table>\n%s</table>\n"
                '<input type="image" name="Delete Selected Messages" src="/img/delete.gif" border="0">\n'
                "</form>\n</body></html>\n" % (len(new), ",".join(mid for mid, _, _ in new), rows))

    def delete(self, form):
        """Deletes the messages named by their place in the form's list."""
        if form.get("box") != ["inbox"] or "Delete Selected Messages.x" not in form or "list" not in form:
            return self.answer(400, "<html><body>Unknown form.</body></html>\n")
        listed = form["list"][0].split(",")
        for place in form.get("msg", []):
            if place.isdigit() and 1 <= int(place) <= len(listed):
                self.site.delete(listed[int(place) - 1])
        return self.answer(200, self.inbox_page())


def leave_with_parent():
    """A test that crashed leaves no site behind."""
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--user", default="anna")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--endless-forms", action="store_true")
    parser.add_argument("--expired-first", action="store_true")
    parser.add_argument("--announce", type=int)
    options = parser.parse_args()
    Handler.site = Site(options.folder, options)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=leave_with_parent, daemon=True).start()
    port_file = os.path.join(options.folder, "port")
    with open(port_file + ".part", "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.rename(port_file + ".part", port_file)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
