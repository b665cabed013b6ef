#!/usr/bin/env python3
"""Runs the same profile reads and writes through Windows' profile service
(wincompare.exe under wine, Japanese locale) and through this program's
profile store (native), on copies of the same file, and prints differences.
Usage: compare.py WINCOMPARE_EXE NATIVE_BINARY WORK_FOLDER [--random N [SEED]]
With --random, N random scripts of reads and writes on random files (code
page 932, UTF-8 and UTF-16 with their byte-order marks) run after the fixed
cases, each script in one process of each side. WINCOMPARE_EXE may also be
another build's native binary (not ending in .exe): then both sides must
answer and write alike byte for byte, which shows that a change of the
profile store changed nothing."""
import os, random, subprocess, sys

exe, native, work = sys.argv[1:4]
under_wine = exe.endswith(".exe")
env = dict(os.environ, WINEDEBUG="-all", LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
sj = lambda s: s.encode("cp932")
h = lambda b: b.hex()

def run(kind, content, op, args):
    path = os.path.join(work, kind + ".ini")
    if content is None:
        if os.path.exists(path): os.remove(path)
    else:
        open(path, "wb").write(content)
    if kind == "win" and under_wine:
        cmd = ["wine", exe, op, h(("Z:" + path.replace("/", "\\")).encode())]
    else:
        cmd = [exe if kind == "win" else native, op, h(path.encode())]
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

def script(kind, content, lines):
    """Runs the script's lines on the file; returns the answers and the file after."""
    path = os.path.join(work, kind + ".ini")
    open(path, "wb").write(content)
    if kind == "win" and under_wine:
        cmd = ["wine", exe, "script", h(("Z:" + path.replace("/", "\\")).encode())]
    else:
        cmd = [exe if kind == "win" else native, "script", h(path.encode())]
    out = subprocess.run(cmd, input="".join(l + "\n" for l in lines), env=env, capture_output=True,
                         text=True).stdout.split()
    return out, open(path, "rb").read()

if len(sys.argv) > 5 and sys.argv[4] == "--random":
    # Wine's profile functions rewrite the whole file in their own layout (CR
    # LF, blanks around names and values dropped), where Windows edits the
    # file in place and keeps every other line as it was. So the answers of
    # every script are compared, the file after it byte for byte when it
    # starts in that layout, and otherwise by what it reads as.
    rng = random.Random(int(sys.argv[6]) if len(sys.argv) > 6 else 2026)
    pieces = ["[", "]", "=", ";", " ", "\t", "\r\n", "\n", "a", "A", "b", "k", "K", "x", '"', "'",
              "ゾ", "あ", "ソ", "表", "ｶ", "Σ", "σ", "ａ", "Ａ"]
    names = ["a", "A", "b", "k", "K", " a ", "ゾ", "Σ", "σ", "ａ", "Ａ", "[a", "x y"]
    plain = [n for n in names if n == n.strip() and "[" not in n]
    values = ["", "v", " v ", '"q"', "'q", "カード", "x" * 254 + "カ", "x" * 300, "ｶﾞ"]
    encodings = [("", "cp932"), (b"\xef\xbb\xbf", "utf-8"), (b"\xff\xfe", "utf-16-le")]
    hexarg = lambda s: h(sj(s)) or "-"
    everything = [f"get {hexarg(s_)} {hexarg(k)} - 256" for s_ in plain for k in plain]
    alike = 0
    runs = int(sys.argv[5])
    for n in range(runs):
        bom, codec = encodings[n % 3]
        laid_out = n % 2 == 0
        if laid_out:
            text = ""
            for _ in range(rng.randrange(4)):
                text += f"[{rng.choice(plain)}]\r\n"
                for _ in range(rng.randrange(4)):
                    text += f"{rng.choice(plain)}={rng.choice(['v', 'カード', 'x y', '1'])}\r\n"
        else:
            text = "".join(rng.choice(pieces) for _ in range(rng.randrange(60)))
        content = (bom or b"") + text.encode(codec)
        lines = []
        for _ in range(rng.randrange(1, 8)):
            section, key = rng.choice(names), rng.choice(names)
            if rng.random() < 0.5:
                lines.append(f"get {hexarg(section)} {hexarg(key)} {hexarg(rng.choice(['', 'd', 'd  ']))} "
                             f"{rng.choice([256, 256, 4, 1])}")
            else:
                value = rng.choice(values if not laid_out else [v for v in values if v == v.strip()])
                lines.append(f"set {hexarg(section if not laid_out else rng.choice(plain))} "
                             f"{hexarg(key if not laid_out else rng.choice(plain))} {hexarg(value)}")
        (wa, wf), (na, nf) = script("win", content, lines), script("nat", content, lines)
        same_file = wf == nf if laid_out or not under_wine else script("nat", wf, everything)[0] == script("nat", nf, everything)[0]
        if wa == na and same_file:
            alike += 1
        else:
            print("DIFFERENT:", content, lines)
            print("   wine  :", wa, wf)
            print("   native:", na, nf)
    print(f"{alike} of {runs} random scripts alike")
