#!/usr/bin/python3
"""Dumps a workbook as independent readers see it (python3-xlrd for .xls,
python3-openpyxl for .xlsx), so tests check the file rather than what our own
code believes it wrote.

usage: dump_workbook.py xls|xlsx|cells PATH

xls and xlsx: one fact per line, for every sheet:
  sheet <i> <name> rows=<n> cols=<n>
  cell <i> <A1> <type> <value> fmt=<code> font=<name>|<size>|b<0/1>|i<0/1>|u<0/1> align=<h>
  width <i> <col letter> <width>
  active <i> <A1>
cells (.xls, or .xlsx by the name's extension): the first sheet, one record a
line, fields separated by tabs:
  "sheets N", "dims ROWS COLS", "active ROW COL", "width COL WIDTH" and for
  every non-blank cell "cell ROW COL TYPE FONT SIZE BOLD ITALIC UNDERLINE FORMAT VALUE".
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


def first_sheet_active_cell(path):
    from xlrd import compdoc
    data = open(path, "rb").read()
    doc = compdoc.CompDoc(data, logfile=open("/dev/null", "w"))
    stream = doc.get_named_stream("Workbook") or doc.get_named_stream("Book")
    pos, sheet_seen = 0, False
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


def plain(value):
    if isinstance(value, float) and value.is_integer():
        return int(value)
    return value


def dump_cells_xlsx(path):
    try:
        import openpyxl
        from openpyxl.utils.cell import column_index_from_string, coordinate_to_tuple
        from openpyxl.utils.datetime import to_excel
    except ImportError as e:
        print("missing reader:", e)
        sys.exit(3)
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    out = [f"sheets\t{len(book.worksheets)}", f"dims\t{sheet.max_row}\t{sheet.max_column}"]
    selection = sheet.sheet_view.selection
    if selection and selection[0].activeCell:
        row, col = coordinate_to_tuple(selection[0].activeCell)
        out.append(f"active\t{row - 1}\t{col - 1}")
    for letter, dim in sorted(sheet.column_dimensions.items()):
        if dim.width:
            out.append(f"width\t{column_index_from_string(letter) - 1}\t{int(dim.width * 256)}")
    # Only the cells the file holds: iterating the sheet would visit every
    # position of a wide sheet's millions.
    for (r, c), cell in sorted(sheet._cells.items()):
        if cell.value is None:
            continue
        kind = "date" if cell.is_date else {"s": "text", "n": "number", "b": "bool", "e": "error"}.get(
            cell.data_type, "?")
        value = to_excel(cell.value) if cell.is_date else cell.value
        font = cell.font
        out.append("\t".join(str(x) for x in (
            "cell", r - 1, c - 1, kind, font.name, int(font.sz or 0), int(bool(font.b)), int(bool(font.i)),
            1 if font.u else 0, cell.number_format, plain(value))))
    sys.stdout.write("\n".join(out) + "\n")


def dump_cells(path):
    if path.lower().endswith(".xlsx"):
        dump_cells_xlsx(path)
        return
    try:
        import xlrd
    except ImportError as e:
        print("missing reader:", e)
        sys.exit(3)
    TYPES = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_DATE: "date",
             xlrd.XL_CELL_BOOLEAN: "bool", xlrd.XL_CELL_ERROR: "error", xlrd.XL_CELL_BLANK: "blank"}
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    out = [f"sheets\t{book.nsheets}", f"dims\t{sheet.nrows}\t{sheet.ncols}"]
    active = first_sheet_active_cell(path)
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
            value = plain(cell.value)
            out.append("\t".join(str(x) for x in (
                "cell", r, c, TYPES.get(cell.ctype, "?"), font.name, font.height // 20, font.bold,
                int(bool(font.italic)), font.underline_type, fmt, value)))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    {"xls": dump_xls, "xlsx": dump_xlsx, "cells": dump_cells}[sys.argv[1]](sys.argv[2])
