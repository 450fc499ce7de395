#!/usr/bin/python3
"""Dumps an .xls workbook (xlrd) or an .xlsx one (openpyxl) for the tests, one
record a line, fields separated by tabs: "sheets N", "dims ROWS COLS",
"active ROW COL" (from the sheet's selection), "width COL WIDTH" and for every
non-blank cell of the first sheet
"cell ROW COL TYPE FONT SIZE BOLD ITALIC UNDERLINE FORMAT VALUE"."""
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


def plain(value):
    if isinstance(value, float) and value.is_integer():
        return int(value)
    return value


def dump_xlsx(path):
    import openpyxl
    from openpyxl.utils.cell import column_index_from_string, coordinate_to_tuple
    from openpyxl.utils.datetime import to_excel
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


def main(path):
    if path.lower().endswith(".xlsx"):
        dump_xlsx(path)
        return
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
            value = plain(cell.value)
            out.append("\t".join(str(x) for x in (
                "cell", r, c, TYPES.get(cell.ctype, "?"), font.name, font.height // 20, font.bold,
                int(bool(font.italic)), font.underline_type, fmt, value)))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
