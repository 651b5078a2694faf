#!/usr/bin/python3
"""A real SMTP server for the mail tests: aiosmtpd on 127.0.0.1 delivering into a Maildir.

Usage: smtp_server.py [--aparte=ADDRESS=OTHER_MAILDIR ...] PORT MAILDIR [CERT KEY USER PASSWORD]
With a certificate it requires STARTTLS, then authentication with USER and PASSWORD.
Mail for an ADDRESS given with --aparte goes to its own Maildir instead (a forwarding address that is not the
account's).
Prints "ready" once it accepts connections; ends when its standard input closes or it is terminated.
"""
import mailbox
import os
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Deliver:
    def __init__(self, maildir, others):
        self.maildir = maildir
        self.others = others

    async def handle_DATA(self, server, session, envelope):
        targets = {self.others.get(r.lower(), self.maildir) for r in envelope.rcpt_tos}
        for target in targets:
            mailbox.Maildir(target, create=False).add(envelope.original_content)
        return "250 OK"


class Account:
    def __init__(self, user, password):
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = getattr(auth_data, "login", None) == self.user and getattr(auth_data, "password", None) == self.password
        # handled=False leaves the reply to the server: 235 on success, 535 on a refusal.
        return AuthResult(success=ok, handled=False)


def main():
    apart = "--aparte="
    others = {}
    for arg in sys.argv[1:]:
        if arg.startswith(apart):
            address, folder = arg[len(apart):].split("=", 1)
            others[address.lower()] = folder
    args = [arg for arg in sys.argv[1:] if not arg.startswith(apart)]
    port = int(args[0])
    maildir = args[1]
    secure = {}
    if len(args) >= 6:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args[2], args[3])
        secure = dict(tls_context=context, require_starttls=True, auth_require_tls=True, auth_required=True,
                      authenticator=Account(args[4], args[5]))
    # The mailbox belongs to nobody, as the POP3 server reads it.
    if os.getuid() == 0:
        os.setgid(65534)
        os.setuid(65534)
    controller = Controller(Deliver(maildir, others), hostname="127.0.0.1", port=port, enable_SMTPUTF8=False, **secure)
    controller.start()
    print("ready", flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
