#!/usr/bin/python3
"""Writes the sample catalogue workbook that a shop would keep.

    /usr/bin/python3 tools/make_sample_workbook.py SAMPLE_DIR OUT.xls

SAMPLE_DIR is a folder that vexa-make-sample filled: its pictures and tree icons are the
ones the workbook names, and its four data files give the catalogue's content, which the
workbook lays out as a maintainer types it: sheet "Soft" as an indented tree (descriptions
with real line breaks), sheet "Model" with one row per item and order code listing the
phone models, sheet "Operator" with the regions per provider. Like a real workbook it has
a few slips that the import reports: a name used twice under one provider, a picture that
is missing, a row of sheet "Model" for an item that does not exist, and a model linked to
an item twice. Needs Debian's python3-xlwt.
"""
import os
import struct
import sys

import xlwt


def texts(data, pos, long_=False):
    if long_:
        (n,) = struct.unpack_from("<H", data, pos)
        pos += 2
    else:
        n = data[pos]
        pos += 1
    return data[pos:pos + n].decode("cp1251"), pos + n


def int_list(data, pos):
    (n,) = struct.unpack_from("<H", data, pos)
    pos += 2
    values = list(struct.unpack_from("<%di" % n, data, pos))
    return values, pos + 4 * n


def read(folder, name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


def read_soft(data):
    out, pos = [], 0
    while pos < len(data):
        level = data[pos]
        (parent,) = struct.unpack_from("<i", data, pos + 1)
        pos += 5
        fields = []
        for _ in range(5):
            t, pos = texts(data, pos)
            fields.append(t)
        desc, pos = texts(data, pos, True)
        out.append((level, parent, *fields, desc))
    return out


def read_models(data):
    out, pos = [], 0
    while pos < len(data):
        name, pos = texts(data, pos)
        ids, pos = int_list(data, pos)
        out.append((name, ids))
    return out


def read_codes(data):
    out, pos = [], 0
    while pos < len(data):
        (soft,) = struct.unpack_from("<i", data, pos)
        code, pos = texts(data, pos + 4)
        models, pos = int_list(data, pos)
        out.append((soft, code, models))
    return out


def read_operators(data):
    out, pos = [], 0
    while pos < len(data):
        op, pos = texts(data, pos)
        (cid,) = struct.unpack_from("<i", data, pos)
        regions, pos = texts(data, pos + 4, True)
        out.append((op, cid, regions))
    return out


def cell_description(stored):
    # The workbook holds real line breaks and "<bq>" where the data file has "# " and tabs.
    return stored.replace("# ", "\n").replace("\t", "<bq>")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder, out = sys.argv[1], sys.argv[2]
    soft = read_soft(read(folder, "Soft.dat"))
    models = read_models(read(folder, "Models.dat"))
    codes = read_codes(read(folder, "Codes.dat"))
    operators = read_operators(read(folder, "Content.dat"))

    bold = xlwt.easyxf("font: bold on")
    wrap = xlwt.easyxf("alignment: wrap on")
    wb = xlwt.Workbook(encoding="utf-8")

    # Sheet "Model" first, as in the shop's workbook: a heading, then item, code, models.
    sm = wb.add_sheet("Model")
    for c, h in enumerate(["Контент-провайдер", "Название", "Код заказа", "Модели телефонов"]):
        sm.write(0, c, h, bold)
    provider_of = {}
    current = None
    for i, rec in enumerate(soft):
        if rec[0] == 1:
            current = rec[2]
        provider_of[i] = current
    row = 1
    for k, (s, code, idx) in enumerate(codes):
        names = [models[m][0] for m in idx]
        # Long lists are typed one model a line, short ones with commas.
        joined = "\n".join(names) if len(names) > 6 else ", ".join(names)
        sm.write(row, 0, provider_of[s])
        sm.write(row, 1, soft[s][2])
        sm.write(row, 2, int(code) if code.isdigit() else code)
        sm.write(row, 3, joined, wrap)
        row += 1
        if k == 3:
            # Slip: the first model of the row typed again on a row of its own.
            sm.write(row, 0, provider_of[s])
            sm.write(row, 1, soft[s][2])
            sm.write(row, 2, code)
            sm.write(row, 3, names[0].upper())
            row += 1
    # Slip: an item that the catalogue sheet does not have.
    sm.write(row, 0, soft[0][2])
    sm.write(row, 1, "Тетрис 2")
    sm.write(row, 2, "G9999")
    sm.write(row, 3, models[0][0])
    sm.col(0).width = 256 * 18
    sm.col(1).width = 256 * 28
    sm.col(3).width = 256 * 40

    # Sheet "Soft": the tree, one level per column.
    ss = wb.add_sheet("Soft")
    row = 0
    providers = 0
    slipped = False
    for i, (level, parent, brief, i1, i2, i3, i4, desc) in enumerate(soft):
        style = bold if level < 4 else xlwt.Style.default_style
        ss.write(row, level - 1, brief, style)
        if level == 1:
            providers += 1
            # The import gives a provider without a folder "CONTENT" and its number.
            if i4 != "CONTENT%d\\" % providers:
                ss.write(row, 7, i4)
        elif level == 2:
            ss.write(row, 4, i1)
            ss.write(row, 5, i2)
            ss.write(row, 7, int(i4))
            ss.write(row, 8, cell_description(desc), wrap)
        elif level == 3:
            if i1:
                ss.write(row, 4, i1)
            if i2:
                ss.write(row, 5, i2)
            ss.write(row, 7, i4)
        else:
            for c, v in ((4, i1), (5, i2), (6, i3), (7, i4)):
                if v:
                    ss.write(row, c, v)
            ss.write(row, 8, cell_description(desc), wrap)
        row += 1
        nxt = soft[i + 1] if i + 1 < len(soft) else None
        if level == 4 and not slipped and (nxt is None or nxt[0] != 4) and providers == 1:
            # Slips at the end of the first genre: a new game whose picture is not there
            # yet, and a game typed a second time.
            ss.write(row, 3, "Новая игра")
            ss.write(row, 4, "new_game.jpg")
            ss.write(row, 8, "Скоро в продаже!\nСледите за новинками.", wrap)
            row += 1
            ss.write(row, 3, soft[i][2])
            ss.write(row, 4, i1)
            row += 1
            slipped = True
    for c, w in ((0, 16), (1, 14), (2, 16), (3, 26), (8, 50)):
        ss.col(c).width = 256 * w

    # Sheet "Operator": a heading, then operator, provider, regions.
    so = wb.add_sheet("Operator")
    for c, h in enumerate(["Оператор", "Контент-провайдер", "Регионы и номера"]):
        so.write(0, c, h, bold)
    for r, (op, cid, regions) in enumerate(operators, start=1):
        so.write(r, 0, op)
        so.write(r, 1, soft[cid][2])
        # Regions are stored as typed; the "# " line breaks are typed as they are.
        so.write(r, 2, regions, wrap)
    so.col(2).width = 256 * 50
    wb.save(out)


if __name__ == "__main__":
    main()
