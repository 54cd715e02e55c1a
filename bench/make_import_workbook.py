#!/usr/bin/python3
"""Writes the import benchmark's workbook: 20,000 rows of sheet "Soft", 300 phone models
linked 40,000 times from 10,000 rows of sheet "Model", 60 rows of sheet "Operator".

    /usr/bin/python3 bench/make_import_workbook.py OUT.xls
"""
import random
import sys

import xlwt

random.seed(7)
wb = xlwt.Workbook(encoding="utf-8")
models = ["%s %d%s" % (random.choice(["Nokia", "Siemens", "Motorola", "Samsung", "Sony Ericsson", "LG"]), n,
                      random.choice(["", "i", "c", " Slide"])) for n in range(100, 400)]

soft = wb.add_sheet("Soft")
row = 0
items = []  # (provider, name)
providers = []
p = 0
while row < 20000:
    p += 1
    provider = "Провайдер %d" % p
    providers.append(provider)
    soft.write(row, 0, provider)
    row += 1
    for c in range(3):
        if row >= 20000:
            break
        soft.write(row, 1, "Раздел %d" % c)
        soft.write(row, 4, "icons\\cat%d.ico" % c)
        soft.write(row, 7, c + 1)
        soft.write(row, 8, "<b>Описание</b> раздела\nвторая строка")
        row += 1
        for g in range(10):
            if row >= 20000:
                break
            soft.write(row, 2, "Жанр %d" % g)
            soft.write(row, 4, "icons\\g%d.ico" % g)
            soft.write(row, 7, "G%d\\" % g)
            row += 1
            for i in range(20):
                if row >= 20000:
                    break
                name = "Игра %d-%d-%d-%d" % (p, c, g, i)
                items.append((provider, name))
                soft.write(row, 3, name)
                soft.write(row, 4, "p%d.jpg" % row)
                soft.write(row, 5, "p%db.jpg" % row)
                soft.write(row, 8, "Захватывающая игра.\nУправление: <b>2, 4, 6, 8</b>.<bq>Удачи!")
                row += 1

model = wb.add_sheet("Model")
for c, h in enumerate(["Контент", "Название", "Код", "Модели"]):
    model.write(0, c, h)
for r in range(1, 10001):
    provider, name = items[(r * 7) % len(items)]
    model.write(r, 0, provider)
    model.write(r, 1, name)
    model.write(r, 2, "%d" % (10000 + r))
    model.write(r, 3, ", ".join(random.sample(models, 4)))

op = wb.add_sheet("Operator")
for r in range(60):
    op.write(r, 0, "Оператор %d" % (r % 7))
    op.write(r, 1, providers[r % len(providers)])
    op.write(r, 2, "Регион %d: SMS на номер %d" % (r, 4000 + r))
wb.save(sys.argv[1])
