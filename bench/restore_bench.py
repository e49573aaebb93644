#!/usr/bin/env python3
"""Restore benchmark: "vlctl restore" of a whole backup against "tar xzf" of the same files.

Started by bench/run-restore-bench.sh, which installs what is missing and builds a Release
vlctl; run by hand, never as a test.

    restore_bench.py --vlctl PATH [--scale X] [--runs N] [--work DIR]

The corpus is the mix corpus of bench/backup_bench.py (about 400 MB in 14,740 files of
text, program files and incompressible data; --scale X multiplies its file count), made
with the same fixed seeds. It is backed up once with "vlctl backup" (one version, default
compression) and packed once with "tar czf" (gzip's default level); neither is timed.

Then, --runs times (3) in rounds, on a warm cache and after a sync, each into a fresh
folder on the same disk:
  tar xzf      unpacks the tarball;
  vlctl        "vlctl restore D: --to FOLDER": every file's newest copy, checked as the
               restore checks it (header, stored path, inflate, size, checksum).
The best run counts: seconds of wall time and cpu seconds (user + system, of the process
and its threads), and vlctl's peak memory (/usr/bin/time %M). Every vlctl run is compared
with the corpus: each file's bytes, and its time to the two seconds that copies keep.
Peak memory is also measured on the corpus at a tenth of the scale, to show whether it
grows with the number of files.

Last, a folder of 10,000 copies (small text files backed up by vlctl) is opened in the
catalogue: "vlctl list" of that folder reads every copy's header. Its time is the best of
--runs, with vlctl's start (a "vlctl list" of the location's root) given beside it.

Exit code 1 when a run fails or a restored file differs.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import backup_bench as bb  # noqa: E402  (the corpora and the timing helpers)

DEFAULT_RUNS = 3
CATALOGUE_FOLDER_FILES = 10_000
CATALOGUE_FILE_SIZES = (200, 2_000)
GOAL_RATIO = 1.0
TIME_SLACK_SECONDS = 2
EXIT_OK, EXIT_FAILED = 0, 1


def best(timings):
    return min(timings, key=lambda t: t.seconds)


def peak_kib(memory_file):
    with open(memory_file) as f:
        return int(f.read().split()[-1])


class Backup:
    """A corpus backed up by vlctl in a sandbox of its own, restored from there."""

    def __init__(self, vlctl, corpus, folder):
        self.run = bb.VlctlRun(vlctl, corpus, folder)
        self.run.backup()
        self.vlctl = vlctl
        self.folder = folder

    def restore(self, into):
        """Restores everything below into; the timing and the peak memory in KiB."""
        if os.path.exists(into):
            shutil.rmtree(into)
        memory = os.path.join(self.folder, 'restore-peak')
        command = ['/usr/bin/time', '-f', '%M', '-o', memory, self.vlctl, 'restore', 'D:',
                   '--to', into]
        with open(os.path.join(self.folder, 'restore-output'), 'wb') as out:
            timing = bb.run_timed(command, stdout=out, env=self.run.env)
        return timing, peak_kib(memory)

    def vlctl_timed(self, arguments):
        memory = os.path.join(self.folder, 'list-peak')
        command = ['/usr/bin/time', '-f', '%M', '-o', memory, self.vlctl] + arguments
        timing = bb.run_timed(command, env=self.run.env)
        return timing, peak_kib(memory)


def differences(corpus_root, restored_root):
    """Files of the corpus that did not come back as they were (bytes, or time beyond the
    two seconds that copies keep), and files that came back from nowhere."""
    wrong = []
    seen = set()
    for relative, path in bb.corpus_paths(corpus_root):
        seen.add(relative)
        back = os.path.join(restored_root, relative)
        if not os.path.isfile(back):
            wrong.append('%s: missing' % relative)
            continue
        if abs(os.stat(back).st_mtime - os.stat(path).st_mtime) >= TIME_SLACK_SECONDS:
            wrong.append('%s: another time' % relative)
        elif not same_bytes(path, back):
            wrong.append('%s: other bytes' % relative)
    for relative, _ in bb.corpus_paths(restored_root):
        if relative not in seen:
            wrong.append('%s: not in the corpus' % relative)
    return wrong


def same_bytes(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, 'rb') as fa, open(b, 'rb') as fb:
        while True:
            block_a, block_b = fa.read(bb.READ_STEP), fb.read(bb.READ_STEP)
            if block_a != block_b:
                return False
            if not block_a:
                return True


def bench_restore(args, work, pools):
    corpus = bb.corpus_for('mix', args.scale, work, pools)
    bb.say('\nRestore of the mix corpus: %s' % corpus.summary())
    bb.warm_cache(corpus.root)
    runs = os.path.join(work, 'restore-runs')
    shutil.rmtree(runs, ignore_errors=True)
    os.makedirs(runs)
    bb.say('  backing up with vlctl and packing with tar czf (not timed) ...')
    backup = Backup(args.vlctl, corpus, os.path.join(runs, 'vlctl'))
    tarball = os.path.join(runs, 'corpus.tar.gz')
    parent, name = os.path.split(corpus.root)
    subprocess.run(['tar', 'czf', tarball, '-C', parent, name], check=True)

    tar_timings, vlctl_timings, peaks = [], [], []
    exact = True
    for round_number in range(args.runs):
        tar_into = os.path.join(runs, 'tar-out')
        shutil.rmtree(tar_into, ignore_errors=True)
        os.makedirs(tar_into)
        tar_timings.append(bb.run_timed(['tar', 'xzf', tarball, '-C', tar_into]))
        vlctl_into = os.path.join(runs, 'vlctl-out')
        timing, peak = backup.restore(vlctl_into)
        vlctl_timings.append(timing)
        peaks.append(peak)
        wrong = differences(corpus.root, vlctl_into)
        if wrong:
            exact = False
            bb.say('  round %d: %d files did not come back as they were, e.g. %s'
                   % (round_number + 1, len(wrong), '; '.join(wrong[:5])))
        bb.say('  round %d: tar xzf %.2f s (cpu %.2f s), vlctl restore %.2f s (cpu %.2f s)'
               % (round_number + 1, tar_timings[-1].seconds, tar_timings[-1].cpu,
                  timing.seconds, timing.cpu))
    tar, vlctl = best(tar_timings), best(vlctl_timings)
    ratio = vlctl.seconds / tar.seconds
    bb.say('  best of %d: tar xzf %.2f s (cpu %.2f s), vlctl restore %.2f s (cpu %.2f s), '
           '%.0f MB/s; ratio %.2f x tar xzf (goal <= %.1f): %s'
           % (args.runs, tar.seconds, tar.cpu, vlctl.seconds, vlctl.cpu,
              corpus.bytes / bb.MB / vlctl.seconds, ratio, GOAL_RATIO,
              'met' if ratio <= GOAL_RATIO else 'missed'))
    bb.say('  vlctl peak memory: %.1f MB for %s files' % (max(peaks) / 1024,
                                                          format(corpus.files, ',')))
    shutil.rmtree(runs, ignore_errors=True)

    tenth = bb.corpus_for('mix', args.scale * bb.TENTH, work, pools)
    small_runs = os.path.join(work, 'restore-runs-tenth')
    shutil.rmtree(small_runs, ignore_errors=True)
    os.makedirs(small_runs)
    small = Backup(args.vlctl, tenth, os.path.join(small_runs, 'vlctl'))
    _, small_peak = small.restore(os.path.join(small_runs, 'out'))
    bb.say('  vlctl peak memory at a tenth of the corpus (%s files): %.1f MB'
           % (format(tenth.files, ','), small_peak / 1024))
    shutil.rmtree(small_runs, ignore_errors=True)
    return exact


def bench_catalogue(args, work):
    folder = os.path.join(work, 'catalogue')
    shutil.rmtree(folder, ignore_errors=True)
    source = os.path.join(folder, 'source')
    crowded = os.path.join(source, 'Crowded')
    os.makedirs(crowded)
    rng = random.Random('%d-catalogue' % bb.SEED)
    for number in range(CATALOGUE_FOLDER_FILES):
        size = rng.randint(*CATALOGUE_FILE_SIZES)
        bb.write_file(os.path.join(crowded, 'note%05d.txt' % number), b'x' * size)
    corpus = bb.Corpus('catalogue', source, CATALOGUE_FOLDER_FILES)
    backup = Backup(args.vlctl, corpus, os.path.join(folder, 'vlctl'))
    opened, starts, peaks = [], [], []
    for _ in range(args.runs):
        timing, peak = backup.vlctl_timed(['list', 'D:', 'S:\\Crowded'])
        opened.append(timing)
        peaks.append(peak)
        starts.append(backup.vlctl_timed(['list', 'D:'])[0])
    catalogue, start = best(opened), best(starts)
    bb.say('\nOpening a folder of %s copies in the catalogue (vlctl list, every header '
           'read): %.3f s (cpu %.3f s), of which vlctl\'s start and the location about '
           '%.3f s; peak memory %.1f MB (goal: under 1 s)'
           % (format(CATALOGUE_FOLDER_FILES, ','), catalogue.seconds, catalogue.cpu,
              start.seconds, max(peaks) / 1024))
    shutil.rmtree(folder, ignore_errors=True)


def parse_arguments():
    parser = argparse.ArgumentParser(description='Restore benchmark (see the file header).')
    parser.add_argument('--vlctl', required=True, help='the vlctl program to measure')
    parser.add_argument('--scale', type=float, default=1.0,
                        help='multiplies the corpus\'s file count (0.1 for a quick look)')
    parser.add_argument('--runs', type=int, default=DEFAULT_RUNS, help='runs of each tool')
    parser.add_argument('--work', help='folder for the corpus and the runs, kept (the corpus '
                        'reused); default a temporary folder, removed')
    args = parser.parse_args()
    if not 0 < args.scale <= 10:
        parser.error('--scale takes a number above 0 up to 10')
    if args.runs < 1:
        parser.error('--runs takes a number of 1 or more')
    if not os.access(args.vlctl, os.X_OK):
        parser.error('%s is not a program that can be run' % args.vlctl)
    args.vlctl = os.path.abspath(args.vlctl)
    return args


def main():
    args = parse_arguments()
    work = os.path.abspath(args.work) if args.work else tempfile.mkdtemp(prefix='vlrbench-')
    os.makedirs(work, exist_ok=True)
    bb.say('vlctl: %s\nwork folder: %s\n%d cores, %s' % (
        args.vlctl, work, os.cpu_count(), ' '.join(os.uname()[2:3])))
    started = time.perf_counter()
    try:
        exact = bench_restore(args, work, bb.Pools())
        bench_catalogue(args, work)
    except bb.BenchError as e:
        bb.say('\nbenchmark stopped: %s' % e)
        return EXIT_FAILED
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    bb.say('\n(%.0f s in all)' % (time.perf_counter() - started))
    if not exact:
        bb.say('\nSome files did not come back as they were (see above).')
    return EXIT_OK if exact else EXIT_FAILED


if __name__ == '__main__':
    sys.exit(main())
