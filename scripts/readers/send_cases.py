#!/usr/bin/env python3
"""send_cases.py - send every message of the reader check through the private Postfix with the
built tarvell binary, run headless as a batch job (/sendinf=FILE /sendon /quit), and keep what
Postfix delivered as OUT/NN-ID.eml beside OUT/NN-ID.json, which holds what was typed (UTF-8):
subject, From and To names and addresses, body text and the attachment's name and SHA-256.

  send_cases.py --build BUILD --env WORK/env --out OUT [--only ID,...]
"""
import argparse
import glob
import hashlib
import json
import os
import random
import shutil
import subprocess
import sys
import time

FROM_ADDR = "taro@example.jp"
TO_ADDR = "hanako@example.jp"

PARAGRAPH = "長い段落の文章です。" * 60 + " end"          # 1,200+ bytes in any Japanese charset
ASCII_LINE = "The quick brown fox jumps over the lazy dog. " * 30  # 1,350 bytes
BOUNDARY_BODY = "本文です。\r\n--_MULTIPART_MIXED_\r\n--_MULTIPART_MIXED_--\r\n続き\r\n"
LONG_NAME = "とても長い添付ファイルの名前" * 4 + " (最終版).txt"


def sample(size, seed):
    rnd = random.Random(seed)
    return bytes(rnd.getrandbits(8) for _ in range(size)) if size < 100000 else rnd.randbytes(size)


def text_sample(rows):
    # A text attachment holds text (a CSV or a note in Shift_JIS with CR LF), as it would.
    return "".join("%d,髙橋 ①,東京都千代田区,備考 %d\r\n" % (i, i * 7) for i in range(rows)).encode("cp932")


def case(cid, subject, from_name, to_name, body, attachment=None, charset="iso-2022-jp", expect=None):
    """attachment: (name, bytes). expect: what a reader must show where the program changes what
    was typed (the ISO-2022-JP replacements)."""
    return dict(id=cid, subject=subject, from_name=from_name, to_name=to_name, body=body,
                attachment=attachment, charset=charset, expect=expect or {})


CASES = [
    case("short-subject", "会議のお知らせ", "送信 太郎", "受信 花子", "お世話になっております。\r\n明日の会議です。\r\n"),
    case("long-subject", "令和8年度 第2四半期 営業成績報告会議のお知らせ" * 3, "送信 太郎", "受信 花子",
         "長い件名のメールです。\r\n"),
    case("ascii-beside-japanese", "Re: 第3回 勉強会 [資料あり] (12/9)", "Taro Yamada", "第1回",
         "ASCII と 日本語 が混ざった本文。\r\nTEL: 03-1234-5678\r\n"),
    case("double-blanks", "12月度  定例会議   のお知らせ", "送信  太郎", "受信 花子",
         "二つの  空白と   三つの空白。\r\n"),
    case("comma-paren-names", "名前の確認", "Sato, Hanako (Sales)", "山田, 太郎 (営業部)",
         "カンマと括弧の入った名前です。\r\n"),
    case("quotes-in-name", "引用符の名前", '鈴木 "ボス" 一郎', 'O\'Brien "Bob" <x>', "引用符のある名前です。\r\n"),
    case("ascii-only", "Monthly report", "Taro Yamada", "Hanako Suzuki", "Plain ASCII body.\r\nSecond line.\r\n"),
    case("long-japanese-line", "長い行", "送信 太郎", "受信 花子", PARAGRAPH + "\r\n次の行\r\n"),
    case("long-ascii-line", "Long ASCII line", "送信 太郎", "受信 花子", ASCII_LINE + "\r\nnext\r\n"),
    case("boundary-line", "区切り線に似た行", "送信 太郎", "山田, 太郎 (営業部)", BOUNDARY_BODY,
         ("2026年12月_報告書.pdf", sample(5000, 1))),
    case("ascii-attachment", "ASCII の添付", "送信 太郎", "受信 花子", "添付します。\r\n",
         ("report-2026.pdf", sample(20000, 2))),
    case("japanese-attachment", "日本語の添付", "送信 太郎", "受信 花子", "添付します。\r\n",
         ("報告書.xlsx", sample(30000, 3))),
    case("long-attachment-name", "長い名前の添付", "送信 太郎", "受信 花子", "添付します。\r\n",
         (LONG_NAME, text_sample(100))),
    case("5mb-attachment", "大きな添付 5MB", "送信 太郎", "受信 花子", "5 MB の添付です。\r\n",
         ("大容量データ.zip", sample(5 * 1024 * 1024, 5))),
    case("placeholders", "差し込みの確認", "送信 太郎", "受信 花子",
         "%NAME 様\r\nあて先: %MAILADDRESS\r\n"),
    case("halfwidth-replaced", "ﾃｽﾄ ﾒｰﾙ ｶﾞｷﾞ", "送信 ﾀﾛｳ", "受信 花子", "ｱｲｳｴｵ ﾊﾟﾋﾟﾌﾟ ①髙\r\n",
         expect=dict(subject="テスト メール ガギ", from_name="送信 タロウ",
                     body="アイウエオ パピプ (1)高\r\n")),
    case("utf8-nec-ibm", "①②③ 髙橋さんへ", "髙橋 一郎", "髙木 ①", "①②③と髙の本文\r\n㈱ ㍻ ∮ ≒\r\n",
         charset="utf-8"),
    case("utf8-halfwidth", "ﾃｽﾄ ﾒｰﾙ ｶﾞｷﾞ", "送信 ﾀﾛｳ", "受信 ﾊﾅｺ", "ｱｲｳｴｵ ﾊﾟﾋﾟﾌﾟ\r\n", charset="utf-8"),
    case("utf8-long-subject", "①髙 令和8年度 第2四半期 営業成績報告会議のお知らせ" * 3, "送信 太郎", "受信 花子",
         "長い件名です。\r\n", charset="utf-8"),
    case("utf8-names-attachment", "髙橋①の資料", "山田, 太郎 (営業部)", "Sato, Hanako (Sales)", BOUNDARY_BODY,
         ("髙橋①.csv", text_sample(200)), charset="utf-8"),
    case("utf8-long-line", "UTF-8 長い行", "送信 太郎", "受信 花子", "①" + PARAGRAPH + "\r\n次の行\r\n",
         ("髙" + LONG_NAME, text_sample(50)), charset="utf-8"),
]


def sjis(text):
    return text.encode("cp932")


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, **kw)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--env", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--only", default="")
    args = parser.parse_args()
    env = dict(line.strip().split("=", 1) for line in open(args.env) if "=" in line)
    build = os.path.abspath(args.build)
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    outbox = env["OUTBOX"]
    # A short folder: the attachment's path must fit the 255-byte field of the send information.
    files = os.path.join(os.path.dirname(outbox), "f")
    prog = os.path.join(os.path.dirname(outbox), "prog")
    os.makedirs(prog, exist_ok=True)
    shutil.copy(os.path.join(build, "tarvell"), prog)
    config = [os.path.join(build, "tarvell-config"), "--dir", prog]
    only = set(filter(None, args.only.split(",")))
    failed = 0
    for number, c in enumerate(CASES, 1):
        if only and c["id"] not in only:
            continue
        stem = "%02d-%s" % (number, c["id"])
        work = os.path.join(files, "%02d" % number)
        os.makedirs(work, exist_ok=True)
        for path in glob.glob(os.path.join(outbox, "msg.*")):
            os.remove(path)
        setup = run(config + ["sender", "set", "--password-stdin", "name=" + c["from_name"],
                              "address=" + FROM_ADDR, "smtp=127.0.0.1:" + env["SMTP_PORT"],
                              "pop3=127.0.0.1:" + env["POP3_PORT"], "login=" + env["MAIL_USER"]],
                    input=(env["MAIL_PASS"] + "\n").encode())
        setup2 = run(config + ["delivery", "set", "Charset=" + c["charset"]])
        if setup.returncode or setup2.returncode:
            print("%s: tarvell-config failed: %s%s" % (stem, setup.stderr.decode(errors="replace"),
                                                      setup2.stderr.decode(errors="replace")))
            failed += 1
            continue
        body_path = os.path.join(work, "body.txt")
        with open(body_path, "wb") as f:
            f.write(sjis(c["body"]))
        inf = ["Name=" + c["to_name"], "Address=" + TO_ADDR, "Title=" + c["subject"], "TextFile=" + body_path]
        sha = None
        if c["attachment"]:
            name, data = c["attachment"]
            bin_path = os.path.join(work, name)
            with open(bin_path, "wb") as f:
                f.write(data)
            sha = hashlib.sha256(data).hexdigest()
            inf.append("BinFile=" + bin_path)
        inf_path = os.path.join(work, "inf.txt")
        with open(inf_path, "wb") as f:
            f.write(sjis("\r\n".join(inf) + "\r\n"))
        started = time.time()
        tenv = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        tenv.update(QT_QPA_PLATFORM="offscreen", TARVELL_NET_TIMEOUT="30")
        send = run(["./tarvell", "/sendon", "/quit", "/sendinf=" + inf_path], cwd=prog, env=tenv, timeout=180)
        found = []
        deadline = time.time() + 30
        while not found and time.time() < deadline:
            found = glob.glob(os.path.join(outbox, "msg.*.eml"))
            time.sleep(0.2)
        log = (send.stdout + send.stderr).decode("utf-8", errors="replace").strip()
        if send.returncode != 0 or len(found) != 1:
            print("%s: tarvell exit %d, %d delivered:\n%s" % (stem, send.returncode, len(found), log))
            failed += 1
            continue
        shutil.move(found[0], os.path.join(out, stem + ".eml"))

        def filled(text):
            return text.replace("%NAME", c["to_name"]).replace("%MAILADDRESS", TO_ADDR)

        expected = dict(subject=c["subject"], from_name=c["from_name"], from_addr=FROM_ADDR,
                        to_name=c["to_name"], to_addr=TO_ADDR, body=filled(c["body"]),
                        attachment_name=c["attachment"][0] if c["attachment"] else None,
                        attachment_sha256=sha, charset=c["charset"])
        expected.update(c["expect"])
        with open(os.path.join(out, stem + ".json"), "w", encoding="utf-8") as f:
            json.dump(expected, f, ensure_ascii=False, indent=1)
        with open(os.path.join(out, stem + ".log"), "w", encoding="utf-8") as f:
            f.write(log + "\n")
        print("%s: sent in %.1f s" % (stem, time.time() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
