#!/usr/bin/python3
# Writes formulas.xls: formula cells with stored results of every kind (numbers, texts of one-
# and two-byte characters, a text long enough to go on in a CONTINUE record, a boolean, an error
# value, empty text), as a spreadsheet program stores them after calculating the workbook.
# xlwt writes formulas without results, so their records are given results afterwards and the
# text results their STRING records. Needs Debian's python3-xlwt:
#   /usr/bin/python3 make_formulas_workbook.py
import os
import struct

import xlwt
from xlwt import CompoundDoc

here = os.path.dirname(os.path.abspath(__file__))
LONG = "Nokia 3310, " * 700 + "Сименс"  # 8406 characters: more than one record holds

wb = xlwt.Workbook(encoding="utf-8")
wb.add_sheet("Plain").write(0, 0, "before")
s = wb.add_sheet("Formulas")
for c in range(9):
    s.write(0, c, xlwt.Formula("1+%d" % c))
s.write(1, 0, "plain text")
s.write(1, 1, xlwt.Formula("2+2"))
wb.add_sheet("After").write(2, 1, xlwt.Formula("7*6"))

# (sheet, row, column) -> stored result: a number, a text, True/False, "#ERR" or "" (empty text)
results = {
    (1, 0, 0): 42.0,
    (1, 0, 1): 3.25,
    (1, 0, 2): "Nokia 3310, Siemens C55",
    (1, 0, 3): "Модели: Нокиа 6310",
    (1, 0, 4): True,
    (1, 0, 5): "#ERR",
    (1, 0, 6): "",
    (1, 0, 7): LONG,
    (1, 0, 8): False,
    (1, 1, 1): 4.0,
    (2, 2, 1): 42.0,
}


def record(rid, data):
    return struct.pack("<HH", rid, len(data)) + data


def string_records(text):
    """A STRING record and its CONTINUE records: the first part in one-byte characters, the
    rest (when the text is too long for one record) in two-byte characters."""
    if all(ord(ch) < 256 for ch in text) and len(text) <= 8000:
        return record(0x0207, struct.pack("<HB", len(text), 0) + text.encode("latin-1"))
    if len(text) <= 4000:
        return record(0x0207, struct.pack("<HB", len(text), 1) + text.encode("utf-16-le"))
    head, rest = text[:8000], text[8000:]
    out = record(0x0207, struct.pack("<HB", len(text), 0) + head.encode("latin-1"))
    return out + record(0x003C, struct.pack("<B", 1) + rest.encode("utf-16-le"))


def result_bytes(value):
    if value is True or value is False:
        return struct.pack("<BBBBHH", 1, 0, 1 if value else 0, 0, 0, 0xFFFF)
    if value == "#ERR":
        return struct.pack("<BBBBHH", 2, 0, 0x07, 0, 0, 0xFFFF)  # #DIV/0!
    if value == "":
        return struct.pack("<BBBBHH", 3, 0, 0, 0, 0, 0xFFFF)
    if isinstance(value, str):
        return struct.pack("<BBBBHH", 0, 0, 0, 0, 0, 0xFFFF)
    return struct.pack("<d", value)


data = wb.get_biff_data()
out = bytearray()
pos, sheet = 0, -1
while pos < len(data):
    rid, length = struct.unpack_from("<HH", data, pos)
    body = bytearray(data[pos + 4:pos + 4 + length])
    pos += 4 + length
    if rid == 0x0809:
        sheet += 1
    extra = b""
    if rid == 0x0006:
        row, col = struct.unpack_from("<HH", body, 0)
        value = results.get((sheet - 1, row, col))
        if value is not None:
            body[6:14] = result_bytes(value)
            if isinstance(value, str) and value not in ("", "#ERR"):
                extra = string_records(value)
    out += record(rid, bytes(body)) + extra

# The sheets moved: each BOUNDSHEET record names where its sheet's BOF record now begins.
bofs, pos = [], 0
while pos < len(out):
    rid, length = struct.unpack_from("<HH", out, pos)
    if rid == 0x0809:
        bofs.append(pos)
    pos += 4 + length
pos, n = 0, 1
while pos < len(out):
    rid, length = struct.unpack_from("<HH", out, pos)
    if rid == 0x0085:
        struct.pack_into("<I", out, pos + 4, bofs[n])
        n += 1
    pos += 4 + length

with open(os.path.join(here, "formulas.xls"), "wb") as f:
    CompoundDoc.XlsDoc().save(f, bytes(out))
