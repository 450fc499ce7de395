#!/usr/bin/python3
"""Dumps an .xls workbook for the tests, one record a line, fields separated
by tabs: "sheets N", "dims ROWS COLS", "active ROW COL" (from the sheet's
SELECTION record), "width COL WIDTH" and for every non-blank cell of the first
sheet "cell ROW COL TYPE FONT SIZE BOLD ITALIC UNDERLINE FORMAT VALUE"."""
import struct
import sys

import xlrd
from xlrd import compdoc

TYPES = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_DATE: "date",
         xlrd.XL_CELL_BOOLEAN: "bool", xlrd.XL_CELL_ERROR: "error", xlrd.XL_CELL_BLANK: "blank"}


def active_cell(path):
    data = open(path, "rb").read()
    doc = compdoc.CompDoc(data, logfile=open("/dev/null", "w"))
    stream = doc.get_named_stream("Workbook") or doc.get_named_stream("Book")
    pos, depth, sheet_seen = 0, 0, False
    while pos + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        body = stream[pos + 4:pos + 4 + size]
        pos += 4 + size
        if rid == 0x0809:
            sheet_seen = struct.unpack_from("<H", body, 2)[0] == 0x0010
        if sheet_seen and rid == 0x001D and len(body) >= 5:
            _, row, col = struct.unpack_from("<BHH", body, 0)
            return [row, col]
    return None


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    out = [f"sheets\t{book.nsheets}", f"dims\t{sheet.nrows}\t{sheet.ncols}"]
    active = active_cell(path)
    if active:
        out.append(f"active\t{active[0]}\t{active[1]}")
    for c, info in sorted(sheet.colinfo_map.items()):
        out.append(f"width\t{c}\t{info.width}")
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            xf = book.xf_list[cell.xf_index]
            font = book.font_list[xf.font_index]
            fmt = book.format_map[xf.format_key].format_str
            value = cell.value
            if isinstance(value, float) and value.is_integer():
                value = int(value)
            out.append("\t".join(str(x) for x in (
                "cell", r, c, TYPES.get(cell.ctype, "?"), font.name, font.height // 20, font.bold,
                int(bool(font.italic)), font.underline_type, fmt, value)))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
