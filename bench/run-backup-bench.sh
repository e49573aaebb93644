#!/usr/bin/env bash
# Full-backup benchmark: backs up a generated corpus (text, program files, incompressible
# data; by default about 300 MB in about 15,000 files) with vlctl to a fixed-disk target,
# and packs the same corpus with "zip -r -6" and "tar czf", in the same run. Prints
# seconds, MB/s, output sizes and the ratios, and vlctl's peak memory for the whole corpus
# and for a tenth of it (memory must not grow with the number or size of files).
#
# Usage: bench/run-backup-bench.sh [megabytes] [files]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
megabytes=${1:-300}
files=${2:-15000}

need=()
command -v zip >/dev/null || need+=(zip)
command -v bc >/dev/null || need+=(bc)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

build_dir=${VL_BENCH_BUILD_DIR:-build-backup-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target vlctl >/dev/null
vlctl="$repo/$build_dir/bin/vlctl"

work=$(mktemp -d "${TMPDIR:-/tmp}/vlbench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The corpus: a third text, a third program files, a third incompressible bytes.
python3 - "$work/corpus" "$megabytes" "$files" <<'PY'
import os, random, sys
root, megabytes, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(1)
per_file = megabytes * 1_000_000 // count
words = open('/usr/share/dict/words').read().split() if os.path.exists('/usr/share/dict/words') else \
    [''.join(random.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(random.randint(2, 10))) for _ in range(5000)]
programs = []
for folder in ('/usr/bin', '/usr/lib/x86_64-linux-gnu'):
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.isfile(path) and not os.path.islink(path) and os.path.getsize(path) > 4096:
            programs.append(path)
blob = b''.join(open(p, 'rb').read() for p in programs[:400])
for i in range(count):
    folder = os.path.join(root, 'dir%03d' % (i // 100), 'sub%d' % (i % 3))
    os.makedirs(folder, exist_ok=True)
    size = max(1, int(per_file * random.uniform(0.2, 1.8)))
    kind = i % 3
    if kind == 0:
        text = []
        total = 0
        while total < size:
            line = ' '.join(random.choice(words) for _ in range(12)) + '\n'
            text.append(line)
            total += len(line)
        data = ''.join(text).encode()[:size]
        name = 'note%05d.txt' % i
    elif kind == 1:
        start = random.randrange(0, max(1, len(blob) - size))
        data = blob[start:start + size]
        name = 'prog%05d.bin' % i
    else:
        data = os.urandom(size)
        name = 'data%05d.jpg' % i
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(data)
PY
corpus_bytes=$(du -sb "$work/corpus" | cut -f1)
corpus_files=$(find "$work/corpus" -type f | wc -l)

# Runs a backup of folder with vlctl in its own data folder; prints "seconds peak-KiB".
run_backup() {
    local folder=$1 name=$2
    local data="$work/$name-data" target="$work/$name-target"
    mkdir -p "$data" "$target"
    printf 'detect off\nS: fixed "%s"\nD: fixed "%s"\n' "$folder" "$target" > "$data/drives.map"
    VAULTAIRE_HOME=$data "$vlctl" profile add --title Bench --source 'S:\' --target 'D:\' >/dev/null
    local start end
    start=$(date +%s.%N)
    VAULTAIRE_HOME=$data /usr/bin/time -f "%M" -o "$work/$name.mem" "$vlctl" backup </dev/null >/dev/null
    end=$(date +%s.%N)
    echo "$(echo "$end - $start" | bc -l) $(cat "$work/$name.mem") $(du -sb "$target" | cut -f1)"
}

timed() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

sync
read -r vl_seconds vl_peak vl_bytes < <(run_backup "$work/corpus" full)
zip_seconds=$(cd "$work" && timed zip -r -6 -q "$work/corpus.zip" corpus)
tar_seconds=$(cd "$work" && timed tar czf "$work/corpus.tgz" corpus)
zip_bytes=$(stat -c %s "$work/corpus.zip")
tar_bytes=$(stat -c %s "$work/corpus.tgz")

# Memory: the same kind of corpus at a tenth of the size and count.
mkdir -p "$work/small"
mapfile -t all_files < <(find "$work/corpus" -type f | sort)
for f in "${all_files[@]:0:$((corpus_files / 10))}"; do
    rel=${f#"$work/corpus/"}
    mkdir -p "$work/small/$(dirname "$rel")"
    cp "$f" "$work/small/$rel"
done
read -r _ small_peak _ < <(run_backup "$work/small" small)

mb=$(echo "$corpus_bytes / 1000000" | bc -l)
printf '\nCorpus: %d files, %.1f MB\n\n' "$corpus_files" "$mb"
printf '%-16s %9s %9s %12s %9s\n' "" seconds "MB/s" "output MB" "vs zip"
for row in "vlctl backup:$vl_seconds:$vl_bytes" "zip -r -6:$zip_seconds:$zip_bytes" "tar czf:$tar_seconds:$tar_bytes"; do
    IFS=: read -r name seconds bytes <<<"$row"
    printf '%-16s %9.2f %9.1f %12.1f %9.2f\n' "$name" "$seconds" "$(echo "$mb / $seconds" | bc -l)" \
        "$(echo "$bytes / 1000000" | bc -l)" "$(echo "$seconds / $zip_seconds" | bc -l)"
done
printf '\nvlctl peak memory: %d KiB for the whole corpus, %d KiB for a tenth of it\n' "$vl_peak" "$small_peak"
