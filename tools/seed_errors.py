#!/usr/bin/env python3
"""Seeds gross errors into an hour of METAR reports or a ZAVSFC file, reproducibly, and
measures how many of them the program's checks catch.

usage: seed_errors.py IN OUT [count] [seed]            (defaults 30, 31)
       seed_errors.py --evaluate STACONT DATA_DIR IN [count] [seed] [extra stacont options]

The first form writes OUT and prints one line per seeded station: id, kind, variable.
The second seeds IN into a temporary file, runs STACONT (-ba -fp DATA_DIR -pd us -pr 9
-me mess, plus the extra options) for temp and for pralt on the seeded and on the clean
file, and prints the errors caught and the untouched reports rejected.

Kinds, in turn (every report of a chosen station is changed, so no duplicate undoes it):
  temp+10C    the temperature 10 C (18 F) too high
  temp+20F    the temperature 20 F too high (11 C in a METAR)
  temp-in-F   a unit mix-up: the Fahrenheit value where Celsius belongs (METAR), the
              Celsius value where Fahrenheit belongs (ZAVSFC)
  alt+1inHg   the altimeter 1 inHg high (the sea-level pressure group removed, so the
              pressure comes from the altimeter)
  alt-1inHg   the altimeter 1 inHg low
  moved5      the station at the wrong place: its reports carry the identifier of a
              database station 4.5 to 5.5 degrees away that did not report this hour
Stations are drawn from the database stations inside 27-48 N, 70-122 W that report a
temperature and an altimeter, so that every seeded error lands in the analysed domain.

A seeded error counts as caught when the buddy check rejects the station for its variable
(for moved5: for temp or pralt), or when the gross limits drop the value on reading.
"""
import math
import os
import random
import re
import subprocess
import sys
import tempfile

METAR = re.compile(r'^(?:METAR |SPECI )?(K[A-Z0-9]{3}) 01(?:115|12[0-5])[0-9]Z.* (M?\d\d)/(M?\d\d)? A(\d{4})')
NAMES = ['temp+10C', 'temp+20F', 'temp-in-F', 'alt+1inHg', 'alt-1inHg', 'moved5']
VAR = ['temp', 'temp', 'temp', 'pralt', 'pralt', 'any']
BOX = (27.0, 48.0, -122.0, -70.0)


def database(data_dir):
    """id -> (lat, lon) of the database stations inside the box."""
    out = {}
    with open(os.path.join(data_dir, 'sao.cty'), encoding='latin-1') as f:
        for line in f:
            p = line.split()
            if len(p) < 7:
                continue
            try:
                lat, lon = float(p[5]), float(p[6])
            except ValueError:
                continue
            if BOX[0] < lat < BOX[1] and BOX[2] < lon < BOX[3]:
                out.setdefault(p[3], (lat, lon))
    return out


def degrees_apart(a, b):
    dlon = (a[1] - b[1]) * math.cos(math.radians(0.5 * (a[0] + b[0])))
    return math.hypot(a[0] - b[0], dlon)


def moved_id(sid, db, reporting, rng):
    far = sorted(t for t, p in db.items()
                 if t not in reporting and 4.5 <= degrees_apart(p, db[sid]) <= 5.5)
    return rng.choice(far) if far else None


def c_of(t):
    return -int(t[1:]) if t.startswith('M') else int(t)


def text_of(c):
    return ('M%02d' % -c) if c < 0 else '%02d' % c


def seed_metar(lines, count, rng, db):
    matches = [m for m in map(METAR.match, lines) if m]
    reporting = {m.group(1) for m in matches}
    ids = sorted(sid for sid in reporting if sid in db)
    chosen = rng.sample(ids, count)
    kinds = {sid: k % 6 for k, sid in enumerate(chosen)}
    new_id = {sid: moved_id(sid, db, reporting, rng) for sid in chosen if kinds[sid] == 5}
    out = []
    current = None  # the seeded station whose report continues on indented lines
    for line in lines:
        if current is not None and line[:1] in (' ', '\t'):
            # Remarks on a continuation line: the precise temperature and the sea-level
            # pressure would undo the seeded error.
            line = re.sub(r' T[01]\d{3}[01]\d{3}', '', line)
            if kinds[current] in (3, 4):
                line = re.sub(r' SLP\d{3}', '', line)
            out.append(line)
            continue
        if line.strip():
            current = None
        m = METAR.match(line)
        sid = m.group(1) if m else None
        if sid in kinds:
            current = sid
            kind = kinds[sid]
            t = c_of(m.group(2))
            line = re.sub(r' T[01]\d{3}[01]\d{3}', '', line)  # the precise group would win
            if kind < 3:
                new = t + 10 if kind == 0 else t + 11 if kind == 1 else round(t * 9 / 5 + 32)
                line = line.replace(' %s/' % m.group(2), ' %s/' % text_of(new), 1)
            elif kind < 5:
                a = int(m.group(4)) + (100 if kind == 3 else -100)
                line = line.replace(' A%s' % m.group(4), ' A%04d' % a, 1)
                line = re.sub(r' SLP\d{3}', '', line)
            elif new_id[sid]:
                line = line.replace(sid + ' ', new_id[sid] + ' ', 1)
        out.append(line)
    return [(new_id.get(sid) or sid, NAMES[kinds[sid]], VAR[kinds[sid]]) for sid in chosen], out


def seed_zavsfc(lines, count, rng, db):
    # Fields: id, temperature (tenths F), dew point, wind, altimeter code, sea-level pressure code.
    body = [i for i, l in enumerate(lines[2:], 2)
            if len(l.split()) > 6 and l.split()[1] != '-99' and l.split()[4] != '-99' and l.split()[0] in db]
    reporting = {l.split()[0] for l in lines[2:] if l.split()}
    picks = rng.sample(body, count)
    seeded = []
    for k, i in enumerate(picks):
        f = lines[i].split()
        kind = k % 6
        t = int(f[1]) / 10.0
        if kind < 3:
            new = t + 18 if kind == 0 else t + 20 if kind == 1 else (t - 32) * 5 / 9
            f[1] = '%3.0f' % (new * 10)
        elif kind < 5:
            alt = int(f[4])
            f[4] = '%d' % ((alt + (100 if kind == 3 else -100)) % 1000)
            f[5] = '-99'
        else:
            f[0] = moved_id(f[0], db, reporting, rng) or f[0]
            reporting.add(f[0])
        lines[i] = ' '.join(f)
        seeded.append((f[0], NAMES[kind], VAR[kind]))
    return seeded, lines


def seed(src, dst, count, seed_value, data_dir):
    rng = random.Random(seed_value)
    with open(src, encoding='latin-1') as f:
        lines = f.read().split('\n')
    db = database(data_dir)
    seeded, out = (seed_zavsfc if lines[0].strip() == 'ZAVSFC' else seed_metar)(lines, count, rng, db)
    with open(dst, 'w', encoding='latin-1') as f:
        f.write('\n'.join(out))
    return seeded


def altimeter_only(src):
    """Ids of the stations whose reports carry an altimeter setting but no sea-level pressure."""
    with open(src, encoding='latin-1') as f:
        lines = f.read().split('\n')
    with_slp, with_alt = set(), set()
    if lines[0].strip() == 'ZAVSFC':
        for l in lines[2:]:
            f = l.split()
            if len(f) > 5:
                (with_slp if f[5] != '-99' else with_alt if f[4] != '-99' else set()).add(f[0])
    else:
        for l in lines:
            m = re.match(r'^(?:METAR |SPECI )?([A-Z0-9]{4}) \d{6}Z', l)
            if m:
                (with_slp if ' SLP' in l else with_alt if re.search(r' A\d{4}', l) else set()).add(m.group(1))
    return with_alt - with_slp


BUDDY = re.compile(r'^Buddy check (.*?): (\S+) \S+ rejected')
CHECKED = re.compile(r'^Buddy check (.*?): \d+ of (\d+) reports rejected')
GROSS = re.compile(r'^Gross limit: (\S+) (\S+) ')


def run(stacont, data_dir, infile, var, extra):
    args = [stacont, '-ba', '-fp', data_dir, '-pd', 'us', '-pr', '9', '-me', 'mess', '-va', var,
            '-de', 'png,' + os.devnull + '.png'] + extra + [infile]
    with tempfile.TemporaryDirectory() as d:
        args[args.index('-de') + 1] = 'png,' + os.path.join(d, 'x.png')
        text = subprocess.run(args, capture_output=True, text=True, errors='replace', cwd=d).stdout
    rejected, gross, checked = set(), set(), 0
    for line in text.split('\n'):
        m = BUDDY.match(line)
        if m:
            rejected.add(m.group(2))
        m = CHECKED.match(line)
        if m:
            checked = int(m.group(2))
        m = GROSS.match(line)
        if m:
            gross.add(m.group(1))
    return rejected, gross, checked


def evaluate(stacont, data_dir, src, count, seed_value, extra):
    with tempfile.TemporaryDirectory() as d:
        dst = os.path.join(d, os.path.basename(src))
        seeded = seed(src, dst, count, seed_value, data_dir)
        res = {v: run(stacont, data_dir, dst, v, extra) for v in ('temp', 'pralt')}
        clean = {v: run(stacont, data_dir, src, v, extra) for v in ('temp', 'pralt')}
    ids = {sid for sid, _, _ in seeded}
    alt_only = altimeter_only(src)
    caught = 0
    for sid, kind, var in seeded:
        vs = ('temp', 'pralt') if var == 'any' else (var,)
        hit = [v for v in vs if sid in res[v][0] or sid in res[v][1]]
        caught += bool(hit)
        print('%-5s %-10s %-6s %s' % (sid, kind, var, ('caught (' + ','.join(hit) + ')') if hit else 'MISSED'))
    print('seeded errors caught: %d of %d' % (caught, len(seeded)))
    for v in ('temp', 'pralt'):
        rej, _, checked = res[v]
        false = sorted(rej - ids)
        checked = max(checked, clean[v][2])
        print('%s: untouched reports rejected %d of %d (%.2f %%): %s' %
              (v, len(false), checked, 100.0 * len(false) / max(checked, 1), ' '.join(false)))
        if v == 'pralt':
            # The variable takes the altimeter setting where a report has no sea-level
            # pressure: at a high or cold station that is not a sea-level pressure at all.
            alt = [sid for sid in false if sid in alt_only]
            print('pralt: of these, %d report only an altimeter setting: %s' % (len(alt), ' '.join(alt)))
        print('%s: clean file rejects %d: %s' % (v, len(clean[v][0]), ' '.join(sorted(clean[v][0]))))


def main():
    if len(sys.argv) > 1 and sys.argv[1] == '--evaluate':
        a = sys.argv[2:]
        # The runs happen in a scratch directory: relative paths would name nothing there.
        stacont, data_dir, src = (os.path.abspath(v) for v in a[:3])
        count = int(a[3]) if len(a) > 3 else 30
        seed_value = int(a[4]) if len(a) > 4 else 31
        evaluate(stacont, data_dir, src, count, seed_value, a[5:])
        return
    src, dst = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    seed_value = int(sys.argv[4]) if len(sys.argv) > 4 else 31
    data_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'data')
    for s in seed(src, dst, count, seed_value, data_dir):
        print(*s)


if __name__ == '__main__':
    main()
