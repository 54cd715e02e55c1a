#!/usr/bin/python3
# Writes cells.xls: one cell of every kind the workbook reader must turn into text.
# Needs Debian's python3-xlwt: /usr/bin/python3 make_cells_workbook.py
import datetime
import os
import xlwt

here = os.path.dirname(os.path.abspath(__file__))
wb = xlwt.Workbook(encoding="utf-8")
s = wb.add_sheet("Cells")
date = xlwt.easyxf(num_format_str="DD.MM.YYYY")
stamp = xlwt.easyxf(num_format_str="DD.MM.YYYY hh:mm:ss")
clock = xlwt.easyxf(num_format_str="hh:mm:ss")
row = [42, -7, 3.25, 1e20, 0.000015, True, False,
       (datetime.date(2024, 3, 5), date),
       (datetime.datetime(2024, 3, 5, 7, 8, 9), stamp),
       (datetime.time(13, 4, 5), clock),
       "Привет, мир", "€ ☺ ё", None, 65536.0, "  spaced \n"]
for c, v in enumerate(row):
    if v is None:
        continue
    if isinstance(v, tuple):
        s.write(0, c, v[0], v[1])
    else:
        s.write(0, c, v)
s.row(0).set_cell_error(len(row), 0x2A)  # the error constant #N/A
s.write(4, 2, "last row")  # the used range ends in row 5
wb.add_sheet("Heading only").write(0, 0, "Heading")
wb.add_sheet("Empty")
wb.add_sheet("Лист")
wb.save(os.path.join(here, "cells.xls"))
