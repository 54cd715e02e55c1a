#!/usr/bin/env python3
# A second, independent and deliberately plain model of what the program loads, how the
# model filter rebuilds the tree, and what a search or a genre listing finds. It writes
# random small catalogues (same-named categories of different kinds, chains of same-named
# genres, models listing items twice, operators differing in case) and compares every
# `vexa-inspect load`, `list` and `search` answer with its own.
#   inspect_model.py VEXA_INSPECT [SEED] [ROUNDS]
import json, os, random, struct, subprocess, sys, shutil, tempfile

INSPECT = sys.argv[1]
SEED = int(sys.argv[2]) if len(sys.argv) > 2 else 1
ROUNDS = int(sys.argv[3]) if len(sys.argv) > 3 else 50

def up(s):
    out = []
    for ch in s:
        u = ch.upper()
        try:
            if len(u) == 1:
                u.encode('cp1251')
                out.append(u)
                continue
        except UnicodeEncodeError:
            pass
        out.append(ch)
    return ''.join(out)

def b(s):
    return s.encode('cp1251')

def short(s):
    e = b(s)
    assert len(e) < 256
    return bytes([len(e)]) + e

def long_(s):
    e = b(s)
    return struct.pack('<H', len(e)) + e

# ---------------------------------------------------------------- generator
CATS = ["Игры", "ИГРЫ", "Разное", "Мелодии", "Картинки"]
GENRES = ["Аркады", "аркады", "Поп", "Новинки", "Ёлки"]
WORDS = ["ring", "Ёжик", "<b>Ring</b>tone", "ab", "<b>A</b>b", "хит# ab", "Звон", "ёлка", "Ї і", "<i>тест</i>", "x<y", "Ab"]
PROVS = ["Один", "Два", "Один", "Три"]
OPS = ["МТС", "мтс", "Билайн", "Beeline", "beeline", ""]

def latin_key(s):
    e = b(s)
    return bytes([c - 32 if 97 <= c <= 122 else c for c in e])

def gen(rng):
    soft = []
    nprov = rng.randint(1, 4)
    for _ in range(nprov):
        pid = len(soft)
        soft.append(dict(Level=1, ParentID=0, Brief=rng.choice(PROVS), Image4="P%d\\" % pid))
        for _ in range(rng.randint(0, 3)):
            cid = len(soft)
            soft.append(dict(Level=2, ParentID=pid, Brief=rng.choice(CATS), Image4=str(rng.choice([1, 1, 2, 3, 3, 0, 5, "02", "258", "-254", "abc", ""]))))
            for _ in range(rng.randint(0, 3)):
                gid = len(soft)
                soft.append(dict(Level=3, ParentID=cid, Brief=rng.choice(GENRES), Image4="G\\"))
                for _ in range(rng.randint(0, 4)):
                    soft.append(dict(Level=4, ParentID=gid, Brief=rng.choice(WORDS) + " " + rng.choice(WORDS),
                                     Descript=rng.choice(["", rng.choice(WORDS), rng.choice(WORDS) + "# " + rng.choice(WORDS)]), Image4=""))
    items = [i for i, r in enumerate(soft) if r['Level'] == 4]
    models = []
    for m in range(rng.randint(0, 4)):
        ids = [rng.choice(items) for _ in range(rng.randint(0, len(items)))] if items else []
        models.append(dict(Model="M%d" % m, SoftIDs=ids))
    codes = []
    if items and models:
        for _ in range(rng.randint(0, 2 * len(items))):
            codes.append(dict(SoftID=rng.choice(items), Code="C%d" % len(codes),
                              ModelIndexes=sorted(set(rng.randrange(len(models)) for _ in range(rng.randint(0, len(models)))))))
    provs = [i for i, r in enumerate(soft) if r['Level'] == 1]
    ops = []
    for _ in range(rng.randint(0, 5)):
        ops.append(dict(Operator=rng.choice(OPS), ContentID=rng.choice(provs), Regions=""))
    ops.sort(key=lambda o: latin_key(o['Operator']))
    return soft, models, codes, ops

def write(d, soft, models, codes, ops):
    with open(os.path.join(d, "Soft.dat"), "wb") as f:
        for r in soft:
            f.write(bytes([r['Level']]) + struct.pack('<i', r['ParentID']) + short(r['Brief']) + short(r.get('Image1', '')) +
                    short(r.get('Image2', '')) + short(r.get('Image3', '')) + short(r.get('Image4', '')) + long_(r.get('Descript', '')))
    with open(os.path.join(d, "Models.dat"), "wb") as f:
        for m in models:
            f.write(short(m['Model']) + struct.pack('<H', len(m['SoftIDs'])) + b''.join(struct.pack('<i', x) for x in m['SoftIDs']))
    with open(os.path.join(d, "Codes.dat"), "wb") as f:
        for c in codes:
            f.write(struct.pack('<i', c['SoftID']) + short(c['Code']) + struct.pack('<H', len(c['ModelIndexes'])) +
                    b''.join(struct.pack('<i', x) for x in c['ModelIndexes']))
    with open(os.path.join(d, "Content.dat"), "wb") as f:
        for o in ops:
            f.write(short(o['Operator']) + struct.pack('<i', o['ContentID']) + long_(o['Regions']))

# ---------------------------------------------------------------- the model
def eqnc(a, c):
    return up(a) == up(c)

class Cat:
    def __init__(self, soft, models, codes, ops):
        self.content = [dict(r, CodeSlots=[-1] * 51) for r in soft]
        self.providers = []
        self.nodes = []
        self.tree = []  # [text, node, children]
        self.provsel = [" Все"]; self.catsel = [" Все"]; self.gensel = [" Все"]
        self.modelsel = [" Выберите модель вашего телефона"]; self.opsel = [" Все"]
        self.cur = -1; self.curprov = None; self.curnode = None; self.pending = 0
        self.cursec = 0; self.catcursor = None; self.selmodel = None; self.total = 0
        self.rebuild = False
        for i in range(len(soft)):
            self.cur = i
            self.load_soft()
        self.flush()
        self.models = [dict(m) for m in models]
        for m in self.models:
            self.modelsel.append(m['Model'])
        self.codes = []
        for c in codes:
            idx = len(self.codes)
            self.codes.append(c)
            slots = self.content[c['SoftID']]['CodeSlots']
            for k in range(51):
                if slots[k] < 0:
                    slots[k] = idx
                    break
        self.sum_tree()
        self.ops = ops
        prev = ""
        for o in ops:
            if not eqnc(o['Operator'], prev):
                self.opsel.append(o['Operator'])
            prev = o['Operator']

    def flush(self):
        if self.curnode is not None:
            self.curnode['ItemCount'] += self.pending
        self.pending = 0

    def load_soft(self):
        r = self.content[self.cur]
        lv = r['Level']
        if lv == 1:
            if not self.rebuild:
                p = dict(ContentID=self.cur, Brief=r['Brief'], Folder=r['Image4'])
                self.providers.append(p)
                self.curprov = p
                self.provsel.append(r['Brief'])
            self.cursec = 0
            self.enter_node()
        elif lv == 2:
            try:
                v = int(r['Image4'])
            except ValueError:
                v = 0
            self.cursec = v & 0xFF
            self.enter_node()
            if not any(eqnc(x, r['Brief']) for x in self.catsel):
                self.catsel.append(r['Brief'])
        elif lv == 3:
            self.enter_node()
            if not any(eqnc(x, r['Brief']) for x in self.gensel):
                self.gensel.append(r['Brief'])
        else:
            if self.selmodel is not None and self.curnode['Section'] != 2:
                if self.cur not in self.selmodel['SoftIDs']:
                    return
            self.pending += 1
            self.total += 1

    def enter_node(self):
        if self.curnode is not None:
            self.curnode['ItemCount'] += self.pending
            self.pending = 0
        found = None
        for n in self.nodes:
            if n['SoftID'] == self.cur:
                found = n
                break
        if found:
            self.curnode = found
        else:
            r = self.content[self.cur]
            n = dict(SoftID=self.cur, ContentID=self.curprov['ContentID'], ItemCount=0, Level=r['Level'], Brief=r['Brief'],
                     Folder=r['Image4'] if r['Level'] == 3 else '', Section=self.cursec, Next=None)
            self.nodes.append(n)
            self.curnode = n
            self.pending = 0
        self.place()

    def place(self):
        n = self.curnode
        if n['Level'] == 2:
            for t in self.tree:
                if t[0] == n['Brief']:
                    self.catcursor = t
                    return
            t = [n['Brief'], n, []]
            self.tree.append(t)
            self.catcursor = t
        elif n['Level'] == 3:
            for t in self.catcursor[2]:
                if t[0] == n['Brief']:
                    R = t[1]
                    R['Next'] = n
                    self.curnode = R
                    return
            self.catcursor[2].append([n['Brief'], n, []])

    def sum_tree(self):
        kept = []
        for c in self.tree:
            s = 0
            kids = []
            for g in c[2]:
                k = g[1]['ItemCount']
                if k <= 0:
                    continue
                g[0] += " [%d]" % k
                s += k
                kids.append(g)
            c[2] = kids
            if s <= 0:
                continue
            c[0] += " [%d]" % s
            kept.append(c)
        self.tree = kept

    def apply_filter(self, pos):
        self.tree = []
        for n in self.nodes:
            n['ItemCount'] = 0
        i = pos - 1
        self.selmodel = self.models[i] if i >= 0 else None
        self.total = 0; self.curnode = None; self.pending = 0
        self.rebuild = True
        if self.selmodel is None:
            for k in range(len(self.content)):
                self.cur = k
                self.load_soft()
        else:
            for s in self.selmodel['SoftIDs']:
                g = self.content[s]['ParentID']
                c = self.content[g]['ParentID']
                for x in (c, g, s):
                    self.cur = x
                    self.load_soft()
        self.rebuild = False
        self.flush()
        self.sum_tree()

def plain(t):
    res = ''
    rest = t
    while True:
        k = rest.find('<')
        if k < 0:
            res += rest
            break
        res += rest[:k]
        rest = rest[k:]
        if len(rest) >= 2 and rest[1] in '/bchi':
            g = rest.find('>')
            rest = '' if g < 0 else rest[g + 1:]
        else:
            res += '<'
            rest = rest[1:]
    return res.replace('# ', '\r\n')

def label(n):
    return ("НАЙДЕНА %d ПРОГРАММА" if str(n)[-1] == '1' else "НАЙДЕНО %d ПРОГРАММЫ" if str(n)[-1] in '234' else "НАЙДЕНО %d ПРОГРАММ") % n

def search(cat, crit, modelpos):
    tables = {1: [], 2: [], 3: []}
    phrase = crit.get('phrase', '').lstrip(' ')
    P = up(phrase)
    nocond = b(P) <= b' '
    sel = lambda k: crit.get(k) not in (None, '', ' Все')
    pe = ce = ge = False
    for sid, r in enumerate(cat.content):
        lv = r['Level']
        if lv == 1:
            if sel('provider'):
                pe = crit['provider'] != r['Brief']
            elif sel('operator'):
                pe = not any(o['Operator'] == crit['operator'] and o['ContentID'] == sid for o in cat.ops)
            else:
                pe = False
            if not pe:
                ce = False
        elif lv == 2:
            ce = pe or (sel('category') and crit['category'] != r['Brief'])
        elif lv == 3:
            ge = ce or (sel('genre') and crit['genre'] != r['Brief'])
        elif lv == 4:
            if ge:
                continue
            if not nocond and P not in up(plain(r['Brief'])) and P not in up(plain(r['Descript'])):
                continue
            node = next(n for n in cat.nodes if n['SoftID'] == r['ParentID'])
            if modelpos > 0 and node['Section'] != 2:
                if not any(s >= 0 and (modelpos - 1) in cat.codes[s]['ModelIndexes'] for s in r['CodeSlots']):
                    continue
            t = node['Section'] if node['Section'] in (2, 3) else 1
            tables[t].append(sid)
    opened = None
    for s, name in ((1, 'games'), (3, 'sounds'), (2, 'pictures')):
        if tables[s]:
            opened = name
            break
    total = sum(len(v) for v in tables.values())
    return dict(games=sorted(tables[1]), pictures=sorted(tables[2]), sounds=sorted(tables[3]),
                counts=dict(games=len(tables[1]), pictures=len(tables[2]), sounds=len(tables[3])),
                total=total, count_label=label(total), opened=opened, nothing_found=opened is None)

def listing(cat, node, modelpos):
    tables = {1: [], 2: [], 3: []}
    # Entries take the listed node's genre and table; the provider follows the genre record
    # walked. A genre already walked ends the walk (links can loop after a filter). The
    # section whose table received the entries opens.
    cur = node
    walked = []
    while True:
        walked.append(id(cur))
        sid = cur['SoftID'] + 1
        while sid < len(cat.content) and cat.content[sid]['ParentID'] == cur['SoftID']:
            ok = True
            if modelpos > 0 and node['Section'] != 2:
                ok = sid in cat.selmodel['SoftIDs']
            if ok:
                t = node['Section'] if node['Section'] in (2, 3) else 1
                tables[t].append(sid)
            sid += 1
        nx = cur['Next']
        if nx is None or nx is cur or id(nx) in walked:
            break
        cur = nx
    kind = node['Section'] if node['Section'] in (2, 3) else 1
    opened = {1: 'games', 2: 'pictures', 3: 'sounds'}[kind] if tables[kind] else None
    total = sum(len(v) for v in tables.values())
    return dict(games=sorted(tables[1]), pictures=sorted(tables[2]), sounds=sorted(tables[3]),
                counts=dict(games=len(tables[1]), pictures=len(tables[2]), sounds=len(tables[3])),
                total=total, count_label=label(cat.total), opened=opened, nothing_found=False)

def run(args):
    p = subprocess.run([INSPECT] + args, capture_output=True, env=dict(os.environ, QT_QPA_PLATFORM='offscreen'))
    if p.returncode != 0:
        return None, p.stderr.decode()
    return json.loads(p.stdout.decode()), None

def load_view(cat, k):
    return dict(model_position=k, selected_model=cat.selmodel['Model'] if cat.selmodel else None,
                tree=[dict(label=c[0], genres=[g[0] for g in c[2]]) for c in cat.tree],
                total_count=cat.total, count_label=label(cat.total), provider_selector=cat.provsel,
                category_selector=cat.catsel, genre_selector=cat.gensel, model_selector=cat.modelsel,
                operator_selector=cat.opsel, order_codes=order_codes(cat))

def order_codes(cat):
    out = {}
    for sid, r in enumerate(cat.content):
        if r['CodeSlots'][0] < 0:
            continue
        m = {}
        for s in r['CodeSlots']:
            if s < 0:
                continue
            for k in cat.codes[s]['ModelIndexes']:
                m[str(k)] = cat.codes[s]['Code']
        out[str(sid)] = m
    return out

rng = random.Random(SEED)
work = tempfile.mkdtemp(prefix="vexa-model-")
d = os.path.join(work, "cat")
bad = 0
for rnd in range(ROUNDS):
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    soft, models, codes, ops = gen(rng)
    write(d, soft, models, codes, ops)
    for k in range(len(models) + 1):
        cat = Cat(soft, models, codes, ops)
        if k:
            cat.apply_filter(k)
        got, err = run(["load", d, "--model", str(k)])
        exp = load_view(cat, k)
        got = {x: got[x] for x in exp} if got else err
        if got != exp:
            bad += 1
            print("LOAD MISMATCH seed", SEED, "round", rnd, "k", k, "\n got", got, "\n exp", exp)
        # listing of every genre node
        for c in cat.tree:
            for g in c[2]:
                path = c[0] + "/" + g[0]
                got, err = run(["list", d, "--model", str(k), path])
                cat2 = Cat(soft, models, codes, ops)
                if k:
                    cat2.apply_filter(k)
                c2 = next(x for x in cat2.tree if x[0] == c[0])
                g2 = next(x for x in c2[2] if x[0] == g[0])
                exp = listing(cat2, g2[1], k)
                if got != exp:
                    bad += 1
                    print("LIST MISMATCH seed", SEED, "round", rnd, "k", k, path, "\n got", got, "\n exp", exp)
        # a few searches
        for _ in range(3):
            crit = {}
            if rng.random() < 0.4 and len(cat.opsel) > 1: crit['operator'] = rng.choice(cat.opsel)
            if rng.random() < 0.3 and len(cat.provsel) > 1: crit['provider'] = rng.choice(cat.provsel)
            if rng.random() < 0.3 and len(cat.catsel) > 1: crit['category'] = rng.choice(cat.catsel)
            if rng.random() < 0.3 and len(cat.gensel) > 1: crit['genre'] = rng.choice(cat.gensel)
            if rng.random() < 0.5: crit['phrase'] = rng.choice(["ring", "  ab", "ЁЛКА", "   ", "i", "x<y", "<b>", "хит ab", "ї", "\t", "i ", "ЁЖИК"])
            args = ["search", d, "--model", str(k)]
            for key, v in crit.items():
                args += ["--" + key, v]
            got, err = run(args)
            exp = search(cat, crit, k)
            if got != exp:
                bad += 1
                print("SEARCH MISMATCH seed", SEED, "round", rnd, "k", k, crit, "\n got", got, "\n exp", exp)
shutil.rmtree(work, ignore_errors=True)
print("mismatches:", bad)
sys.exit(1 if bad else 0)
