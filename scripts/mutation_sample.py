#!/usr/bin/env python3
"""A seeded mutation sample judged by the test programs nearest each mutated module, and the
same mutants judged again on a later tree.

Sites and their order are those of the shared mutation tool (../shared/tools/mutants.py beside
the checkout, or $MUTANTS_PY). A mutant is applied to a built tree, the tiers of test programs
are built and run in turn (the module's own test programs, its directory's, the driver's
end-to-end programs, every other directory's) and the first failing program kills it. The
results have the shared tool's format, so its --compare checks that no mutant was lost.

  mutation_sample.py --tree OLD --carry-to NEW --tiers own,dir --n 300 --seed 36 --out before.json FILES
  mutation_sample.py --tree NEW --replay before.json --from-tree OLD --tiers own,dir,e2e,rest --out after.json
  mutants.py --compare before.json after.json

A test program that fails run whole on the unmutated tree is left out (it would kill every
mutant); each killed mutant names the program that killed it (by). --carry-to samples only
sites whose line is still in the later tree; --resume goes on with a
sample that was stopped; --follow replays a sample while it is still being taken. Each tree
needs a build in its build/ folder with the tests.
"""
import argparse, glob, json, os, random, re, signal, subprocess, sys, time
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # so that the mutated file is restored
here = os.path.dirname(os.path.abspath(__file__))
tool = os.environ.get('MUTANTS_PY', os.path.join(here, '..', '..', 'shared', 'tools', 'mutants.py'))
src = open(tool).read()
src = src[:src.rindex('\nmain()')]
ns = {}
exec(compile(src, 'mutants.py', 'exec'), ns)
sites = ns['sites']

ap = argparse.ArgumentParser()
ap.add_argument('files', nargs='*')
ap.add_argument('--tree', required=True)
ap.add_argument('--n', type=int, default=300)
ap.add_argument('--seed', type=int, default=37)
ap.add_argument('--replay')
ap.add_argument('--out', required=True)
ap.add_argument('--timeout', type=int, default=300)
ap.add_argument('--tiers', default='own,dir,e2e')
ap.add_argument('--carry-to', help='sample only sites whose line is still in this tree')
ap.add_argument('--resume', action='store_true', help='keep the results already in --out and go on')
ap.add_argument('--from-tree', help='with --replay: the tree the sample was taken in, to carry lines by their neighbours')
ap.add_argument('--follow', action='store_true', help='with --replay: wait for the sample to grow until <replay>.done exists')
a = ap.parse_args()
tree = os.path.abspath(a.tree)
build = os.path.join(tree, 'build')
env = dict(os.environ, CCACHE_NOHASHDIR='1', CCACHE_BASEDIR=tree)

def run(cmd, t, cwd=None):
    try:
        return subprocess.run(cmd, shell=isinstance(cmd, str), capture_output=True, text=True, timeout=t,
                              cwd=cwd, env=env).returncode
    except subprocess.TimeoutExpired:
        return 124

def tiers(path):
    d, mod = path.split('/')[0], os.path.splitext(os.path.basename(path))[0]
    progs = {}
    for p in glob.glob(os.path.join(tree, 'tests', '*', '*_test.cpp')):
        dd = p.split('/')[-2]; progs[p] = dd + '_' + os.path.basename(p)[:-4]
    allp = sorted(progs.values())
    own = [p for p in allp if p.startswith(d + '_' + mod + '_') or p.startswith(d + '_' + mod.split('_')[0] + '_')]
    same = [p for p in allp if p.startswith(d + '_') and p not in own]
    e2e = [p for p in allp if p.startswith('driver_stacont') and p not in own + same]
    rest = [p for p in allp if p not in own + same + e2e and not p.startswith('fuzz_')]
    named = dict(own=own, dir=same, e2e=e2e, rest=rest)
    return [named[k] for k in a.tiers.split(',') if named[k]]

def build_targets(targets):
    return run('nice cmake --build %s -j2 %s' % (build, ' '.join('--target ' + t for t in targets + ['stacont'])),
               1800) == 0

broken = set()  # programs that fail on the unmutated tree: they would kill every mutant

def judge(path):
    """The verdict on the applied mutant and the program that killed it ('' unless killed)."""
    for tier in tiers(path):
        tier = [p for p in tier if p not in broken]
        if not build_targets(tier):
            return 'no build', ''
        failed = run_all(tier)
        if failed:
            return 'killed', failed
    return 'survived', ''

def run_all(progs, width=2, every=False):
    """Runs the test programs two at a time; the name of the first that fails (the others
    stopped, unless every), or '' when all pass; with every, the names of all that fail."""
    failing = []
    todo, running = list(progs), []
    try:
        while todo or running:
            while todo and len(running) < width:
                name = todo.pop(0)
                exe = os.path.join(build, 'tests', name)
                running.append((subprocess.Popen(['nice', exe, '--gtest_fail_fast', '--gtest_brief=1'],
                                                 cwd=os.path.join(build, 'tests'), env=env, start_new_session=True,
                                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL), time.time(), name))
            time.sleep(0.05)
            for item in list(running):
                pr, t0, name = item
                rc = pr.poll()
                if rc is None and time.time() - t0 > a.timeout:
                    os.killpg(pr.pid, signal.SIGKILL)
                    pr.wait()
                    rc = 124
                if rc is not None:
                    running.remove(item)
                    if rc != 0:
                        failing.append(name)
                        if not every:
                            return name
        return failing if every else ''
    finally:
        for pr, _, _ in running:
            try:
                os.killpg(pr.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            pr.wait()

def carry(r):
    """The mutant's line in today's file: the same text near the old line number."""
    path = os.path.join(tree, r['file'])
    lines = open(path, encoding='utf-8', errors='replace').read().split('\n')
    cands = [i for i, l in enumerate(lines) if l == r['before']]
    if not cands:
        return None
    if a.from_tree:
        # A line such as "return 0;" stands in many places: the one whose neighbours are those
        # of the sampled line is the one meant.
        old = open(os.path.join(a.from_tree, r['file']), encoding='utf-8', errors='replace').read().split('\n')
        def same(i):
            return sum(1 for k in range(-6, 7) if k and 0 <= i + k < len(lines) and 0 <= r['line'] + k < len(old)
                       and lines[i + k] == old[r['line'] + k])
        return max(cands, key=lambda i: (same(i), -abs(i - r['line'])))
    return min(cands, key=lambda i: abs(i - r['line']))

def replay_items(seen):
    while True:
        try:
            rs = json.load(open(a.replay)); break
        except (ValueError, OSError):
            time.sleep(5)
    out = []
    for r in rs:
        k = (r['file'], r['line'], r['col'], r['to'])
        if r['result'] != 'killed' or k in seen:
            continue
        seen.add(k)
        out.append((r, carry(r)))
    return out

def followed():
    seen = set()
    while True:
        done = os.path.exists(a.replay + '.done')
        items = replay_items(seen)
        yield from items
        if done and not items:
            return
        if not items:
            time.sleep(30)

if a.replay:
    todo = followed() if a.follow else replay_items(set())
else:
    os.chdir(tree)
    every = [s for f in a.files for s in sites(f)]
    random.Random(a.seed).shuffle(every)
    if a.carry_to:
        later = {}
        for f in a.files:
            later[f] = set(open(os.path.join(a.carry_to, f), encoding='utf-8', errors='replace').read().split('\n'))
        every = [s for s in every if s[5] in later[s[0]]]
    todo = every
    os.chdir('/')

# A run stopped while a mutant was compiling can leave an object built from the mutant but newer
# than the restored source: make would keep it. Touching the sampled sources rebuilds them.
sampled = sorted(set(a.files or [r['file'] for r in json.load(open(a.replay))]))
for f in sampled:
    os.utime(os.path.join(tree, f))
if run('nice cmake --build %s -j2' % build, 3600) != 0:
    sys.exit('the tree does not build')
# Test programs run whole, as here, can fail where ctest (a process a test) passes: such a
# program is left out, or it would kill every mutant it is asked about.
every_prog = sorted({p for f in sampled for t in tiers(f) for p in t})
broken = set(run_all(every_prog, every=True))
for p in sorted(broken):
    print('left out, fails unmutated:', p, flush=True)
results = json.load(open(a.out)) if a.resume and os.path.exists(a.out) else []
done_keys = {(r['file'], r['line'], r['col'], r['to']) for r in results}
for item in todo:
    if not a.replay and (item[0], item[1], item[2], item[4]) in done_keys:
        continue
    if a.replay and (item[0]['file'], item[0]['line'], item[0]['col'], item[0]['to']) in done_keys:
        continue
    if not a.replay and len([r for r in results if r['result'] != 'no build']) >= a.n:
        break
    if a.replay:
        r, n = item
        if n is None:
            results.append(dict(r, result='not carried')); print('not carried', r['file'], r['line'] + 1, flush=True); continue
        path, b, rep, line = r['file'], r['col'], r['to'], r['before']
        e = b + len(rep) + len(line) - len(r['after'])
    else:
        path, n, b, e, rep, line = item
    full = os.path.join(tree, path)
    text = open(full, encoding='utf-8', errors='replace').read()
    lines = text.split('\n')
    after = line[:b] + rep + line[e:]
    if a.replay and after != r['after']:
        results.append(dict(r, result='not carried')); print('bad carry', path, flush=True); continue
    lines[n] = after
    t0 = time.time()
    try:
        open(full, 'w', encoding='utf-8').write('\n'.join(lines))
        res, by = judge(path)
    finally:
        open(full, 'w', encoding='utf-8').write(text)
    if a.replay:
        results.append(dict(r, result=res, by=by, line_now=n, seconds=round(time.time() - t0, 1)))
    else:
        results.append(dict(file=path, line=n, col=b, to=rep, before=line, after=after, result=res, by=by,
                            seconds=round(time.time() - t0, 1)))
    print('%-9s %s:%d: %s  (%.0fs)' % (res, path, n + 1, after.strip(), time.time() - t0), flush=True)
    json.dump(results, open(a.out, 'w'), indent=1)
run('nice cmake --build %s -j2' % build, 3600)
json.dump(results, open(a.out, 'w'), indent=1)
if not a.replay:
    open(a.out + '.done', 'w').close()
k = sum(r['result'] == 'killed' for r in results); s = sum(r['result'] == 'survived' for r in results)
print('%d killed, %d survived (%.0f%% killed); %s' % (k, s, 100.0 * k / max(1, k + s), a.out))
