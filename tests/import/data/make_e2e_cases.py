#!/usr/bin/python3
# Writes the end-to-end cases under e2e/: for each case a folder input/ (the workbook and
# the picture files beside it), a file args (the parameters after the program name), a
# file exit (the expected exit code), optionally a file message (a message box the run must
# show, as "title: text" on standard error) and a folder expected/ with the data files and the
# protocol the run must leave, byte for byte.
#
# The expected records below are written out by hand from the workbook's rows; this script
# only lays them out in the data files' byte format. A case whose expected/ has no
# LoadProt.txt must leave none behind.
#
# Needs Debian's python3-xlwt: /usr/bin/python3 make_e2e_cases.py
import os
import shutil
import struct
import xlwt
from xlwt import CompoundDoc

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "e2e")


def enc(text):
    return text.encode("cp1251")


def short(text):
    b = enc(text)
    assert len(b) <= 255
    return bytes([len(b)]) + b


def long_(text):
    b = enc(text)
    return struct.pack("<H", len(b)) + b


def ints(values):
    return struct.pack("<H", len(values)) + b"".join(struct.pack("<i", v) for v in values)


def soft_file(records):
    out = b""
    for level, parent, brief, i1, i2, i3, i4, desc in records:
        out += bytes([level]) + struct.pack("<i", parent)
        out += short(brief) + short(i1) + short(i2) + short(i3) + short(i4) + long_(desc)
    return out


def models_file(records):
    return b"".join(short(name) + ints(ids) for name, ids in records)


def codes_file(records):
    return b"".join(struct.pack("<i", s) + short(code) + ints(models) for s, code, models in records)


def content_file(records):
    return b"".join(short(op) + struct.pack("<i", cid) + long_(regions) for op, cid, regions in records)


def protocol(lines):
    return b"".join(enc(l) + b"\r\n" for l in lines)


def write_book(path, sheets):
    wb = xlwt.Workbook(encoding="utf-8")
    for name, rows in sheets:
        ws = wb.add_sheet(name)
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                if value is not None and value != "":
                    ws.write(r, c, value)
    wb.save(path)


def biff_record(rid, data=b""):
    return struct.pack("<HH", rid, len(data)) + data


def write_book_biff5(path, sheets, formula_columns=()):
    """Writes the sheets as an older (BIFF5, code page 1251) workbook in a stream named "Book",
    as xlwt cannot. The cells of the (sheet, column) pairs in formula_columns are written as
    formula cells whose stored results are the cells' values (the formula itself is a constant
    the reader never looks at), so the import must give the same result as for plain cells."""
    def bof(kind):
        return biff_record(0x0809, struct.pack("<HHHH", 0x0500, kind, 0x096C, 1993))

    def cell(sheet, r, c, value):
        head = struct.pack("<HHH", r, c, 15)
        if (sheet, c) in formula_columns:
            if isinstance(value, str):
                result = struct.pack("<BBBBHH", 0, 0, 0, 0, 0, 0xFFFF)
                tail = biff_record(0x0207, struct.pack("<H", len(enc(value))) + enc(value))
            else:
                result, tail = struct.pack("<d", value), b""
            expression = struct.pack("<HIH", 0, 0, 3) + b"\x1e\x01\x00"  # the constant 1
            return biff_record(0x0006, head + result + expression) + tail
        if isinstance(value, str):
            assert len(enc(value)) <= 255
            return biff_record(0x0204, head + struct.pack("<H", len(enc(value))) + enc(value))
        return biff_record(0x0203, head + struct.pack("<d", value))

    xf = biff_record(0x00E0, struct.pack("<HHHHHHHH", 0, 0, 1, 0x20, 0, 0, 0, 0))
    globals_ = bof(0x0005) + biff_record(0x0042, struct.pack("<H", 1251)) + xf * 16
    bodies = []
    for name, rows in sheets:
        cells = [(r, c, v) for r, row in enumerate(rows) for c, v in enumerate(row)
                 if v is not None and v != ""]
        last_row = max((r for r, _, _ in cells), default=-1) + 1
        last_col = max((c for _, c, _ in cells), default=-1) + 1
        dims = biff_record(0x0200, struct.pack("<HHHHH", 0, last_row, 0, last_col, 0))
        bodies.append(bof(0x0010) + dims + b"".join(cell(name, r, c, v) for r, c, v in cells) +
                      biff_record(0x000A))

    def boundsheet(offset, name):
        return biff_record(0x0085, struct.pack("<IHB", offset, 0, len(enc(name))) + enc(name))

    at = len(globals_) + sum(len(boundsheet(0, n)) for n, _ in sheets) + 4
    offsets = []
    for body in bodies:
        offsets.append(at)
        at += len(body)
    stream = (globals_ + b"".join(boundsheet(o, n) for o, (n, _) in zip(offsets, sheets)) +
              biff_record(0x000A) + b"".join(bodies))
    with open(path, "wb") as fh:
        CompoundDoc.XlsDoc().save(fh, stream)
    # xlwt names the stream "Workbook", as newer workbooks have it.
    data = bytearray(open(path, "rb").read())
    at = data.find("Workbook\x00".encode("utf-16-le"))
    data[at:at + 64] = "Book\x00".encode("utf-16-le").ljust(64, b"\x00")
    struct.pack_into("<H", data, at + 0x40, 10)
    with open(path, "wb") as fh:
        fh.write(bytes(data))


def case(name, book_name, sheets, args, exit_code, expected, files=(), old=None, message=None, biff5=None):
    root = os.path.join(OUT, name)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "input"))
    os.makedirs(os.path.join(root, "expected"))
    if isinstance(sheets, bytes):  # a file that is no workbook at all
        with open(os.path.join(root, "input", book_name), "wb") as fh:
            fh.write(sheets)
    elif biff5 is not None:
        write_book_biff5(os.path.join(root, "input", book_name), sheets, biff5)
    else:
        write_book(os.path.join(root, "input", book_name), sheets)
    for f in files:
        p = os.path.join(root, "input", f)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as fh:
            fh.write(b"GIF89a")
    for f, data in (old or {}).items():
        with open(os.path.join(root, "input", f), "wb") as fh:
            fh.write(data)
    with open(os.path.join(root, "args"), "w") as fh:
        fh.write(" ".join(args) + "\n")
    with open(os.path.join(root, "exit"), "w") as fh:
        fh.write("%d\n" % exit_code)
    if message:
        with open(os.path.join(root, "message"), "w", encoding="utf-8") as fh:
            fh.write(message + "\n")
    for f, data in expected.items():
        with open(os.path.join(root, "expected", f), "wb") as fh:
            fh.write(data)


# A shop's workbook with one problem of each kind.
SHOP_MODEL = [
    ["Контент", "Название", "Код", "Модели"],
    ["Игры Плюс", "<b>Змейка</b>", "1234", "Nokia 3310, Siemens C55"],
    ["игры плюс", "змейка", "5678", "nokia3310\nMotorola V3"],
    ["Игры Плюс", "Тетрис", 1234, "Siemens C55,,Alpha 100,"],
    ["Мелодии", "Тетрис", "1", "Beta"],
    ["", "", "", "Ignored Model"],
    ["Картинки", "Закат", "ABCDEFGHIJKLMNOPQ", "Alpha 100"],
]
SHOP_SOFT = [
    ["Игры Плюс", "", "", "", "", "", "", "games\\"],
    ["", "Игры", "", "", "cat.gif", "cat_open.gif", "", 1, "Лучшие игры\nдля телефона"],
    ["", "", "Аркады", "", "", "", "", "action\\"],
    ["", "", "", "<b>Змейка</b>", "Snake1.GIF", "snake2.jpg", "", "", "Классика#жанра <bq>Управление"],
    ["", "", "", "  Тетрис  ", "a.gf"],
    ["", "", "", "ЗМЕЙКА"],
    ["", "", "", "", "заметка на полях"],
    ["Картинки"],
    ["", "", "Обои"],
    ["", "", "", "Закат", "\\pics\\sunset.jpg"],
    ["", "Фото", "", "", "", "", "", "2"],
    ["", "", "Природа", "", "", "", "", "nature\\"],
    ["", "", "", "Закат", ".\\sunset.jpg"],
    ["Мелодии"],
]
SHOP_OPERATOR = [
    ["Оператор", "Контент", "Регионы"],
    ["МТС", "игры плюс", "Москва и область"],
    ["Beeline", "Картинки", "Вся Россия"],
    ["beeline", "ИГРЫ ПЛЮС", ""],
    ["МТС", "Нет такого", "x"],
    ["alpha", "Мелодии", "Регионы:\nЦентр"],
]
SHOP_SHEETS = [("Model", SHOP_MODEL), ("Soft", SHOP_SOFT), ("Operator", SHOP_OPERATOR)]
SHOP_FILES = ["games/cat.gif", "games/action/snake1.gif"]

SHOP_SOFT_DAT = soft_file([
    (1, 0, "Игры Плюс", "", "", "", "games\\", ""),
    (2, 0, "Игры", "cat.gif", "cat_open.gif", "", "1", "Лучшие игры# для телефона"),
    (3, 1, "Аркады", "", "", "", "action\\", ""),
    (4, 2, "<b>Змейка</b>", "Snake1.GIF", "snake2.jpg", "", "", "Классика# жанра \tУправление"),
    (4, 2, "Тетрис", "a.gf", "", "", "", ""),
    (4, 2, "ЗМЕЙКА", "", "", "", "", ""),
    (1, 0, "Картинки", "", "", "", "CONTENT2\\", ""),
    (2, 6, "Фото", "", "", "", "2", ""),
    (3, 7, "Природа", "", "", "", "nature\\", ""),
    (4, 8, "Закат", ".\\sunset.jpg", "", "", "", ""),
    (1, 0, "Мелодии", "", "", "", "CONTENT3\\", ""),
])
# Models sorted: Alpha 100 (0), Beta (1), Motorola V3 (2), Nokia 3310 (3), Siemens C55 (4).
SHOP_MODELS_DAT = models_file([
    ("Alpha 100", [4, 9]),
    ("Beta", []),
    ("Motorola V3", [3]),
    ("Nokia 3310", [3]),
    ("Siemens C55", [3, 4]),
])
SHOP_CODES_DAT = codes_file([
    (3, "1234", [3, 4]),
    (3, "5678", [2]),
    (4, "1234", [4, 0]),
    (9, "ABCDEFGHIJKLMNO", [0]),
])
SHOP_CONTENT_DAT = content_file([
    ("alpha", 10, "Регионы:\nЦентр"),
    ("Beeline", 6, "Вся Россия"),
    ("beeline", 0, ""),
    ("МТС", 0, "Москва и область"),
])
SHOP_DATA = {"Soft.dat": SHOP_SOFT_DAT, "Models.dat": SHOP_MODELS_DAT, "Codes.dat": SHOP_CODES_DAT,
             "Content.dat": SHOP_CONTENT_DAT}

SHOP_PROTOCOL = protocol([
    "Предупреждение: Не найден файл games\\cat_open.gif",
    "Предупреждение: Не найден файл games\\action\\snake2.jpg",
    "Внимание, дубликаты названия: ЗМЕЙКА",
    "Ошибка в структуре. Нет родителя для Обои",
    "Ошибка в структуре. Нет родителя для Закат",
    "Предупреждение: Не найден файл .\\sunset.jpg",
    "Дубликат софта-модели. Строка 3 Модель nokia3310",
    "Пропускаю неопределенную ссылку телефонов на программу ТЕТРИС контент Мелодии",
])
case("shop", "shop.xls", SHOP_SHEETS, ["shop.xls"], 0, dict(SHOP_DATA, **{"LoadProt.txt": SHOP_PROTOCOL}), SHOP_FILES)

# The same workbook saved in the older format, with the model lists, the codes and the
# operators' regions as formula cells: the same files, byte for byte.
case("shop_biff5", "shop.xls", SHOP_SHEETS, ["shop.xls"], 0, dict(SHOP_DATA, **{"LoadProt.txt": SHOP_PROTOCOL}), SHOP_FILES, biff5={("Model", 2), ("Model", 3), ("Operator", 2)})

case("shop_switches", "Shop.XLS", SHOP_SHEETS, ["Shop.XLS", "/i", "/D", "/d", "/d"], 0,
     dict(SHOP_DATA, **{"LoadProt.txt": protocol([
         "Ошибка в структуре. Нет родителя для Обои",
         "Ошибка в структуре. Нет родителя для Закат",
         "Пропускаю неопределенную ссылку телефонов на программу ТЕТРИС контент Мелодии",
     ])}))

# No problems: the older protocol goes, no message.
CLEAN_SHEETS = [
    ("Soft", [["Studio", "", "", "", "", "", "", "st\\"], ["", "Games", "", "", "", "", "", 1],
              ["", "", "Puzzle"], ["", "", "", "Lines", "", "", "", "", "Two\nlines"]]),
    ("Model", [["Provider", "Item", "Code", "Models"], ["studio", "LINES", 77, "zeta 1\nAlpha"]]),
    ("Operator", [["Tele2", "Studio", "All"]]),
]
case("clean", "clean.xls", CLEAN_SHEETS, ["clean.xls", "/d"], 0, {
    "Soft.dat": soft_file([
        (1, 0, "Studio", "", "", "", "st\\", ""),
        (2, 0, "Games", "", "", "", "1", ""),
        (3, 1, "Puzzle", "", "", "", "", ""),
        (4, 2, "Lines", "", "", "", "", "Two# lines"),
    ]),
    "Models.dat": models_file([("Alpha", [3]), ("zeta 1", [3])]),
    "Codes.dat": codes_file([(3, "77", [1, 0])]),
    "Content.dat": content_file([("Tele2", 0, "All")]),
}, old={"LoadProt.txt": b"older protocol\r\n"})

# A workbook without sheet "Operator": the data files of an earlier run stay as they were.
OLD = {"Soft.dat": SHOP_SOFT_DAT, "Models.dat": SHOP_MODELS_DAT, "Codes.dat": SHOP_CODES_DAT,
       "Content.dat": SHOP_CONTENT_DAT}
case("missing_sheet", "partial.xls", SHOP_SHEETS[:2], ["partial.xls"], 1, dict(OLD, **{"LoadProt.txt": protocol([
    "Предупреждение: Не найден файл games\\cat.gif",
    "Предупреждение: Не найден файл games\\cat_open.gif",
    "Предупреждение: Не найден файл games\\action\\Snake1.GIF",
    "Предупреждение: Не найден файл games\\action\\snake2.jpg",
    "Внимание, дубликаты названия: ЗМЕЙКА",
    "Ошибка в структуре. Нет родителя для Обои",
    "Ошибка в структуре. Нет родителя для Закат",
    "Предупреждение: Не найден файл .\\sunset.jpg",
    "Дубликат софта-модели. Строка 3 Модель nokia3310",
    "Пропускаю неопределенную ссылку телефонов на программу ТЕТРИС контент Мелодии",
])}), old=OLD)

# A file that is no workbook: the old data files stay, the older protocol is replaced by an
# empty one (it is created before the workbook is opened).
case("unreadable", "broken.xls", b"this is not a workbook\r\n", ["broken.xls", "/i"], 1,
     dict(OLD, **{"LoadProt.txt": b""}), old=dict(OLD, **{"LoadProt.txt": b"older protocol\r\n"}))

# The rules one by one, read through the real reader: numbers as cells, the default folders
# of providers that share a name, a long name cut, long codes, model lists with "#", CR and
# repeated models, a row without an item, operators sorted with Cyrillic after Latin.
LONG_NAME = "Ж" * 300
RULES_SHEETS = [
    ("Soft", [
        ["Студия", "ignored col2"],
        ["", "Игры", "", "", "\\icons\\g.gif", "", "", 1, "Описание\n<bq>#x"],
        ["", "", "Гонки", "", "", "", "", "race\\"],
        ["", "", "", "Формула <i>1</i>", "f1.gif"],
        ["", "", "", "", "", "", "", "", "only column 9"],
        ["", "", "", 2048],
        ["студия"],
        ["", "Картинки", "", "", "", "", "", 2],
        ["", "", "Авто", "", "", "", "", "auto\\"],
        ["", "", "", "формула 1"],
        ["", "", "", LONG_NAME],
        ["Zeta", "", "", "", "", "", "", "z\\"],
        ["", "", "", "Сирота"],
    ]),
    ("Model", [
        ["Контент", "Название", "Код", "Модели"],
        ["Студия", "<b>Формула 1</b>", "ABCDEFGHIJKLMNOPQRS", "Nokia 6600#Slide\r\nnokia 6600 slide, Ёж 1"],
        ["студия", "2048", 777, "ёж 1,Alpha"],
        ["Студия", "формула 1", "ABCDEFGHIJKLMNOPQRS", "Alpha"],
        ["Zeta", "Формула 1", "1", "Beta"],
        ["Студия", "", "x", "Gamma"],
    ]),
    ("Operator", [
        ["Билайн", "СТУДИЯ", "Москва\n"],
        ["МТС", "zeta", "  Весь регион"],
        ["alpha", "Zeta", "\tтаб"],
        ["Альфа", "<b>Zeta</b>", "x"],
        ["", "студия", ""],
        ["Beta", "Игры", "no"],
    ]),
]
case("rules", "rules.xls", RULES_SHEETS, ["rules.xls"], 0, {
    "Soft.dat": soft_file([
        (1, 0, "Студия", "", "", "", "CONTENT1\\", ""),
        (2, 0, "Игры", "\\icons\\g.gif", "", "", "1", "Описание# \t# x"),
        (3, 1, "Гонки", "", "", "", "race\\", ""),
        (4, 2, "Формула <i>1</i>", "f1.gif", "", "", "", ""),
        (4, 2, "2048", "", "", "", "", ""),
        (1, 0, "студия", "", "", "", "CONTENT2\\", ""),
        (2, 5, "Картинки", "", "", "", "2", ""),
        (3, 6, "Авто", "", "", "", "auto\\", ""),
        (4, 7, "формула 1", "", "", "", "", ""),
        (4, 7, "Ж" * 255, "", "", "", "", ""),
        (1, 0, "Zeta", "", "", "", "z\\", ""),
    ]),
    # Alpha 0, Beta 1, Nokia 6600 Slide 2, Ёж 1 3 (Ё is 0xA8, after every Latin letter).
    "Models.dat": models_file([
        ("Alpha", [4, 3]),
        ("Beta", []),
        ("Nokia 6600 Slide", [3]),
        ("Ёж 1", [3, 4]),
    ]),
    "Codes.dat": codes_file([
        (3, "ABCDEFGHIJKLMNO", [2]),
        (3, "ABCDEFGHIJKLMNO", [3]),
        (4, "777", [3, 0]),
        (3, "ABCDEFGHIJKLMNO", [0]),
    ]),
    "Content.dat": content_file([
        ("", 0, ""),
        ("alpha", 10, "\tтаб"),
        ("Билайн", 0, "Москва"),
        ("МТС", 10, "Весь регион"),
    ]),
    "LoadProt.txt": protocol([
        "Предупреждение: Не найден файл \\icons\\g.gif",
        "Предупреждение: Не найден файл CONTENT1\\race\\f1.gif",
        "Внимание, дубликаты названия: ФОРМУЛА 1",
        "Предупреждение: слишком длинный текст обрезан. Лист Soft, строка 11, столбец 4",
        "Ошибка в структуре. Нет родителя для Сирота",
        "Дубликат софта-модели. Строка 2 Модель nokia 6600 slide",
        "Пропускаю неопределенную ссылку телефонов на программу ФОРМУЛА 1 контент Zeta",
    ]),
})

# A model name whose key is longer than 255 characters: the first pass keeps it cut (and says
# so), the third pass cannot find it again and the run stops without writing any data file.
case("logic_stop", "stop.xls", [
    ("Soft", [["P"], ["", "C"], ["", "", "G"], ["", "", "", "Item"]]),
    ("Model", [["Provider", "Item", "Code", "Models"], ["P", "Item", "1", "k" * 256]]),
    ("Operator", []),
], ["stop.xls"], 1, {"LoadProt.txt": protocol([
    "Предупреждение: слишком длинный текст обрезан. Лист Model, строка 2, столбец 4",
])}, message="Стоп: Проблема в логике 1")
