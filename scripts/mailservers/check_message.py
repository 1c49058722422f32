#!/usr/bin/env python3
"""check_message.py - decode the one message delivered to OUTBOX with two independent readers,
Python's standard email package (policy.default) and Perl's MIME-tools (decode_mimetools.pl), and
compare what each shows with what was sent: subject, sender and recipient names and addresses,
body text and, when given, the attachment's name and bytes. Exits 0 when all match, 1 with every
mismatch on standard error, 2 when no message arrived in time."""
import argparse
import email
import email.policy
import glob
import hashlib
import json
import os
import subprocess
import sys
import time


def wait_for_message(outbox, timeout):
    deadline = time.time() + timeout
    while True:
        found = sorted(glob.glob(os.path.join(outbox, "msg.*.eml")))
        if found:
            return found
        if time.time() > deadline:
            return []
        time.sleep(0.2)


def lines(text):
    # Postfix stores lines, not line ends: compare text with LF endings.
    return text.replace("\r\n", "\n").replace("\r", "\n")


def check_with_mimetools(path, args, want_body, expect, problems):
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "decode_mimetools.pl")
    run = subprocess.run(["perl", script, path], capture_output=True)
    if run.returncode != 0:
        problems.append("MIME-tools: %s" % run.stderr.decode(errors="replace").strip())
        return
    seen = json.loads(run.stdout)
    expect("MIME-tools subject", seen["subject"], args.subject)
    for field, name, addr in (("from", args.from_name, args.from_addr), ("to", args.to_name, args.to_addr)):
        expect("MIME-tools " + field, seen[field], [[name, addr]])
    expect("MIME-tools body", lines(seen.get("body", "")), lines(want_body))
    if args.attachment:
        expect("MIME-tools parts", seen["parts"], 2)
        expect("MIME-tools attachment name", seen.get("attachment_name"), args.attachment_name)
        with open(args.attachment, "rb") as f:
            expect("MIME-tools attachment sha256", seen.get("attachment_sha256"),
                   hashlib.sha256(f.read()).hexdigest())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--outbox", required=True)
    parser.add_argument("--timeout", type=float, default=30)
    parser.add_argument("--subject", required=True)
    parser.add_argument("--from-name", required=True)
    parser.add_argument("--from-addr", required=True)
    parser.add_argument("--to-name", required=True)
    parser.add_argument("--to-addr", required=True)
    parser.add_argument("--body-file", required=True, help="expected body text, UTF-8")
    parser.add_argument("--attachment", help="file holding the expected attachment bytes")
    parser.add_argument("--attachment-name")
    args = parser.parse_args()

    found = wait_for_message(args.outbox, args.timeout)
    if len(found) != 1:
        print("expected one delivered message, found %d" % len(found), file=sys.stderr)
        return 2
    with open(found[0], "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=email.policy.default)

    problems = []

    def expect(what, got, want):
        if got != want:
            problems.append("%s: got %r, want %r" % (what, got, want))

    expect("subject", str(msg["Subject"]), args.subject)
    # Every message carries a valid Date, a Message-ID and MIME-Version 1.0.
    try:
        if msg["Date"] is None or msg["Date"].datetime is None:
            problems.append("no valid Date header")
    except (TypeError, ValueError) as error:
        problems.append("Date header not valid: %s" % error)
    if msg["Message-ID"] is None or "@" not in str(msg["Message-ID"]):
        problems.append("no Message-ID header")
    expect("MIME-Version", str(msg["MIME-Version"]), "1.0")
    for header, name, addr in (("From", args.from_name, args.from_addr), ("To", args.to_name, args.to_addr)):
        addresses = msg[header].addresses if msg[header] is not None else ()
        if len(addresses) != 1:
            problems.append("%s: %d addresses" % (header, len(addresses)))
            continue
        expect(header + " name", addresses[0].display_name, name)
        expect(header + " address", addresses[0].addr_spec, addr)

    with open(args.body_file, encoding="utf-8") as f:
        want_body = f.read()
    if args.attachment:
        expect("content type", msg.get_content_type(), "multipart/mixed")
        parts = list(msg.iter_parts()) if msg.is_multipart() else []
        if len(parts) != 2:
            problems.append("expected 2 parts, found %d" % len(parts))
        else:
            expect("body", lines(parts[0].get_content()), lines(want_body))
            expect("attachment name", parts[1].get_filename(), args.attachment_name)
            with open(args.attachment, "rb") as f:
                want_bytes = f.read()
            got_bytes = parts[1].get_payload(decode=True)
            if got_bytes != want_bytes:
                problems.append("attachment bytes differ: got %d bytes, want %d"
                                % (len(got_bytes or b""), len(want_bytes)))
    else:
        expect("content type", msg.get_content_type(), "text/plain")
        expect("body", lines(msg.get_content()), lines(want_body))

    check_with_mimetools(found[0], args, want_body, expect, problems)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
