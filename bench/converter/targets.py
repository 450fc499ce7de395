#!/usr/bin/env python3
"""The converter's figures against its targets, from one run of the shared
harness (its work folder: facts.txt, results.tsv, json/*.json, out/).

Usage: targets.py HARNESS_WORK_DIR

Prints a Markdown table of medians (seconds) and peak memory per report
size and peer, then the ratios the targets are about: ours to .xlsx against
the libxlsxwriter peer, LibreOffice against ours to .xls, ours to .xlsx
against ours to .xls, the .xlsx file's size against the peer's, and peak
memory per cell.
"""

import csv
import glob
import json
import os
import statistics
import sys

COLUMNS = [("sheetwise", "ours .xls"), ("sheetwise_xlsx", "ours .xlsx"),
           ("c_xlsx_cm", "libxlsxwriter C, constant memory"),
           ("lo_warm", "LibreOffice csv -> .xls"), ("xlwt", "xlwt script")]


def median(work, size, peer):
    times = []
    for path in glob.glob(os.path.join(work, "json", "%s_%s_r*.json" % (size, peer))):
        with open(path, encoding="utf-8") as fh:
            for result in json.load(fh)["results"]:
                times.extend(result["times"])
    return (statistics.median(times), len(times)) if times else (None, 0)


def main(work):
    facts = dict(line.rstrip("\n").split("|", 1)
                 for line in open(os.path.join(work, "facts.txt"), encoding="utf-8"))
    rows = {}
    with open(os.path.join(work, "results.tsv"), encoding="utf-8") as fh:
        for r in csv.DictReader(fh, delimiter="\t"):
            rows[(r["detail_lines"], r["peer"])] = r
    sizes = sorted({k[0] for k in rows}, key=int)
    print("Load average before %s, after %s; %s." % (
        facts.get("load_before", "?"), facts.get("load_after", "?"), facts.get("date", "")))
    print()
    print("| report | " + " | ".join(label for _, label in COLUMNS) + " |")
    print("|---|" + "---:|" * len(COLUMNS))
    figures = {}
    for size in sizes:
        cells = next(r["cells"] for k, r in rows.items() if k[0] == size)
        cell_text = []
        for peer, _ in COLUMNS:
            r = rows.get((size, peer))
            if not r:
                cell_text.append("not run")
                continue
            m, n = median(work, size, peer)
            figures[(size, peer)] = (m, r)
            if r["status"] != "ok" or m is None:
                cell_text.append((r["note"] or r["status"]).split(";")[0])
                continue
            rss = int(r["rss_kb"] or 0) / 1024
            cell_text.append("%.3f s, %.0f MiB (%d runs)" % (m, rss, n))
        print("| %s detail lines, %s cells | %s |" % (
            "{:,}".format(int(size)), "{:,}".format(int(cells)), " | ".join(cell_text)))
    print()

    def ratio(a, b):
        if a and b and a[0] and b[0] and a[1]["status"] == b[1]["status"] == "ok":
            return a[0] / b[0]
        return None

    def size_of(entry):
        path = entry[1]["out"] if entry else ""
        path = os.path.join(os.path.dirname(work.rstrip("/")), path)
        return os.path.getsize(path) if os.path.exists(path) else None

    for size in sizes:
        ours_xls = figures.get((size, "sheetwise"))
        ours_xlsx = figures.get((size, "sheetwise_xlsx"))
        peer = figures.get((size, "c_xlsx_cm"))
        office = figures.get((size, "lo_warm"))
        lines = []
        r = ratio(peer, ours_xlsx)
        if r:
            lines.append("libxlsxwriter peer / ours .xlsx = %.2f (target >= 1, aim 1.5)" % r)
        r = ratio(office, ours_xls)
        if r:
            lines.append("LibreOffice / ours .xls = %.1f (target >= 10)" % r)
        r = ratio(ours_xlsx, ours_xls)
        if r:
            lines.append("ours .xlsx / ours .xls = %.2f (target <= 1.1)" % r)
        a, b = size_of(ours_xlsx), size_of(peer)
        if a and b:
            lines.append(".xlsx size ours / peer = %.2f (%s / %s bytes; target <= 1.3)" % (
                a / b, "{:,}".format(a), "{:,}".format(b)))
        if ours_xlsx and ours_xlsx[1]["rss_kb"]:
            per_cell = int(ours_xlsx[1]["rss_kb"]) * 1024 / int(ours_xlsx[1]["cells"])
            lines.append("ours .xlsx peak memory %.0f bytes per cell (target <= 250)" % per_cell)
        if lines:
            print("- %s detail lines: %s." % ("{:,}".format(int(size)), "; ".join(lines)))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
