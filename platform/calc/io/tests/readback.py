#!/usr/bin/python3
"""Dumps a workbook as independent readers see it, one fact per line.

usage: readback.py xls|xlsx PATH

Lines:
  sheet <i> <name> rows=<n> cols=<n>
  cell <i> <A1> <type> <value> fmt=<code> font=<name>|<size>|b<0/1>|i<0/1>|u<0/1> align=<h>
  width <i> <col letter> <width>
  active <i> <A1>
Exit status 3 when the reader module is missing.
"""
import os
import struct
import sys

sys.stdout.reconfigure(encoding="utf-8")


def col_letter(c):
    s = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def show(v):
    if isinstance(v, float):
        return repr(v)
    return str(v).replace("\\", "\\\\").replace("\n", "\\n")


def dump_xls(path):
    try:
        import xlrd
        from xlrd.compdoc import CompDoc
    except ImportError as e:
        print("missing reader:", e)
        sys.exit(3)
    bk = xlrd.open_workbook(path, formatting_info=True)
    print("datemode %d codepage %d" % (bk.datemode, bk.codepage))
    types = {0: "empty", 1: "text", 2: "number", 3: "date", 4: "bool", 5: "error", 6: "blank"}
    for i, sh in enumerate(bk.sheets()):
        print("sheet %d %s rows=%d cols=%d" % (i, sh.name, sh.nrows, sh.ncols))
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == 0:
                    continue
                xf = bk.xf_list[cell.xf_index]
                font = bk.font_list[xf.font_index]
                fmt = bk.format_map[xf.format_key].format_str
                value = cell.value
                if cell.ctype == 3:
                    value = "%s/%s" % (repr(cell.value), xlrd.xldate_as_tuple(cell.value, bk.datemode))
                print("cell %d %s%d %s %s fmt=%s ifmt=%d font=%s|%d|b%d|i%d|u%d|w%d align=%d" % (
                    i, col_letter(c), r + 1, types[cell.ctype], show(value), fmt, xf.format_key,
                    font.name, font.height, font.bold, font.italic, font.underline_type, font.weight,
                    xf.alignment.hor_align))
        for c, info in sorted(sh.colinfo_map.items()):
            print("width %d %s %d" % (i, col_letter(c), info.width))
    # xlrd does not expose SELECTION; walk the stream for it.
    doc = CompDoc(open(path, "rb").read(), logfile=open(os.devnull, "w"))
    s = doc.get_named_stream("Workbook")
    pos, sheet = 0, -1
    while pos + 4 <= len(s):
        rid, ln = struct.unpack_from("<HH", s, pos)
        if rid == 0x0809:
            sheet += 1
        elif rid == 0x001D:
            _pane, row, col = struct.unpack_from("<BHH", s, pos + 4)
            print("active %d %s%d" % (sheet - 1, col_letter(col), row + 1))
        elif rid == 0 and ln == 0:
            break
        pos += 4 + ln


def dump_xlsx(path):
    try:
        import openpyxl
    except ImportError as e:
        print("missing reader:", e)
        sys.exit(3)
    wb = openpyxl.load_workbook(path)
    print("activesheet %s" % wb.active.title)
    for i, ws in enumerate(wb.worksheets):
        print("sheet %d %s rows=%d cols=%d" % (i, ws.title, ws.max_row, ws.max_column))
        for row in ws.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                f = cell.font
                print("cell %d %s %s %s fmt=%s font=%s|%s|b%d|i%d|u%s align=%s date=%d" % (
                    i, cell.coordinate, cell.data_type, show(cell.value), cell.number_format,
                    f.name, show(f.sz), bool(f.b), bool(f.i), f.u, cell.alignment.horizontal, cell.is_date))
        for letter, dim in sorted(ws.column_dimensions.items()):
            if dim.customWidth:
                print("width %d %s %s" % (i, letter, repr(dim.width)))
        print("active %d %s" % (i, ws.sheet_view.selection[0].activeCell))


if __name__ == "__main__":
    {"xls": dump_xls, "xlsx": dump_xlsx}[sys.argv[1]](sys.argv[2])
