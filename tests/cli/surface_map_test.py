#!/usr/bin/env python3
"""The surface map: scanned block by block and in batches, the SVG parses as XML, holds one
coloured cell per block of the range, marks as many unreadable cells as the JSON counts read
errors, and its legend counts equal the JSON's latency counts."""
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
CLASSES = ["lt5ms", "lt20ms", "lt50ms", "lt200ms", "lt600ms", "ge600ms"]


def main(varim):
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        machine = os.path.join(folder, "m.ini")
        with open(machine, "w") as f:
            f.write("[Drive0]\nSectors = 3050\nModel = SIM <A&B>\nSerial = S1\n"
                    "SlowRead = 500:10, 900-999:60, 1200:250\nBadRead = 2050\nWeak = 1700\n")
        for transfer in ["0", "1"]:
            svg = os.path.join(folder, "map%s.svg" % transfer)
            run = subprocess.run([varim, "--machine", machine, "--json", "scan", "0", "--mode", "standard",
                                  "--transfer-mib", transfer, "--map", svg], capture_output=True, text=True)
            if run.returncode != 0:
                failures.append("transfer %s: exit %d: %s" % (transfer, run.returncode, run.stderr))
                continue
            latency = json.loads(run.stdout)["latency"]
            root = ElementTree.parse(svg).getroot()
            cells = [r for r in root.iter(SVG + "rect") if r.get("class") == "cell"]
            # 3050 sectors from 0: 31 blocks, one cell each.
            if len(cells) != 31 or not all((c.get("fill") or "").startswith("#") for c in cells):
                failures.append("transfer %s: %d cells, expected 31 coloured ones" % (transfer, len(cells)))
            counts = {t.get("data-class"): int(t.get("data-count")) for t in root.iter(SVG + "text")
                      if t.get("data-count") is not None}
            expected = dict(zip(CLASSES, latency["blocks"]))
            expected["error"] = latency["errors"]
            if counts != expected:
                failures.append("transfer %s: legend %s, JSON %s" % (transfer, counts, expected))
            error_fill = [s.get("fill") for s in root.iter(SVG + "rect") if s.get("class") == "swatch"][6]
            unreadable = sum(1 for c in cells if c.get("fill") == error_fill)
            if unreadable != latency["errors"] or latency["errors"] != 1:
                failures.append("transfer %s: %d unreadable cells, %d errors" % (transfer, unreadable,
                                                                                 latency["errors"]))
            if latency["unit"] != ("batch" if transfer == "1" else "block"):
                failures.append("transfer %s: unit %s" % (transfer, latency["unit"]))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
