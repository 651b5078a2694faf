#!/usr/bin/python3
"""A real SMTP server for the mail tests: aiosmtpd on 127.0.0.1 delivering into a Maildir.

Usage: smtp_server.py PORT MAILDIR
Prints "ready" once it accepts connections; ends when its standard input closes or it is terminated.
"""
import mailbox
import os
import sys

from aiosmtpd.controller import Controller


class Deliver:
    def __init__(self, maildir):
        self.maildir = maildir

    async def handle_DATA(self, server, session, envelope):
        mailbox.Maildir(self.maildir, create=False).add(envelope.original_content)
        return "250 OK"


def main():
    port = int(sys.argv[1])
    maildir = sys.argv[2]
    # The mailbox belongs to nobody, as the POP3 server reads it.
    if os.getuid() == 0:
        os.setgid(65534)
        os.setuid(65534)
    controller = Controller(Deliver(maildir), hostname="127.0.0.1", port=port, enable_SMTPUTF8=False)
    controller.start()
    print("ready", flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
