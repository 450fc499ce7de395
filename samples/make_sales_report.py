#!/usr/bin/env python3
"""Writes the sample print job: a group file and the printer text file of a
three-page sales report, as the virtual printer writes them (cp1252, CRLF).

Every run of text is preceded by its header [[x,y,right,bottom][size][BUI][font]],
x being the column key. Columns are left-aligned at fixed positions, as a
report writer with tab stops prints them.
"""
import random
import sys
from pathlib import Path

OUT = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
JOB = "SALES_0001"

random.seed(7)
CUSTOMERS = [
    ("C1001", "Müller & Söhne GmbH"), ("C1002", "Björk Trading AB"), ("C1003", "Café Olé Ltd."),
    ("C1004", "Northwind Supplies"), ("C1005", "Lakeside Hardware"), ("C1006", "Peña Distribución"),
    ("C1007", "Acme Fixtures Inc."), ("C1008", "Blue Harbor Foods"), ("C1009", "Østergaard ApS"),
    ("C1010", "Summit Office Co."),
]
STATUS = ["OPEN", "PAID", "PAID", "PAID", "HOLD"]
# name, x, font
COLUMNS = [("Customer", 40), ("Name", 100), ("Invoice", 250), ("Date", 310), ("Time", 370),
           ("Qty", 410), ("Amount", 460), ("Disc.", 530), ("Status", 570)]


def run(x, y, text, size=9, style="NNN", font="Arial"):
    right = x + 5 * len(text)
    return f"[[{x},{y},{right},{y + size + 3}][{size}][{style}][{font}]]{text}"


def money(v):
    return f"{v:,.2f}"


lines = []
pages = 3
per_page = 12
invoice = 50231
total_all = 0.0
for page in range(1, pages + 1):
    y = 40
    lines.append(run(40, y, "QUARTERLY SALES REPORT", 14, "BNN") + "   " + run(520, y, f"Page {page}", 9))
    y += 20
    lines.append(run(40, y, "Run date:") + run(100, y, "1/31/2005") + run(160, y, "10:30"))
    y += 14
    lines.append("")
    y += 14
    lines.append("".join(run(x, y, name, 9, "BUN") for name, x in COLUMNS))
    page_total = 0.0
    for i in range(per_page):
        y += 14
        code, name = random.choice(CUSTOMERS)
        invoice += random.randint(1, 9)
        qty = random.choice([1, 2, 5, 12, 40, 250, 1200, 2500])
        amount = round(qty * random.uniform(0.8, 19.5), 2)
        page_total += amount
        disc = random.choice(["0%", "5%", "7.5%", "10%", "12%"])
        day = random.randint(1, 28)
        month = random.choice([1, 2, 3])
        hour, minute = random.randint(8, 17), random.choice([0, 15, 30, 45])
        cells = [code, name, str(invoice), f"{month}/{day}/2005", f"{hour}:{minute:02d}",
                 f"{qty:,}", money(amount), disc, random.choice(STATUS)]
        fonts = ["Courier New"] + ["Arial"] * 8
        lines.append("".join(run(x, y, c, 9, "NNN", f) for (n, x), c, f in zip(COLUMNS, cells, fonts)))
        if i == 5:
            lines.append("")
    total_all += page_total
    y += 20
    lines.append(run(40, y, "Page Total", 9, "BNN") + run(460, y, money(page_total), 9, "BNN"))
    y += 14
    lines.append(run(40, y, "Printed by:") + run(100, y, "jsmith") + run(160, y, "CONFIDENTIAL"))
    lines.append("")
lines.append(run(40, 700, "Report Total", 9, "BNN") + run(460, 700, money(total_all), 9, "BNN"))
lines.append(run(40, 714, "Records:") + run(100, 714, str(pages * per_page)))

OUT.mkdir(parents=True, exist_ok=True)
(OUT / f"{JOB}.txt").write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1252"))
(OUT / f"{JOB}.grp").write_bytes(
    ("[Job]\r\nJobID=1\r\nPrinter=Sheetwise Print Driver\r\nDocument=Quarterly sales\r\n"
     f"Pages={pages}\r\nTextFileName={JOB}.txt\r\n").encode("cp1252"))
print(OUT / f"{JOB}.grp")
