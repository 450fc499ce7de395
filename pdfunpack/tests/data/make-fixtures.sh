#!/usr/bin/env bash
# Regenerates the PDF fixtures of the extractor tests with the producers found
# on a Debian machine: enscript + ps2pdf (ghostscript), ghostscript from a
# hand-written PostScript page, groff's PDF and PostScript devices, and (when
# installed) the office suite, whose PDFs carry subset fonts with hex-coded
# glyph strings.
# The tests know the text each fixture prints, so after regenerating, run
# pdfunpack_test; the PDFs themselves differ between runs only in dates/ids.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=1767225600  # stable dates where the producer honours it

# 1. A plain-text report, printed by enscript without its page header.
cat >"$work/report.txt" <<'TXT'
QUARTERLY SALES REPORT                      Page 1

Region      Units     Revenue
North         120     1500.00
South          75      980.50
TOTAL         195     2480.50
TXT
enscript -q -B -f Courier10 -p "$work/report.ps" "$work/report.txt"
ps2pdf "$work/report.ps" enscript-report.pdf

# 2. PostScript that places each column with moveto, as report writers do.
cat >"$work/columns.ps" <<'PS'
%!PS
/Helvetica findfont 10 scalefont setfont
72 720 moveto (Item) show   200 720 moveto (Qty) show   300 720 moveto (Price) show
72 706 moveto (Bolt) show   200 706 moveto (12) show    300 706 moveto (0.25) show
72 692 moveto (Nut) show    200 692 moveto (300) show   300 692 moveto (0.05) show
72 664 moveto (Total: 312 items) show
showpage
PS
ps2pdf "$work/columns.ps" gs-columns.pdf

# 3. groff: a table by tab stops, then justified text and kerned capitals.
cat >"$work/table.ms" <<'ROFF'
.nf
.ta 1.5i 3i
INVENTORY	Warehouse 7
Part	Count	Value
Gear	40	88.00
Spring	1200	12.50
.fi
.ll 3i
The quick brown fox jumps over the lazy dog while the weary warehouse clerk counts every spring, gear and bolt twice.
.br
AVATAR WAVE Toy
ROFF
groff -Tpdf "$work/table.ms" >groff-table.pdf
# The same through PostScript: ghostscript spaces columns with Tc and Tw.
groff -Tps "$work/table.ms" >"$work/table.ps"
ps2pdf "$work/table.ps" groff-ps-table.pdf

# 4. Subset TrueType fonts with hex glyph strings: a small sheet printed by the
#    office suite's spreadsheet (the package libreoffice-calc-nogui).
if command -v soffice >/dev/null 2>&1; then
  printf 'Region,Units,Revenue\nNorth,120,1500.00\nSouth,75,980.50\n' >"$work/sheet.csv"
  HOME="$work/home" soffice --headless --convert-to pdf --outdir "$work" "$work/sheet.csv" >/dev/null 2>&1
  cp "$work/sheet.pdf" office-subset-fonts.pdf
else
  echo "make-fixtures: soffice not found; office-subset-fonts.pdf left as it is" >&2
fi
ls -l ./*.pdf
