#!/usr/bin/env python3
"""check.py OUT - decode every OUT/NN-ID.eml with each mail reader and compare what it shows with
OUT/NN-ID.json (what was typed): subject, From/To display names and addresses, body text and
the attachment's name and SHA-256. Prints one line per message and reader, OK or the
differences, then what SpamAssassin (local tests only) says of each message, its rules split
into those caused by how the message is composed and those caused by this test setup (loopback,
no DNS, no DKIM). Exits 0 only when every reader shows every message as typed and no
composition rule fires.

  check.py OUT [--readers py-default,mutt,...] [--no-spamassassin]
"""
import argparse
import email
import email.header
import email.policy
import email.utils
import glob
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MAILSERVERS = os.path.join(os.path.dirname(HERE), "mailservers")
FIELDS = ("subject", "from", "to", "body", "attachment_name", "attachment_sha256")


def lf(text):
    # Stored mail has lines, not line ends: compare with LF endings.
    return text.replace("\r\n", "\n").replace("\r", "\n")


def sha(data):
    return hashlib.sha256(data).hexdigest()


def text_of(part):
    return part.get_payload(decode=True).decode(part.get_content_charset() or "us-ascii")


# Each reader returns a dict with some of FIELDS ("from"/"to": a list of [name, address]); a
# field it leaves out is one the reader does not show.

def read_py_default(path, _):
    msg = email.message_from_bytes(open(path, "rb").read(), policy=email.policy.default)
    seen = dict(subject=str(msg["Subject"]))
    for field in ("from", "to"):
        seen[field] = [[a.display_name, a.addr_spec] for a in msg[field].addresses] if msg[field] else []
    text = msg.get_body(preferencelist=("plain",))
    seen["body"] = text.get_content() if text is not None else None
    attachments = list(msg.iter_attachments())
    if attachments:
        seen["attachment_name"] = attachments[0].get_filename()
        seen["attachment_sha256"] = sha(attachments[0].get_payload(decode=True))
    return seen


def read_py_defects(path, _):
    # Not a reader of its own: the defects policy.default's parser noted in any header or part,
    # reported as a difference of their own so a message that parses only with repairs shows.
    msg = email.message_from_bytes(open(path, "rb").read(), policy=email.policy.default)
    found = []
    for part in msg.walk():
        found += ["%s in the part" % type(d).__name__ for d in part.defects]
        for name, value in part.items():
            found += ["%s in %s: %s" % (type(d).__name__, name, d) for d in getattr(value, "defects", ())]
    if found:
        raise RuntimeError("; ".join(found))
    return {}


def words(text):
    return str(email.header.make_header(email.header.decode_header(text)))


def read_py_compat32(path, _):
    # The classic API, as older programs use it: decode_header/make_header on the raw header,
    # getaddresses on the raw field, then the encoded-words of each name.
    msg = email.message_from_bytes(open(path, "rb").read())
    seen = dict(subject=words(msg["Subject"] or ""))
    for field in ("from", "to"):
        seen[field] = [[words(n), a] for n, a in email.utils.getaddresses(msg.get_all(field, []))]
    parts = msg.get_payload() if msg.is_multipart() else [msg]
    seen["body"] = text_of(parts[0])
    if len(parts) > 1:
        name = parts[1].get_filename()
        seen["attachment_name"] = words(name) if name else name
        seen["attachment_sha256"] = sha(parts[1].get_payload(decode=True))
    return seen


def read_json_tool(cmd):
    def read(path, _):
        run = subprocess.run(cmd + [path], capture_output=True)
        if run.returncode != 0:
            raise RuntimeError(run.stderr.decode(errors="replace").strip()[-400:])
        seen = json.loads(run.stdout)
        return {k: seen[k] for k in FIELDS if k in seen}
    return read


def mbox_of(path, folder):
    mbox = os.path.join(folder, "mbox")
    with open(path, "rb") as src, open(mbox, "wb") as out:
        out.write(b"From taro@example.jp Thu Jan  1 00:00:00 2026\n")
        for line in src:
            line = line.rstrip(b"\r\n")
            out.write((b">" + line if re.match(rb">*From ", line) else line) + b"\n")
        out.write(b"\n")
    return mbox


def read_mutt(program):
    # Driven in a pseudo-terminal: <pipe-message> with pipe_decode writes the decoded header and
    # text, <save-entry> in the attachment menu saves the attachment under the name mutt shows.
    def read(path, multipart):
        folder = tempfile.mkdtemp(prefix="mutt.", dir=os.environ.get("TMPDIR", "/tmp"))
        try:
            mbox = mbox_of(path, folder)
            saved = os.path.join(folder, "saved")
            os.mkdir(saved)
            rc = os.path.join(folder, "muttrc")
            with open(rc, "w") as f:
                f.write("set charset=utf-8\nset pipe_decode=yes\nset weed=no\nset wait_key=no\n"
                        "set mbox_type=mbox\nset sort=mailbox-order\nset folder=%s\nset spoolfile=%s\n"
                        "set record=/dev/null\nset mbox=/dev/null\nset move=no\nset quit=yes\n"
                        "set pipe_split=no\nset attach_save_dir=%s\nset confirmcreate=no\n"
                        # An attachment of a text type stays out of the decoded text.
                        "set honor_disposition=yes\n"
                        % (folder, mbox, saved))
            out = os.path.join(folder, "decoded")
            keys = "<pipe-message>cat > %s<enter>" % out
            if multipart:
                keys += "<view-attachments><last-entry><save-entry><enter><exit>"
            keys += "<quit>"
            command = "%s -n -F %s -R -f %s -e 'push \"%s\"'" % (program, rc, mbox, keys)
            env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm", HOME=folder)
            subprocess.run(["script", "-qc", command, "/dev/null"], env=env, capture_output=True,
                           timeout=120, cwd=folder)
            if not os.path.exists(out):
                raise RuntimeError("%s wrote nothing" % program)
            text = open(out, "rb").read().decode("utf-8", errors="replace")
            head, _, body = text.partition("\n\n")
            head = re.sub(r"\n[ \t]+", " ", head.split("\n", 1)[1] if head.startswith("From ") else head)
            fields = {}
            for line in head.split("\n"):
                name, _, value = line.partition(":")
                fields.setdefault(name.strip().lower(), value.strip())
            seen = dict(subject=fields.get("subject", ""), body=body.rstrip("\n") + "\n")
            for field in ("from", "to"):
                seen[field] = [list(p) for p in email.utils.getaddresses([fields.get(field, "")])]
            if multipart:
                names = os.listdir(saved)
                seen["attachment_name"] = names[0] if len(names) == 1 else repr(names)
                if len(names) == 1:
                    seen["attachment_sha256"] = sha(open(os.path.join(saved, names[0]), "rb").read())
            return seen
        finally:
            shutil.rmtree(folder, ignore_errors=True)
    return read


def nkf(data, *options):
    # -x: half-width katakana stay half-width (nkf widens them by default).
    return subprocess.run(["nkf", "-w", "-x", *options], input=data, capture_output=True, check=True).stdout.decode(
        "utf-8", errors="replace")


def read_nkf(path, multipart):
    # nkf as a Japanese user's filter: nkf -w -m over the header block (encoded-words), then the
    # text part's body through nkf -w with the MIME decoding its transfer encoding asks for.
    raw = open(path, "rb").read().replace(b"\r\n", b"\n")
    head, _, rest = raw.partition(b"\n\n")
    decoded = re.sub(r"\n[ \t]+", " ", nkf(head + b"\n", "-m"))
    fields = {}
    for line in decoded.split("\n"):
        name, _, value = line.partition(":")
        fields.setdefault(name.strip().lower(), value.strip())
    seen = dict(subject=fields.get("subject", ""))
    for field in ("from", "to"):
        # What nkf prints is the name as a person reads it: "NAME <addr>", maybe in quotes.
        m = re.match(r'^(.*?)\s*<([^<>]*)>$', fields.get(field, ""))
        name = m.group(1) if m else fields.get(field, "")
        if len(name) > 1 and name[0] == name[-1] == '"':
            name = name[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        seen[field] = [[name, m.group(2) if m else ""]]
    text_head, text_body = head, rest
    if multipart:
        boundary = email.message_from_bytes(head + b"\n\n").get_boundary().encode()
        parts = rest.split(b"\n--" + boundary)
        first = parts[0].split(b"--" + boundary + b"\n", 1)[1]
        text_head, _, text_body = first.partition(b"\n\n")
        if len(parts) > 1:
            att_head = parts[1].partition(b"\n\n")[0]
            att = re.sub(r"\n[ \t]+", " ", nkf(att_head + b"\n", "-m"))
            m = re.search(r'\bname="([^"]*)"', att)
            seen["attachment_name"] = m.group(1) if m else None
    cte = re.search(rb"(?im)^content-transfer-encoding:\s*(\S+)", text_head)
    cte = cte.group(1).lower().decode() if cte else "7bit"
    option = {"base64": "-mB", "quoted-printable": "-mQ"}.get(cte, "-m0")
    # The input charset from the part's header: nkf's guess is wrong for short UTF-8 texts.
    charset = re.search(rb'(?i)charset="?([\w-]+)', text_head)
    charset = charset.group(1).decode().lower() if charset else "us-ascii"
    seen["body"] = nkf(text_body, option, "-W" if charset == "utf-8" else "-J")
    return seen


def attachment_of(folder, skip):
    # A name holding "/" becomes a subfolder: report the path below the folder.
    names = [os.path.relpath(os.path.join(top, n), folder) for top, _, found in os.walk(folder)
             for n in found if not skip(n)]
    if not names:
        return dict(attachment_name=None)
    if len(names) > 1:
        return dict(attachment_name=repr(sorted(names)))
    return dict(attachment_name=names[0], attachment_sha256=sha(open(os.path.join(folder, names[0]), "rb").read()))


def read_munpack(path, _):
    with tempfile.TemporaryDirectory() as folder:
        run = subprocess.run(["munpack", "-q", "-C", folder, os.path.abspath(path)], capture_output=True)
        seen = attachment_of(folder, lambda n: n.endswith(".desc") or n == "tempdesc.txt")
        if seen["attachment_name"] is None and b"anything to unpack" not in run.stderr + run.stdout:
            seen["attachment_name"] = "(nothing saved: %s)" % (run.stderr + run.stdout).decode(
                "utf-8", errors="replace").strip()[-160:]
        return seen


def read_ripmime(path, _):
    with tempfile.TemporaryDirectory() as folder:
        run = subprocess.run(["ripmime", "-xUTF-8", "-i", path, "-d", folder], capture_output=True)
        if run.returncode != 0:
            raise RuntimeError("exit %d: %s" % (run.returncode, (run.stderr + run.stdout).decode(errors="replace").strip()))
        return attachment_of(folder, lambda n: re.fullmatch(r"textfile\d+", n) is not None)


# Readers whose findings are printed but do not fail the check.
INFORMATIONAL = {"py-defects"}

READERS = {
    "py-default": read_py_default,
    "py-defects": read_py_defects,
    "py-compat32": read_py_compat32,
    "mime-tools": read_json_tool(["perl", os.path.join(MAILSERVERS, "decode_mimetools.pl")]),
    "email-mime": read_json_tool(["perl", os.path.join(HERE, "decode_email_mime.pl")]),
    "ruby-mail": read_json_tool(["ruby", os.path.join(HERE, "decode_ruby_mail.rb")]),
    "mutt": read_mutt("mutt"),
    "neomutt": read_mutt("neomutt"),
    "nkf": read_nkf,
    "munpack": read_munpack,
    "ripmime": read_ripmime,
}


def short(value, limit=90):
    text = repr(value)
    return text if len(text) <= limit else text[:limit // 2] + "..." + text[-limit // 2:] + " (%d chars)" % len(value)


def differences(seen, want):
    found = []
    for field in FIELDS:
        if field not in seen:
            continue
        got, exp = seen[field], want[field]
        if field == "body":
            got, exp = lf(got or ""), lf(exp)
        if got != exp:
            if field == "body" and isinstance(got, str):
                at = next((i for i, (a, b) in enumerate(zip(got, exp)) if a != b), min(len(got), len(exp)))
                found.append("body differs at char %d: got %s, want %s" % (at, short(got[max(0, at - 20):at + 40]),
                                                                          short(exp[max(0, at - 20):at + 40])))
            else:
                found.append("%s: got %s, want %s" % (field, short(got, 200), short(exp, 200)))
    return found


# Rules that fire because of this test setup (loopback, headers of Received stripped, no DNS, no
# DKIM/SPF), not because of how Tarvell writes the message.
ENVIRONMENT = re.compile(r"^(NO_RELAYS|ALL_TRUSTED|NO_RECEIVED|RDNS_\w+|DKIM_\w+|T_DKIM_\w+|SPF_\w+|T_SPF_\w+|"
                         r"DMARC_\w+|RCVD_\w+|__\w+|URIBL_\w+|RCVD_IN_\w+|HELO_\w+|DOS_\w+|"
                         r"TO_NO_BRKTS_\w+|SHORTCIRCUIT|NO_DNS_FOR_FROM|KHOP_HELO_FCRDNS|FSL_HELO_\w+|"
                         r"UNPARSEABLE_RELAY|AWL|TXREP|BAYES_\w+|MISSING_MID_DNS)$")


# Rules that fire because of what was typed (the subject's words), whatever the composition.
CONTENT = re.compile(r"^(SUBJ_ALL_CAPS)$")


def spamassassin(path):
    with open(path, "rb") as f:
        run = subprocess.run(["spamassassin", "-L", "-x"], stdin=f, capture_output=True, timeout=600)
    head = run.stdout.split(b"\n\n", 1)[0].decode(errors="replace")
    status = re.search(r"(?ms)^X-Spam-Status: (.*?)(?=^\S)", head + "\nEnd:")
    if not status:
        return None, [], run.stderr.decode(errors="replace")[-300:]
    value = re.sub(r"\s+", " ", status.group(1))
    score = re.search(r"score=(-?[\d.]+)", value)
    # The list of tests is folded after a comma: it ends at the next key=value.
    tests = re.search(r"tests=(.*?)(?: \w+=|$)", value)
    rules = [t.strip() for t in (tests.group(1).split(",") if tests else []) if t.strip() not in ("", "none")]
    return score.group(1) if score else "?", rules, ""


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("out")
    parser.add_argument("--readers", default=",".join(READERS))
    parser.add_argument("--no-spamassassin", action="store_true")
    args = parser.parse_args()
    messages = sorted(glob.glob(os.path.join(args.out, "*.eml")))
    if not messages:
        print("check: no messages in %s" % args.out)
        return 2
    failures = 0
    table = {}
    for path in messages:
        stem = os.path.basename(path)[:-4]
        typed = json.load(open(path[:-4] + ".json", encoding="utf-8"))
        want = dict(subject=typed["subject"], body=typed["body"], attachment_name=typed["attachment_name"],
                    attachment_sha256=typed["attachment_sha256"],
                    **{"from": [[typed["from_name"], typed["from_addr"]]], "to": [[typed["to_name"], typed["to_addr"]]]})
        multipart = typed["attachment_name"] is not None
        for reader in args.readers.split(","):
            try:
                seen = READERS[reader](path, multipart)
                problems = differences(seen, want)
            except Exception as error:  # a reader that fails to read is a finding too
                problems = ["reader failed: %s" % str(error).strip()[:600]]
            note = reader in INFORMATIONAL
            table[(stem, reader)] = "OK" if not problems else "NOTE" if note else "FAIL"
            failures += bool(problems) and not note
            print("%-28s %-12s %s" % (stem, reader, "OK" if not problems else
                                      ("NOTE (not counted) " if note else "") + "; ".join(problems)), flush=True)
    print()
    print("summary (messages x readers):")
    readers = args.readers.split(",")
    print("%-28s %s" % ("", " ".join("%-11s" % r for r in readers)))
    for path in messages:
        stem = os.path.basename(path)[:-4]
        print("%-28s %s" % (stem, " ".join("%-11s" % table[(stem, r)] for r in readers)))
    composed = 0
    if not args.no_spamassassin:
        print()
        print("SpamAssassin (local tests only):")
        for path in messages:
            stem = os.path.basename(path)[:-4]
            score, rules, error = spamassassin(path)
            if score is None:
                print("%-28s spamassassin failed: %s" % (stem, error))
                composed += 1
                continue
            env = [r for r in rules if ENVIRONMENT.match(r)]
            typed = [r for r in rules if CONTENT.match(r)]
            comp = [r for r in rules if r not in env and r not in typed]
            composed += len(comp)
            print("%-28s score=%-5s composition: %-28s typed text: %-16s environment: %s"
                  % (stem, score, ",".join(comp) or "-", ",".join(typed) or "-", ",".join(env) or "-"),
                  flush=True)
    print()
    print("check: %d reader mismatches, %d composition rules fired" % (failures, composed))
    return 0 if failures == 0 and composed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
