#!/usr/bin/env python3
"""trelvo-cli --html: the page parses as XML (its SVG included), draws every updated decal before
and after with exactly its rewritten pieces marked, links nothing outside itself, caps its
drawings, and leaves the run's output and messages as they are without it.

    html_page_check.py TRELVO_CLI REAL_LIBRARIES_DIR
"""
import csv
import io
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

H = "{http://www.w3.org/1999/xhtml}"
S = "{http://www.w3.org/2000/svg}"
SIG = b"*PADS-LIBRARY-PCB-DECALS-V9*"
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def run(cli, args, cwd):
    return subprocess.run([cli] + args, cwd=cwd, capture_output=True)


def decal(name, unit, pieces):
    lines = [name + b" " + unit + b" 0 0 0 0 " + str(len(pieces)).encode() + b" 0 1 1 0",
             b"TIMESTAMP 2020.1.1.0.0.0"]
    for keyword, width, layer in pieces:
        lines += [keyword + b" 2 " + width + b" " + layer + b" -1", b"0 0", b"10 10"]
    lines += [b"T0 0 0 0 1", b"PAD 0 1 P 0", b"-2 1 R"]
    return lines


def library(decals):
    lines = [SIG]
    for d in decals:
        lines += [b""] + d
    return b"\r\n".join(lines) + b"\r\n"


def page_of(path):
    root = ET.parse(path).getroot()  # raises on a page that is not well-formed
    for el in root.iter():
        for attr in el.attrib:
            check(not attr.endswith("href") and attr != "src", f"{path}: a link ({attr})")
        check(el.tag not in (H + "script", H + "link", H + "img", H + "iframe"),
              f"{path}: an external or scripted element {el.tag}")
    return root


def drawings(root):
    """[(decal heading, [marks before, marks after], figures)] for each drawn decal."""
    out = []
    for div in root.iter(H + "div"):
        if div.get("class") != "decal":
            continue
        heading = "".join(div.find(H + "h3").itertext())
        figures = div.findall(f"./{H}div/{H}figure")
        marks = [sum(1 for e in f.iter() if e.get("class") == "rewritten") for f in figures]
        shapes = [sum(1 for e in f.iter() if e.tag in (S + "path", S + "circle")) for f in figures]
        captions = ["".join(f.find(H + "figcaption").itertext()) for f in figures]
        out.append((heading, marks, shapes, captions))
    return out


def main():
    cli, libs = os.path.abspath(sys.argv[1]), sys.argv[2]
    with tempfile.TemporaryDirectory() as tmp:
        # Every real library, dry run: one drawing per updated decal, marks where the report says.
        names = sorted(n for n in os.listdir(libs) if n.endswith(".d")) if os.path.isdir(libs) else []
        if not names:
            print(f"SKIP the real libraries: none at {libs}")
        for name in names:
            src = os.path.join(libs, name)
            r = run(cli, ["--layer", "26:1", "--dry-run", "--report", "rows.csv", "--html", "p.html", src], tmp)
            check(r.returncode == 0, f"{name}: status {r.returncode}")
            plain = run(cli, ["--layer", "26:1", "--dry-run", src], tmp)
            check(plain.stdout == r.stdout and plain.stderr == r.stderr, f"{name}: --html changed the messages")
            rows = list(csv.DictReader(io.open(os.path.join(tmp, "rows.csv"), newline="")))
            per_decal = []
            for row in rows:
                if not row["decal"]:
                    continue
                if per_decal and per_decal[-1][0] == row["decal"]:
                    per_decal[-1][1] += 1
                else:
                    per_decal.append([row["decal"], 1])
            drawn = drawings(page_of(os.path.join(tmp, "p.html")))
            # At most 200 drawings on a page (the libraries without empty lines hold more).
            check(len(drawn) == min(len(per_decal), 200),
                  f"{name}: {len(drawn)} drawings for {len(per_decal)} decals")
            for (heading, marks, shapes, captions), (decal_name, n) in zip(drawn, per_decal):
                check(heading.startswith(decal_name.strip() + " ") or heading.startswith(decal_name + " "),
                      f"{name}: drawing '{heading}' for decal '{decal_name}'")
                check(captions == ["before", "after"], f"{name}: captions {captions}")
                check(marks == [n, n], f"{name}/{decal_name}: marks {marks}, rewritten {n}")
                check(shapes[0] > n and shapes[0] == shapes[1], f"{name}/{decal_name}: shapes {shapes}")

        # A name that XML must escape, bytes that are not UTF-8; a normal run's output unchanged.
        lib = library([decal(b"A&B<\xb5>", b"I", [(b"OPEN", b"10", b"26"), (b"CLOSED", b"10", b"20")]),
                       decal(b"SAME", b"M", [(b"OPEN", b"0.1", b"20")])])
        with open(os.path.join(tmp, "odd.d"), "wb") as f:
            f.write(lib)
        r1 = run(cli, ["--layer", "26:1", "-o", "a.d", "odd.d"], tmp)
        r2 = run(cli, ["--layer", "26:1", "-o", "b.d", "--html", "odd.html", "odd.d"], tmp)
        check(r1.returncode == r2.returncode == 0, "odd.d: status")
        check(open(os.path.join(tmp, "a.d"), "rb").read() == open(os.path.join(tmp, "b.d"), "rb").read(),
              "odd.d: --html changed the output")
        drawn = drawings(page_of(os.path.join(tmp, "odd.html")))
        check(len(drawn) == 1 and drawn[0][0].startswith("A&B<\ufffd>") and drawn[0][1] == [1, 1],
              f"odd.d: {drawn}")

        # In place the file read back holds the new lines: the drawings must be the same as a
        # dry run's, which reads the old ones.
        with open(os.path.join(tmp, "inplace.d"), "wb") as f:
            f.write(lib)
        run(cli, ["--layer", "26:1", "--width", "10:4", "--dry-run", "--html", "dry.html", "inplace.d"], tmp)
        r = run(cli, ["--layer", "26:1", "--width", "10:4", "--in-place", "--no-backup", "--html", "in.html",
                      "inplace.d"], tmp)
        check(r.returncode == 0, f"in place: status {r.returncode} {r.stderr}")

        def figures(path):
            return [ET.tostring(f) for f in page_of(path).iter(H + "figure")]
        dry, inplace = figures(os.path.join(tmp, "dry.html")), figures(os.path.join(tmp, "in.html"))
        check(len(dry) == 2 and dry == inplace, "in place: drawings differ from the dry run's")
        check(dry[0] != dry[1], "in place: before and after are the same drawing")

        # Thousands of updated decals: the first 200 are drawn, the page says so.
        many = library([decal(b"D%d" % i, b"I", [(b"OPEN", b"10", b"26")]) for i in range(250)])
        with open(os.path.join(tmp, "many.d"), "wb") as f:
            f.write(many)
        r = run(cli, ["--layer", "26:1", "--dry-run", "--html", "many.html", "many.d"], tmp)
        root = page_of(os.path.join(tmp, "many.html"))
        drawn = drawings(root)
        check(len(drawn) == 200 and drawn[-1][0].startswith("D199 "), f"many.d: {len(drawn)} drawings")
        text = "".join(root.itertext())
        check("Only the first 200 updated decals are drawn on this page; 50 more were updated and are not drawn."
              in text, "many.d: no note of the cap")

        # A batch with a file that fails: its outcome on the page, no drawings for it, the
        # others drawn; the status as without the page.
        with open(os.path.join(tmp, "bad.d"), "wb") as f:
            f.write(b"not a library\r\n")
        r = run(cli, ["--layer", "26:1", "--dry-run", "--html", "batch.html", "bad.d", "odd.d"], tmp)
        check(r.returncode == 6, f"batch: status {r.returncode}")
        root = page_of(os.path.join(tmp, "batch.html"))
        text = "".join(root.itertext())
        check("bad.d: File format error" in text and "odd.d: Done, 1 decal(s) updated" in text,
              "batch: outcomes missing from the page")
        check(len(drawings(root)) == 1, "batch: drawings")
        r = run(cli, ["--layer", "26:1", "--dry-run", "--report", "same.txt", "--html", "same.txt", "odd.d"], tmp)
        check(r.returncode == 2 and b"--html 'same.txt' names the file of --report" in r.stderr,
              f"same file: {r.stderr}")

        # The page may not be an INPUT or an output.
        r = run(cli, ["--layer", "26:1", "-o", "x.d", "--html", "odd.d", "odd.d"], tmp)
        check(r.returncode == 2 and b"--html 'odd.d' names an INPUT" in r.stderr, f"clash: {r.stderr}")
        check(open(os.path.join(tmp, "odd.d"), "rb").read() == lib, "clash: the input was touched")
    for f in failures:
        print("FAIL", f)
    if failures:
        return 1
    # 77: skipped, for CTest, when the real libraries were not there to be checked.
    return 0 if os.path.isdir(libs) else 77


if __name__ == "__main__":
    sys.exit(main())
