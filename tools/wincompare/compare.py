#!/usr/bin/env python3
"""Runs the same profile reads and writes through Windows' profile service
(wincompare.exe under wine, Japanese locale) and through this program's
profile store (native), on copies of the same file, and prints differences.
Usage: compare.py WINCOMPARE_EXE NATIVE_BINARY WORK_FOLDER"""
import os, subprocess, sys

exe, native, work = sys.argv[1:4]
env = dict(os.environ, WINEDEBUG="-all", LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
sj = lambda s: s.encode("cp932")
h = lambda b: b.hex()

def run(kind, content, op, args):
    path = os.path.join(work, kind + ".ini")
    if content is None:
        if os.path.exists(path): os.remove(path)
    else:
        open(path, "wb").write(content)
    if kind == "win":
        cmd = ["wine", exe, op, h(("Z:" + path.replace("/", "\\")).encode())]
    else:
        cmd = [native, op, h(path.encode())]
    out = subprocess.run(cmd + [h(a) for a in args[:3]] + list(args[3:]), env=env,
                         capture_output=True, text=True).stdout.strip().splitlines()
    after = open(path, "rb").read() if os.path.exists(path) else None
    return (out[-1] if out else "?"), after

cases = [
    # reads: content, section, key, default, size
    ("get", b"[HeAd]\r\nMaxHp=12\r\n", (b"head", b"MAXHP", b"", "256")),
    ("get", sj("[ＡＢＣ]\r\nΣ=3\r\n"), (sj("ａｂｃ"), sj("σ"), b"", "256")),
    ("get", b"  [ head ]  \r\n\t key  =  two  words \t\r\n", (b"head", b"key", b"", "256")),
    ("get", b"[a]\r\nk= \" q \" \r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\nk='q\"\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\nk=lf", (b"a", b"k", b"", "256")),
    ("get", b"[a]\n;k=c\n", (b"a", b";k", b"", "256")),
    ("get", b"[a]\nk\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\nk=1\r\nk=2\r\n[a]\r\nj=3\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\nk=1\r\nk=2\r\n[a]\r\nj=3\r\n", (b"a", b"j", b"", "256")),
    ("get", b"[a\r\nk=1\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a] x\r\nk=1\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[\x83\x5d]\r\n\x83\x5c=\x95\x5c\r\n", (sj("ゾ"), sj("ソ"), b"", "256")),
    ("get", b"[a]\r\nk=" + b"x" * 300 + b"\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\nk=" + b"x" * 254 + sj("カ") + b"\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\n", (b"a", b"k", b"dflt  ", "256")),
    ("get", b"[a]\r\nk=\xe3\x80\x80v\xe3\x80\x80\r\n", (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\nk=" + sj("\u3000v\u3000") + b"\r\n", (b"a", b"k", b"", "256")),
    ("get", b"\xef\xbb\xbf[a]\r\nk=" + "カード".encode() + b"\r\n", (b"a", b"k", b"", "256")),
    ("get", b"\xff\xfe" + "[a]\r\nk=カード\r\n".encode("utf-16-le"), (b"a", b"k", b"", "256")),
    ("get", b"\xff\xfe" + "[a]\r\nk=".encode("utf-16-le") + "x".encode("utf-16-le") * 254 + "カ".encode("utf-16-le"), (b"a", b"k", b"", "256")),
    ("get", b"[a]\r\nk=x\x80y\r\n", (b"a", b"k", b"", "256")),
    # writes: content, section, key, value
    ("set", None, (b"head", b"Name", sj("このカードはスーパーカード"))),
    ("set", b"[a]\r\nx=1\r\n", (b"b", b"k", b"v")),
    ("set", b"[a]\r\nx=1", (b"b", b"k", b"v")),
    ("set", b"[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", (b"a", b"z", b"3")),
    ("set", b"[Head]\r\n  MaxHP = 1 \r\nother=2\r\n", (b"head", b"maxhp", b"5")),
    ("set", b"[a]\r\nk=1\r\n", (b"a", b"k", b"")),
    ("set", b"[a]\nx=1\n;c\n[b]\ny=2\n", (b"a", b"z", b"3")),
    ("set", b"; top\r\n[a]\r\nx=1\r\n", (b"a", b"x", b"2")),
    ("set", b"\xef\xbb\xbf[a]\r\nk=1\r\n", (b"a", b"k", sj("カ"))),
    ("set", b"\xff\xfe" + "[a]\r\nk=1\r\n".encode("utf-16-le"), (b"a", b"n", sj("カ"))),
    ("set", b"[a]\r\n", (b" a ", b" k ", b" v ")),
]
same = 0
for op, content, args in cases:
    w = run("win", content, op, args)
    n = run("nat", content, op, args)
    if w == n:
        same += 1
    else:
        print("DIFFERENT:", op, content, args)
        print("   wine  :", w)
        print("   native:", n)
print(f"{same} of {len(cases)} cases alike")
