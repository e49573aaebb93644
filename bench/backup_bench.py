#!/usr/bin/env python3
"""Full-backup benchmark: "vlctl backup" against the packers a user would compare it with.

Started by bench/run-backup-bench.sh, which installs what is missing and builds a Release
vlctl; run by hand, never as a test.

    backup_bench.py --vlctl PATH [mix] [small] [big] [--scale X] [--runs N] [--profile]
                    [--work DIR]

The corpora (all made with fixed seeds; MB means 10^6 bytes):
  mix    about 400 MB in 14,740 files, like an installed software tree: 1,230 folders
         grown as a random tree up to 8 deep (three of them hold 1,000 files each), each
         folder mostly of one kind. Text (150 MB: headers, sources, documentation) is cut
         at line starts from the system's own /usr/include and /usr/share/doc; program
         files (220 MB) are cut from the ELF files in /usr/lib and /usr/bin; 30 MB are
         incompressible (.jpg, .gz, ...). Sizes follow a log-normal spread per kind
         (a few empty files, program files up to 30 MB).
  small  100,000 text files of 1 to 4 KB each (about 256 MB), 1,000 per folder, cut from
         the same text.
  big    one file of 1,000 MB in chunks of 256 KB to 8 MB: a third text, a third program
         bytes, a third random bytes, in shuffled order.
Incompressible bytes come from SHAKE-128 of the seed, so every byte of a corpus is the
same on every run; on another machine the text and program bytes are those of its own
installed files (same shapes, other bytes). Without those folders, words and bytes are
made up instead. --scale X multiplies file counts (and the big file's size) by X.

Each tool runs --runs times (3) on a warm cache (the corpus is read once, untimed, before
the first run; caches cannot be dropped without root), in rounds, with a sync before each
run; the best run counts. vlctl backs up into a fresh target and data folder each time,
with its own drive map (S: the corpus, D: the target, detection off), a profile of default
compression keeping one version, and TMPDIR beside the target on the same disk. Before
each vlctl run the corpus's archive attributes are set again, so every run copies and
clears them as a first backup does. Peak memory is /usr/bin/time's %M of vlctl; it is also
measured for the same kind of corpus at a tenth of the scale, to show whether it grows.

Every vlctl run is checked: each source file has exactly one copy that reads back (own
reader of the stored format, streamed) to the source's bytes with the right path, size,
date-time and checksum, and nothing else is left in the target or the temp folder. Of the
small corpus a sample of the contents is read back (every file must still have a copy).
The exit code is 1 when a check fails or a run fails.

The reader is cross-checked against "vlctl archive extract" on a few copies of the first
run (the largest among them).

--profile adds, per corpus, one vlctl run under "strace -c -w -f" and one under
"perf record" (when perf is there), and prints their top costs.
"""
import argparse
import filecmp
import gzip
import hashlib
import json
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

MB = 1_000_000
KB = 1_000
SEED = 2000
# Raised whenever a change to the generators changes the corpora, so kept ones are remade.
GENERATOR_VERSION = 1

# ---- the mix corpus ----
MIX_FILES = 14_740
MIX_FOLDERS = 1_230
MIX_DEEPEST = 8
MIX_KIND_BYTES = {'text': 150 * MB, 'program': 220 * MB, 'data': 30 * MB}
MIX_FOLDER_KIND_WEIGHTS = {'text': 0.7, 'program': 0.2, 'data': 0.1}
MIX_OWN_KIND_SHARE = 0.85  # of a folder's files are of the folder's kind
MIX_CROWDED_FOLDERS = ('text', 'text', 'program')  # the kinds of the folders of 1,000 files
MIX_CROWDED_FILES = 1_000
MIX_FOLDER_WEIGHT_CAP = 40.0  # keeps other folders well below the crowded ones
MIX_EMPTY_TEXT_SHARE = 0.005
MIX_SIZE_SHAPES = {'text': (6 * KB, 1.2), 'program': (40 * KB, 1.7), 'data': (25 * KB, 1.4)}
MIX_LARGEST = {'text': 4 * MB, 'program': 30 * MB, 'data': 8 * MB}
EXTENSIONS = {
    'text': ('.h', '.h', '.h', '.hpp', '.c', '.cpp', '.txt', '.html', '.md', '.xml', ''),
    'program': ('.so', '.so', '.so', '.dll', '.exe', '.o', '.a', ''),
    'data': ('.jpg', '.png', '.gz', '.zip', '.ogg'),
}
NAME_WITH_SPACE_SHARE = 0.03

# ---- the small corpus ----
SMALL_FILES = 100_000
SMALL_PER_FOLDER = 1_000
SMALL_FOLDERS_PER_GROUP = 10
SMALL_SIZES = (1_024, 4_096)

# ---- the big file ----
BIG_BYTES = 1_000 * MB
BIG_CHUNKS = (256 * 1024, 8 * 1024 * 1024)
BIG_KINDS = ('text', 'program', 'data')

# ---- what the corpora are cut from ----
TEXT_POOL_BYTES = 48 * MB
PROGRAM_POOL_BYTES = 96 * MB
TEXT_FOLDERS = ('/usr/include', '/usr/share/doc')
PROGRAM_FOLDERS = ('/usr/lib/x86_64-linux-gnu', '/usr/lib', '/usr/bin')
TEXT_SUFFIXES = ('.h', '.hpp', '.hxx', '.hh', '.inc', '.def', '.txt', '.gz', '.html', '.md')
POOL_FILE_LIMIT = 4 * MB
BINARY_PROBE = 1024
ELF_MAGIC = b'\x7fELF'
VOCABULARY_SOURCE = 2 * MB

# ---- runs and checks ----
DEFAULT_RUNS = 3
TENTH = 0.1
SMALL_SAMPLE = 2_000
CROSS_CHECKED_COPIES = 3
READ_STEP = 1 << 20
GOALS = {'mix': ('zip -r -6', 0.6), 'small': ('zip -r -6', 1.0), 'big': ('gzip -6', 0.6)}
ARCHIVE_ATTRIBUTE = 'user.vaultaire.archive'
COPY_SUFFIX = '.VL001'
COPIES_FOLDER = os.path.join('Vaultaire', 'S')
SOURCE_DRIVE = 'S:'
EXIT_OK, EXIT_FAILED = 0, 1
SHOWN_PROBLEMS = 10
PROFILE_LINES = 20
PROFILE_LIBRARIES = 8
PERF_FREQUENCY = 999

# The stored form of a copy: int32 magic, the original path (length in a byte, or 0xFF and
# a uint16, or 0xFF, 0xFFFF and an int32), int64 size, int32 DOS date-time, uint32
# checksum, int32 method, int32 key, int32 magic; then the content, a zlib stream when
# deflated. The checksum is the content's CRC-32 carried on over the path field, size,
# date-time, method and key.
MAGIC1, MAGIC2 = 0x2345, 0x5432
LONG_LENGTH, HUGE_LENGTH = 0xFF, 0xFFFF
HEADER_TAIL = struct.Struct('<qiIiii')
CHECKSUM_FIELDS = struct.Struct('<qiii')
METHOD_STORED = 0
NO_CHECKSUM, ZERO_CHECKSUM = 0, 0xFFFFFFFF
LONGEST_HEADER = 1 + 2 + 4 + 70_000 + HEADER_TAIL.size + 8


class BenchError(Exception):
    """A run or a set-up step that failed: the benchmark cannot go on."""


def say(text=''):
    print(text, flush=True)


# ======================================================================================
# What the corpora are cut from
# ======================================================================================

def regular_files(folder):
    """The regular files under folder (no links followed), in sorted order."""
    found = []
    for parent, folders, names in os.walk(folder):
        folders.sort()
        for name in sorted(names):
            path = os.path.join(parent, name)
            if os.path.isfile(path) and not os.path.islink(path):
                found.append(path)
    return found


def read_text_file(path):
    """The file's text (a .gz unpacked), or None when it is not text or cannot be read."""
    try:
        if path.endswith('.gz'):
            with gzip.open(path, 'rb') as f:
                data = f.read(POOL_FILE_LIMIT)
        else:
            with open(path, 'rb') as f:
                data = f.read(POOL_FILE_LIMIT)
    except (OSError, EOFError, zlib.error):
        return None
    return None if b'\0' in data[:BINARY_PROBE] else data


def read_program_file(path):
    try:
        with open(path, 'rb') as f:
            data = f.read(POOL_FILE_LIMIT)
    except OSError:
        return None
    return data if data.startswith(ELF_MAGIC) else None


def fill_pool(paths, reader, limit, rng):
    """Up to limit bytes of files from paths, picked in a seeded order."""
    paths = list(paths)
    rng.shuffle(paths)
    parts, total = [], 0
    for path in paths:
        if total >= limit:
            break
        data = reader(path)
        if data:
            parts.append(data)
            total += len(data)
    return b''.join(parts)[:limit]


def made_up_words(rng, count=5_000):
    letters = 'abcdefghijklmnopqrstuvwxyz'
    return [''.join(rng.choice(letters) for _ in range(rng.randint(2, 10))) for _ in range(count)]


def made_up_text(rng, size):
    words = made_up_words(rng)
    lines, total = [], 0
    while total < size:
        line = ' '.join(rng.choice(words) for _ in range(rng.randint(4, 14))) + '\n'
        lines.append(line)
        total += len(line)
    return ''.join(lines).encode()[:size]


def made_up_program(rng, size):
    """Program-like bytes: short machine-code-like runs among zeros and small numbers."""
    opcodes = bytes(range(0x40, 0x90)) + b'\x0f\x48\x89\x8b\xe8\xc3\x00\x00\x00'
    return bytes(rng.choice(opcodes) for _ in range(size))


class Pools:
    """The text, program bytes and vocabulary every corpus is cut from (made once)."""

    def __init__(self):
        self._text = None
        self._program = None
        self._words = None

    @property
    def text(self):
        if self._text is None:
            rng = random.Random('%d-text-pool' % SEED)
            paths = [p for folder in TEXT_FOLDERS if os.path.isdir(folder)
                     for p in regular_files(folder) if p.endswith(TEXT_SUFFIXES)
                     or os.path.basename(p) in ('copyright', 'changelog', 'README')]
            pool = fill_pool(paths, read_text_file, TEXT_POOL_BYTES, rng)
            if len(pool) < BIG_CHUNKS[1]:
                say('  (little text on this system: made-up words instead)')
                pool = made_up_text(rng, TEXT_POOL_BYTES // 4)
            self._text = pool
        return self._text

    @property
    def program(self):
        if self._program is None:
            rng = random.Random('%d-program-pool' % SEED)
            seen, paths = set(), []
            for folder in PROGRAM_FOLDERS:
                if not os.path.isdir(folder):
                    continue
                for path in regular_files(folder):
                    if path not in seen and os.path.getsize(path) > 4096:
                        seen.add(path)
                        paths.append(path)
            pool = fill_pool(paths, read_program_file, PROGRAM_POOL_BYTES, rng)
            if len(pool) < BIG_CHUNKS[1]:
                say('  (few program files on this system: made-up bytes instead)')
                pool = made_up_program(rng, PROGRAM_POOL_BYTES // 8)
            self._program = pool
        return self._program

    @property
    def words(self):
        """Lower-case words of the text, for names of files and folders."""
        if self._words is None:
            found = set(re.findall(rb'\b[a-z]{3,10}\b', self.text[:VOCABULARY_SOURCE]))
            self._words = sorted(w.decode() for w in found) or made_up_words(random.Random(SEED))
        return self._words


def cut(pool, size, rng):
    """size bytes of pool from a random place (the pool repeated when it is too short)."""
    if size == 0:
        return b''
    if size >= len(pool):
        return (pool * (size // len(pool) + 1))[:size]
    start = rng.randrange(0, len(pool) - size + 1)
    return pool[start:start + size]


def cut_text(pool, size, rng):
    """size bytes of text beginning at a line start."""
    if size == 0 or size >= len(pool):
        return cut(pool, size, rng)
    start = rng.randrange(0, len(pool) - size + 1)
    line = pool.find(b'\n', start, start + 200)
    if 0 <= line < len(pool) - size:
        start = line + 1
    return pool[start:start + size]


def random_bytes(rng, size):
    """Incompressible bytes that are the same on every run with the same rng state."""
    return hashlib.shake_128(b'%d:%d' % (SEED, rng.getrandbits(64))).digest(size)


def content_of(kind, size, pools, rng):
    if kind == 'text':
        return cut_text(pools.text, size, rng)
    if kind == 'program':
        return cut(pools.program, size, rng)
    return random_bytes(rng, size)


# ======================================================================================
# The corpora
# ======================================================================================

class Corpus:
    """A generated folder: what it holds, by kind."""

    def __init__(self, name, root, files=0, total=0, kinds=None):
        self.name = name
        self.root = root
        self.files = files
        self.bytes = total
        self.kinds = kinds or {}

    def add(self, kind, size):
        self.files += 1
        self.bytes += size
        self.kinds[kind] = self.kinds.get(kind, 0) + size

    def summary(self):
        parts = ', '.join('%s %.1f MB' % (k, v / MB) for k, v in sorted(self.kinds.items()))
        return '%s files, %.1f MB (%s)' % (format(self.files, ','), self.bytes / MB, parts)

    def to_json(self):
        return {'version': GENERATOR_VERSION, 'files': self.files, 'bytes': self.bytes,
                'kinds': self.kinds}


def write_file(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def scaled(count, scale, least=1):
    return max(least, round(count * scale))


def grow_tree(rng, words, count):
    """count folder paths (relative, '' the root) of a random tree at most MIX_DEEPEST
    deep; shallow folders get new sub-folders more often, as in real trees."""
    folders, depth, names = [''], {'': 0}, {'': set()}
    while len(folders) < count:
        weights = [0.0 if depth[f] >= MIX_DEEPEST else 1.0 / (1 + depth[f]) for f in folders]
        parent = rng.choices(folders, weights)[0]
        name = unique_name(rng, words, names[parent], '')
        child = os.path.join(parent, name)
        folders.append(child)
        depth[child] = depth[parent] + 1
        names[child] = set()
    return folders, depth


def unique_name(rng, words, taken, extension):
    base = rng.choice(words)
    if rng.random() < 0.5:
        base += rng.choice('-_') + rng.choice(words)
    if rng.random() < NAME_WITH_SPACE_SHARE:
        base = base.capitalize() + ' ' + rng.choice(words).capitalize()
    name, number = base + extension, 1
    while name in taken:
        number += 1
        name = '%s-%d%s' % (base, number, extension)
    taken.add(name)
    return name


def mix_file_counts(rng, folders, depth, files):
    """How many files each folder holds: a few crowded folders of MIX_CROWDED_FILES each
    (scaled with files), the rest spread unevenly (Pareto) over the others."""
    crowded_files = scaled(MIX_CROWDED_FILES, files / MIX_FILES)
    middle = [f for f in folders if 2 <= depth[f] <= 5] or folders
    crowded = rng.sample(middle, min(len(MIX_CROWDED_FOLDERS), len(middle)))
    counts = {f: 0 for f in folders}
    for folder in crowded:
        counts[folder] = min(crowded_files, files - sum(counts.values()))
    others = [f for f in folders if f not in crowded] or folders
    weights = [min(rng.paretovariate(1.2), MIX_FOLDER_WEIGHT_CAP) for _ in others]
    for folder in rng.choices(others, weights, k=files - sum(counts.values())):
        counts[folder] += 1
    return counts, crowded


def spread_sizes(rng, kind, count, total):
    """count sizes of a log-normal spread for kind that add up to total."""
    median, sigma = MIX_SIZE_SHAPES[kind]
    largest = MIX_LARGEST[kind]
    sizes = [rng.lognormvariate(math.log(median), sigma) for _ in range(count)]
    if kind == 'text':
        sizes = [0.0 if rng.random() < MIX_EMPTY_TEXT_SHARE else s for s in sizes]
    for _ in range(4):  # scaling and capping, until the caps hardly move the total
        factor = total / max(1.0, sum(sizes))
        sizes = [min(largest, s * factor) for s in sizes]
    sizes = [int(s) for s in sizes]
    if sizes:
        biggest = max(range(count), key=sizes.__getitem__)
        sizes[biggest] = max(0, sizes[biggest] + total - sum(sizes))
    return sizes


def make_mix(root, scale, pools):
    rng = random.Random('%d-mix' % SEED)
    files = scaled(MIX_FILES, scale)
    folders, depth = grow_tree(rng, pools.words, scaled(MIX_FOLDERS, scale))
    counts, crowded = mix_file_counts(rng, folders, depth, files)
    kinds = list(MIX_FOLDER_KIND_WEIGHTS)
    folder_kind = {f: rng.choices(kinds, list(MIX_FOLDER_KIND_WEIGHTS.values()))[0]
                   for f in folders}
    folder_kind.update(zip(crowded, MIX_CROWDED_FOLDERS))
    plan = []  # (folder, kind) per file
    for folder in folders:
        for _ in range(counts[folder]):
            kind = folder_kind[folder]
            if folder not in crowded and rng.random() > MIX_OWN_KIND_SHARE:
                kind = rng.choice([k for k in kinds if k != kind])
            plan.append((folder, kind))
    sizes = {}
    for kind in kinds:
        count = sum(1 for _, k in plan if k == kind)
        sizes[kind] = iter(spread_sizes(rng, kind, count, round(MIX_KIND_BYTES[kind] * scale)))
    corpus = Corpus('mix', root)
    taken = {f: set() for f in folders}
    for folder in folders:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for folder, kind in plan:
        size = next(sizes[kind])
        name = unique_name(rng, pools.words, taken[folder], rng.choice(EXTENSIONS[kind]))
        write_file(os.path.join(root, folder, name), content_of(kind, size, pools, rng))
        corpus.add(kind, size)
    return corpus


def make_small(root, scale, pools):
    rng = random.Random('%d-small' % SEED)
    corpus = Corpus('small', root)
    files = scaled(SMALL_FILES, scale)
    for index in range(files):
        folder_index = index // SMALL_PER_FOLDER
        folder = os.path.join(root, 'set%02d' % (folder_index // SMALL_FOLDERS_PER_GROUP),
                              'part%02d' % (folder_index % SMALL_FOLDERS_PER_GROUP))
        if index % SMALL_PER_FOLDER == 0:
            os.makedirs(folder, exist_ok=True)
        size = rng.randint(*SMALL_SIZES)
        name = '%s-%06d.txt' % (rng.choice(pools.words), index)
        write_file(os.path.join(folder, name), cut_text(pools.text, size, rng))
        corpus.add('text', size)
    return corpus


def make_big(root, scale, pools):
    """One file of chunks, a third of each kind, in shuffled order."""
    rng = random.Random('%d-big' % SEED)
    total = scaled(BIG_BYTES, scale)
    share = total // len(BIG_KINDS)
    chunks = []
    for position, kind in enumerate(BIG_KINDS):
        left = share if position < len(BIG_KINDS) - 1 else total - share * (len(BIG_KINDS) - 1)
        while left > 0:
            size = min(left, rng.randint(*BIG_CHUNKS))
            chunks.append((kind, size))
            left -= size
    rng.shuffle(chunks)
    os.makedirs(root, exist_ok=True)
    corpus = Corpus('big', root)
    with open(os.path.join(root, 'mixed-content.img'), 'wb') as f:
        for kind, size in chunks:
            f.write(content_of(kind, size, pools, rng))
            corpus.kinds[kind] = corpus.kinds.get(kind, 0) + size
    corpus.files, corpus.bytes = 1, total
    return corpus


MAKERS = {'mix': make_mix, 'small': make_small, 'big': make_big}


def corpus_for(kind, scale, work, pools):
    """The corpus of kind at scale in work: kept from an earlier run of the same generator
    when --work is given, else made now."""
    name = '%s-x%g' % (kind, scale)
    root = os.path.join(work, 'corpora', name)
    stamp = root + '.json'
    try:
        with open(stamp) as f:
            kept = json.load(f)
        if kept.get('version') == GENERATOR_VERSION and os.path.isdir(root):
            return Corpus(kind, root, kept['files'], kept['bytes'], kept['kinds'])
    except (OSError, ValueError):
        pass
    say('Making the %s corpus at scale %g in %s ...' % (kind, scale, root))
    if os.path.exists(stamp):
        os.remove(stamp)  # a corpus left half made by an interrupted run is never taken
    if os.path.exists(root):
        shutil.rmtree(root)
    started = time.perf_counter()
    corpus = MAKERS[kind](root, scale, pools)
    with open(stamp, 'w') as f:
        json.dump(corpus.to_json(), f)
    say('  made in %.0f s: %s' % (time.perf_counter() - started, corpus.summary()))
    return corpus


# ======================================================================================
# Runs
# ======================================================================================

def corpus_paths(root):
    """Every file of the corpus, as (relative path, host path), in sorted order."""
    for parent, folders, names in os.walk(root):
        folders.sort()
        for name in sorted(names):
            path = os.path.join(parent, name)
            yield os.path.relpath(path, root), path


def warm_cache(root):
    for _, path in corpus_paths(root):
        with open(path, 'rb') as f:
            while f.read(READ_STEP):
                pass


def set_archive_attributes(root):
    """Marks every file as not backed up, as it was when it was written."""
    for _, path in corpus_paths(root):
        try:
            os.removexattr(path, ARCHIVE_ATTRIBUTE)
        except OSError:
            pass  # none recorded, or no user attributes on this file system


def tree_bytes(folder):
    return sum(os.path.getsize(p) for _, p in corpus_paths(folder))


def tail(text, lines=8):
    return '\n'.join(text.strip().splitlines()[-lines:])


class Timing:
    """Wall-clock seconds of a run, and the processor seconds (user and system) that it
    and the processes it waited for took: on a busy machine the second varies less."""

    def __init__(self, seconds, cpu):
        self.seconds = seconds
        self.cpu = cpu


def run_timed(command, cwd=None, stdout=None, env=None):
    """Runs command (output to stdout, a file, or nowhere) after a sync and times it."""
    os.sync()
    started = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                               stdout=stdout or subprocess.DEVNULL, stderr=subprocess.PIPE)
    errors = process.stderr.read()
    process.stderr.close()
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - started
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise BenchError('%s failed (exit %d):\n%s' % (' '.join(command), process.returncode,
                                                       tail(errors.decode(errors='replace'))))
    return Timing(seconds, usage.ru_utime + usage.ru_stime)


class VlctlRun:
    """One "vlctl backup" of a corpus in a sandbox of its own: data folder, drive map,
    home, temp folder and target under folder."""

    def __init__(self, vlctl, corpus, folder):
        self.vlctl = vlctl
        self.corpus = corpus
        self.folder = folder
        self.target = os.path.join(folder, 'target')
        self.temp = os.path.join(folder, 'tmp')
        self.env = dict(os.environ, VAULTAIRE_HOME=os.path.join(folder, 'data'),
                        HOME=os.path.join(folder, 'home'), TMPDIR=self.temp)
        self.timing = None
        self.peak_kib = None
        self.output_bytes = None
        self.checked = 0  # copies whose content was read back

    def prepare(self):
        if os.path.exists(self.folder):
            shutil.rmtree(self.folder)
        for path in (self.target, self.temp, self.env['HOME'], self.env['VAULTAIRE_HOME']):
            os.makedirs(path)
        with open(os.path.join(self.env['VAULTAIRE_HOME'], 'drives.map'), 'w') as f:
            f.write('detect off\nS: fixed "%s"\nD: fixed "%s"\nC: none\n'
                    % (self.corpus.root, self.target))
        self.vlctl_command(['profile', 'add', '--title', 'Bench', '--source', 'S:\\',
                            '--target', 'D:\\', '--versions', '1'])
        set_archive_attributes(self.corpus.root)

    def vlctl_command(self, arguments):
        result = subprocess.run([self.vlctl] + arguments, env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True)
        if result.returncode != 0:
            errors = tail(result.stderr.decode(errors='replace'))
            raise BenchError('vlctl %s failed:\n%s' % (' '.join(arguments), errors))

    def backup(self, wrapper=()):
        """Runs the backup and keeps its times, peak memory and output size; under
        wrapper (a command prefix such as strace) when given, without the memory."""
        self.prepare()
        memory = os.path.join(self.folder, 'peak')
        output = os.path.join(self.folder, 'output')
        measure = [] if wrapper else ['/usr/bin/time', '-f', '%M', '-o', memory]
        command = list(wrapper) + measure + [self.vlctl, 'backup']
        with open(output, 'wb') as out:
            try:
                self.timing = run_timed(command, stdout=out, env=self.env)
            except BenchError as e:
                with open(output, errors='replace') as printed:
                    raise BenchError('%s\n%s' % (e, tail(printed.read()))) from None
        if not wrapper:
            with open(memory) as f:
                self.peak_kib = int(f.read().split()[-1])
        self.output_bytes = tree_bytes(self.target)
        return self

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


class Tool:
    """A packer (or cp) run on a corpus from its parent folder."""

    def __init__(self, label, make_command, output_name, to_stdout=False):
        self.label = label
        self.make_command = make_command  # (corpus name, corpus file or None, output) -> argv
        self.output_name = output_name
        self.to_stdout = to_stdout

    def run(self, corpus, folder):
        output = os.path.join(folder, self.output_name)
        if os.path.isdir(output):
            shutil.rmtree(output)
        elif os.path.exists(output):
            os.remove(output)
        name = os.path.basename(corpus.root)
        only_file = next(iter(corpus_paths(corpus.root)))[1] if corpus.files == 1 else None
        command = self.make_command(name, only_file, output)
        cwd = os.path.dirname(corpus.root)
        if self.to_stdout:
            with open(output, 'wb') as out:
                timing = run_timed(command, cwd=cwd, stdout=out)
        else:
            timing = run_timed(command, cwd=cwd)
        size = tree_bytes(output) if os.path.isdir(output) else os.path.getsize(output)
        return timing, size


ZIP = Tool('zip -r -6', lambda name, _, out: ['zip', '-r', '-6', '-q', out, name], 'out.zip')
TAR = Tool('tar czf', lambda name, _, out: ['tar', 'czf', out, name], 'out.tgz')
GZIP = Tool('gzip -6', lambda _, only, out: ['gzip', '-6', '-c', only], 'out.gz', to_stdout=True)
CP = Tool('cp -r', lambda name, _, out: ['cp', '-r', name, out], 'copy')


def tools_for(kind):
    return [ZIP, TAR, GZIP, CP] if kind == 'big' else [ZIP, TAR, CP]


# ======================================================================================
# Checks of the copies
# ======================================================================================

class Damaged(Exception):
    pass


def dos_date_time(seconds):
    t = time.localtime(int(seconds))
    if not 1980 <= t.tm_year <= 2107:
        return 0
    date = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
    clock = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
    value = (date << 16) | clock
    return value - (1 << 32) if value >= 1 << 31 else value


def read_header(copy):
    """The header fields of an open copy; leaves the copy at the content."""
    head = copy.read(LONGEST_HEADER)
    try:
        (magic1,) = struct.unpack_from('<i', head, 0)
        at = 4
        length = head[at]
        at += 1
        if length == LONG_LENGTH:
            (length,) = struct.unpack_from('<H', head, at)
            at += 2
            if length == HUGE_LENGTH:
                (length,) = struct.unpack_from('<i', head, at)
                at += 4
        path_field = head[4:at + length]
        path = head[at:at + length]
        at += length
        size, filetime, checksum, method, key, magic2 = HEADER_TAIL.unpack_from(head, at)
        at += HEADER_TAIL.size
    except (struct.error, IndexError) as e:
        raise Damaged('header cut short') from e
    if magic1 != MAGIC1 or magic2 != MAGIC2:
        raise Damaged('bad magic numbers')
    copy.seek(at)
    return {'path_field': path_field, 'path': path, 'size': size, 'filetime': filetime,
            'checksum': checksum, 'method': method, 'key': key}


def content_pieces(copy, method):
    """The original content of the copy, piece by piece."""
    if method == METHOD_STORED:
        while piece := copy.read(READ_STEP):
            yield piece
        return
    inflater = zlib.decompressobj()
    started = False
    try:
        while not inflater.eof:
            packed = copy.read(READ_STEP)
            if not packed and not started:
                return  # an empty file's copy holds no compressed stream at all
            if not packed:
                raise Damaged('compressed content cut short')
            started = True
            piece = inflater.decompress(packed)
            if piece:
                yield piece
    except zlib.error as e:
        raise Damaged('compressed content: %s' % e) from e
    if inflater.unused_data or copy.read(1):
        raise Damaged('bytes after the compressed content')


def check_copy(copy_path, relative, source_path):
    """Why the copy is not a faithful copy of the source, or None when it is."""
    stat = os.stat(source_path)
    expected_path = SOURCE_DRIVE + '\\' + relative.replace(os.sep, '\\')
    with open(copy_path, 'rb') as copy, open(source_path, 'rb') as source:
        header = read_header(copy)
        if header['path'] != expected_path.encode():
            return 'stored path %r' % header['path']
        if header['size'] != stat.st_size:
            return 'stored size %d, file has %d' % (header['size'], stat.st_size)
        if header['filetime'] != dos_date_time(stat.st_mtime):
            return 'stored date-time %08X' % (header['filetime'] & 0xFFFFFFFF)
        if header['key'] != 0:
            return 'a password key on a copy without password'
        crc, done = 0, 0
        for piece in content_pieces(copy, header['method']):
            if source.read(len(piece)) != piece:
                return 'content differs near byte %d' % done
            crc = zlib.crc32(piece, crc)
            done += len(piece)
        if done != stat.st_size or source.read(1):
            return 'content of %d bytes, file has %d' % (done, stat.st_size)
        if header['checksum'] == NO_CHECKSUM:
            return 'no checksum'
        fields = header['path_field'] + CHECKSUM_FIELDS.pack(
            header['size'], header['filetime'], header['method'], header['key'])
        if (zlib.crc32(fields, crc) or ZERO_CHECKSUM) != header['checksum']:
            return 'checksum does not fit'
    return None


def cross_check(run, names, expected, sources):
    """Problems found when vlctl itself restores the copies names (relative to the copies
    folder): what it restores must be the source."""
    problems = []
    restored = os.path.join(run.folder, 'restored')
    for name in names:
        relative = expected[name]
        try:
            run.vlctl_command(['archive', 'extract', os.path.join(run.target, COPIES_FOLDER, name),
                               restored, '--overwrite', 'always'])
            if not filecmp.cmp(restored, sources[relative], shallow=False):
                problems.append('%s: vlctl archive extract restores other bytes' % relative)
        except BenchError as e:
            problems.append('%s: %s' % (relative, e))
    if os.path.exists(restored):
        os.remove(restored)
    return problems


def check_run(run, sample=None, cross_checked=0):
    """Problems with the copies of run: every file must have one copy and nothing else
    may be left; the contents of all files (or of a seeded sample of that many) must
    read back exactly; cross_checked copies, the largest one among them, are also
    restored by vlctl."""
    copies = os.path.join(run.target, COPIES_FOLDER)
    sources = dict(corpus_paths(run.corpus.root))
    expected = {rel + COPY_SUFFIX: rel for rel in sources}
    found = {rel for rel, _ in corpus_paths(run.target)} if os.path.isdir(run.target) else set()
    wanted = {os.path.join(COPIES_FOLDER, name) for name in expected}
    problems = ['no copy of %s' % rel[len(COPIES_FOLDER) + 1:-len(COPY_SUFFIX)]
                for rel in sorted(wanted - found)]
    problems += ['left in the target: %s' % rel for rel in sorted(found - wanted)]
    problems += ['left in the temp folder: %s' % rel for rel, _ in corpus_paths(run.temp)]
    present = sorted(name for name in expected if os.path.join(COPIES_FOLDER, name) in found)
    if sample is not None and sample < len(present):
        present = random.Random('%d-sample' % SEED).sample(present, sample)
    for name in present:
        relative = expected[name]
        try:
            problem = check_copy(os.path.join(copies, name), relative, sources[relative])
        except Damaged as e:
            problem = str(e)
        if problem:
            problems.append('%s: %s' % (relative, problem))
    if cross_checked and present:
        picked = random.Random('%d-cross' % SEED).sample(present, min(cross_checked, len(present)))
        largest = max(present, key=lambda name: os.path.getsize(sources[expected[name]]))
        picked = list(dict.fromkeys([largest] + picked))[:cross_checked]
        problems += cross_check(run, picked, expected, sources)
    return problems, len(present)


# ======================================================================================
# One corpus: runs, checks, report
# ======================================================================================

class Result:
    """The runs of one tool on one corpus."""

    def __init__(self, label):
        self.label = label
        self.timings = []
        self.output_bytes = None

    def add(self, timing, output_bytes):
        self.timings.append(timing)
        self.output_bytes = output_bytes

    @property
    def fastest(self):
        return min(self.timings, key=lambda t: t.seconds)

    @property
    def best(self):
        return self.fastest.seconds


def backup_and_check(vlctl, corpus, folder, sample, cross_checked=0, keep=False):
    """A vlctl run that is checked; returns the run (its target removed unless keep) and
    problems."""
    run = VlctlRun(vlctl, corpus, folder).backup()
    problems, run.checked = check_run(run, sample, cross_checked)
    if not keep:
        run.remove()
    return run, problems


class CorpusBench:
    """The rounds of runs on one corpus, the checks of vlctl's copies, and the report."""

    def __init__(self, kind, args, work, pools):
        self.kind = kind
        self.args = args
        self.corpus = corpus_for(kind, args.scale, work, pools)
        self.tenth = corpus_for(kind, args.scale * TENTH, work, pools)
        self.folder = os.path.join(work, 'runs')
        self.sample = SMALL_SAMPLE if kind == 'small' else None
        self.tools = tools_for(kind)
        self.vlctl = Result('vlctl backup')
        self.results = [self.vlctl] + [Result(t.label) for t in self.tools]
        self.problems = []
        self.peaks_kib = []
        self.checked = 0
        self.tenth_run = None
        self.loads = []

    def run(self):
        say('\n== %s: %s' % (self.kind, self.corpus.summary()))
        os.makedirs(self.folder, exist_ok=True)
        try:
            warm_cache(self.corpus.root)
            self.loads.append(os.getloadavg()[0])
            for number in range(1, self.args.runs + 1):
                self.round(number)
            self.loads.append(os.getloadavg()[0])
            self.measure_tenth()
            self.report()
            if self.args.profile:
                profile(self.args.vlctl, self.corpus, self.folder)
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)
        return not self.problems

    def round(self, number):
        # Each round writes into a folder of its own, and nothing of a round is deleted
        # before the corpus's last round: deleting tens of thousands of files just before a
        # run slows the creation of files in it (ext4 passes over inodes freed moments
        # ago), which would count against vlctl and cp but not the one-file packers.
        folder = os.path.join(self.folder, 'round-%d' % number)
        os.makedirs(folder, exist_ok=True)
        run, problems = backup_and_check(self.args.vlctl, self.corpus,
                                         os.path.join(folder, 'vlctl'), self.sample,
                                         CROSS_CHECKED_COPIES if number == 1 else 0, keep=True)
        self.vlctl.add(run.timing, run.output_bytes)
        self.peaks_kib.append(run.peak_kib)
        self.problems += ['run %d: %s' % (number, p) for p in problems]
        self.checked += run.checked
        for tool, result in zip(self.tools, self.results[1:]):
            result.add(*tool.run(self.corpus, folder))
        say('  round %d: %s' % (number, ', '.join(
            '%s %.2f s' % (r.label, r.timings[-1].seconds) for r in self.results)))

    def measure_tenth(self):
        warm_cache(self.tenth.root)
        self.tenth_run, problems = backup_and_check(
            self.args.vlctl, self.tenth, os.path.join(self.folder, 'tenth'), self.sample)
        self.problems += ['tenth: %s' % p for p in problems]

    def result(self, label):
        return next((r for r in self.results if r.label == label), None)

    def report(self):
        corpus = self.corpus
        say('\n%s: %s, best of %d' % (self.kind, corpus.summary(), self.args.runs))
        references = [r for r in (self.result(ZIP.label), self.result(GZIP.label)) if r]
        say('%-14s %8s %8s %8s %10s' % ('', 'seconds', 'cpu s', 'MB/s', 'output MB') +
            ''.join(' %8s' % ('vs ' + r.label.split()[0]) for r in references) + '   runs (s)')
        for r in self.results:
            say('%-14s %8.2f %8.2f %8.1f %10.1f' % (
                r.label, r.best, r.fastest.cpu, corpus.bytes / MB / r.best, r.output_bytes / MB) +
                ''.join(' %8.2f' % (r.best / ref.best) for ref in references) + '   ' +
                ' '.join('%.2f' % t.seconds for t in r.timings))
        say('load average (1 min) before and after the runs: %.1f, %.1f on %d cores'
            % (self.loads[0], self.loads[1], os.cpu_count()))
        say('vlctl peak memory: %.1f MiB for the corpus, %.1f MiB for a tenth of it '
            '(%s files, %.1f MB)' % (max(self.peaks_kib) / 1024, self.tenth_run.peak_kib / 1024,
                                    format(self.tenth.files, ','), self.tenth.bytes / MB))
        against, goal = GOALS[self.kind]
        ratio = self.vlctl.best / self.result(against).best
        say('goal: vlctl <= %.1f x %s; now %.2f x (%s)'
            % (goal, against, ratio, 'met' if ratio <= goal else 'not met'))
        say('copies read back: %s%s in %d runs and %s of the tenth: %s' % (
            'a sample of ' if self.sample else '', format(self.checked, ','), self.args.runs,
            format(self.tenth_run.checked, ','),
            '%d problems' % len(self.problems) if self.problems else 'all exact'))
        for problem in self.problems[:SHOWN_PROBLEMS]:
            say('  ' + problem)


# ======================================================================================
# Profile
# ======================================================================================

def profile(vlctl, corpus, folder):
    """One vlctl run under strace and one under perf record; prints the top costs."""
    trace = os.path.join(folder, 'strace.txt')
    say('\n-- %s: system calls of one vlctl run (strace -c -w -f: wall time in calls, '
        'all threads, so the waits of idle threads count too)' % corpus.name)
    try:
        run = VlctlRun(vlctl, corpus, os.path.join(folder, 'strace'))
        run.backup(['strace', '-c', '-w', '-f', '-o', trace])
        run.remove()
        say('(%.2f s under strace)' % run.timing.seconds)
        with open(trace) as f:
            say(''.join(f.readlines()[:PROFILE_LINES + 2]).rstrip())
    except (BenchError, OSError) as e:
        say('strace run failed: %s' % e)
    if not shutil.which('perf'):
        say('\n(perf is not installed: no processor profile)')
        return
    say('\n-- %s: processor profile of one vlctl run (perf record, all threads)' % corpus.name)
    data = os.path.join(folder, 'perf.data')
    try:
        run = VlctlRun(vlctl, corpus, os.path.join(folder, 'perf'))
        run.backup(['perf', 'record', '-q', '-F', str(PERF_FREQUENCY), '-o', data, '--'])
        run.remove()
        say('by library (a library without symbols shows only addresses below):')
        say(perf_report(data, 'overhead,dso', PROFILE_LIBRARIES))
        say('by function:')
        say(perf_report(data, 'overhead,dso,sym', PROFILE_LINES))
    except (BenchError, OSError) as e:
        say('perf run failed: %s' % e)


def perf_report(data, fields, lines):
    """The first lines of perf's report of data by fields, or why there is none."""
    result = subprocess.run(['perf', 'report', '-i', data, '--stdio', '--no-children',
                             '--fields', fields, '--percent-limit', '0.5'],
                            capture_output=True, text=True)
    rows = [row.rstrip() for row in result.stdout.splitlines()
            if row.strip() and not row.startswith('#')]
    return '\n'.join(rows[:lines]) if rows else tail(result.stderr)


# ======================================================================================

def parse_arguments():
    parser = argparse.ArgumentParser(description='Full-backup benchmark (see the file header).')
    parser.add_argument('corpora', nargs='*', metavar='CORPUS',
                        help='mix, small, big (default: all three)')
    parser.add_argument('--vlctl', required=True, help='the vlctl program to measure')
    parser.add_argument('--scale', type=float, default=1.0,
                        help='multiplies file counts and sizes (0.1 for a quick look)')
    parser.add_argument('--runs', type=int, default=DEFAULT_RUNS, help='runs of each tool')
    parser.add_argument('--profile', action='store_true',
                        help='also one run under strace -c -w -f and one under perf record')
    parser.add_argument('--work', help='folder for corpora and runs, kept (corpora reused); '
                        'default a temporary folder, removed')
    args = parser.parse_args()
    for corpus in args.corpora:
        if corpus not in MAKERS:
            parser.error('unknown corpus %s (mix, small or big)' % corpus)
    if not 0 < args.scale <= 10:
        parser.error('--scale takes a number above 0 up to 10')
    if args.runs < 1:
        parser.error('--runs takes a number of 1 or more')
    if not os.access(args.vlctl, os.X_OK):
        parser.error('%s is not a program that can be run' % args.vlctl)
    args.corpora = list(dict.fromkeys(args.corpora)) or list(MAKERS)
    args.vlctl = os.path.abspath(args.vlctl)
    return args


def main():
    args = parse_arguments()
    work = os.path.abspath(args.work) if args.work else tempfile.mkdtemp(prefix='vlbench-')
    os.makedirs(work, exist_ok=True)
    say('vlctl: %s\nwork folder: %s\n%d cores, %s' % (
        args.vlctl, work, os.cpu_count(), ' '.join(os.uname()[2:3])))
    all_exact = True
    try:
        pools = Pools()
        for kind in args.corpora:
            all_exact = CorpusBench(kind, args, work, pools).run() and all_exact
    except BenchError as e:
        say('\nbenchmark stopped: %s' % e)
        return EXIT_FAILED
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    if not all_exact:
        say('\nSome copies did not read back exactly (see above).')
    return EXIT_OK if all_exact else EXIT_FAILED


if __name__ == '__main__':
    sys.exit(main())
