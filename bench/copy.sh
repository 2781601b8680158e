#!/usr/bin/env bash
# The copy engine copying a whole world volume (20,000 files of 1–64 KiB in
# 2,000 folders plus 4 files of 256 MiB) onto another world volume on the same
# disk, against cp -a of the same tree in the same run, and beside a plain
# parallel copy (find | xargs -P8 cp -a over the top-level entries) as the
# best simple peer. Each side is timed as a whole process, with a warm cache
# and after a sync, median of three runs taken alternately. Every copy goes
# into a file system made new for it (lib/freshfs.sh; for ours, mounted as
# the target volume's folder), so that no run pays for what earlier runs or
# other programs deleted; where nothing can be mounted, every copy goes into a
# folder of its own, deleted only after the last run, and the runs wait out
# earlier deletions (lib/settle.sh). Every timed side runs at a raised
# priority where it may (lib/priority.sh), and the machine's load is shown
# beside each run's figures. The first copy of
# ours is compared with its source. A 10 ms timer on the main thread measures
# how long it went without running its events while the job ran, beside the
# same measure with no job running.
# Last line: copy: ratio R (ours X s, cp -a Y s)
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
. "$(dirname "$0")/lib/freshfs.sh"
. "$(dirname "$0")/lib/priority.sh"
bench_build copy copy_bench
bin="$build/bench/copy_bench"

data=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-copy.XXXXXX")
trap 'fresh_fs_cleanup; rm -rf "$data"' EXIT
world="$data/world"
read -r src dst < <("$bin" world "$world")
if [ ! -d "$src" ] || [ ! -d "$dst" ]; then
  echo "copy: the world's volumes were not made" >&2
  exit 1
fi
"$bin" generate "$src"
kept="$data/kept"
mkdir "$kept"

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# What a copy must keep of every entry: type, mode, modification time, and a
# file's size or a link's target (a folder's own size is the file system's).
facts() {
  (cd "$1" && find . -mindepth 1 \( -type d -printf '%P d %m %T@\n' \) -o -printf '%P %y %m %T@ %s %l\n' |
    LC_ALL=C sort)
}

# Warm the cache for both sides.
cat "$src"/movie*.mov >/dev/null
find "$src" -type f -exec cat {} + >/dev/null

ours=() theirs=() peers=() gaps=() idle=() loads=()
for run in 1 2 3; do
  loads+=("run $run: $(machine_load)")
  fresh_fs "$dst"
  sync
  t0=$(seconds)
  if ! out=$(QT_QPA_PLATFORM=offscreen timed "$bin" copy "$world" "$src" "$dst"); then
    echo "copy: our copy failed" >&2
    exit 1
  fi
  t1=$(seconds)
  ours+=("$(elapsed "$t0" "$t1")")
  dest=$(printf '%s\n' "$out" | sed -n 1p)
  read -r took _ gap < <(printf '%s\n' "$out" | sed -n 2p)
  gaps+=("$gap")
  # The same watch for as long with no job: what the machine itself costs the main thread.
  idle+=("$(QT_QPA_PLATFORM=offscreen "$bin" idle "$took")")
  if [ "$run" = 1 ]; then
    if ! diff -r -q "$src" "$dest" >/dev/null || [ "$(facts "$src")" != "$(facts "$dest")" ]; then
      echo "copy: our copy differs from its source" >&2
      exit 1
    fi
    echo "our copy matches its source byte for byte (modes and times too)"
  fi
  if [ -n "${fresh_mounted[$dst]:-}" ]; then
    fresh_fs_release "$dst"
  else
    mv "$dest" "$kept/ours-$run"
  fi

  fresh_fs "$kept/cp-fs-$run"
  sync
  t0=$(seconds)
  timed cp -a "$src" "$kept/cp-fs-$run/cp"
  t1=$(seconds)
  theirs+=("$(elapsed "$t0" "$t1")")
  fresh_fs_release "$kept/cp-fs-$run"

  fresh_fs "$kept/peer-$run"
  sync
  t0=$(seconds)
  (cd "$src" && find . -mindepth 1 -maxdepth 1 -print0 | timed xargs -0 -P8 -I{} cp -a {} "$kept/peer-$run/")
  t1=$(seconds)
  peers+=("$(elapsed "$t0" "$t1")")
  fresh_fs_release "$kept/peer-$run"
done
rm -rf "$kept"

worst() { printf '%s\n' "$@" | sort -g | tail -n 1; }
echo "main thread: longest wait for its events $(worst "${gaps[@]}") ms while our copy ran, $(worst "${idle[@]}") ms with no job running (worst of three each)"
x=$(median "${ours[@]}"); y=$(median "${theirs[@]}"); z=$(median "${peers[@]}")
echo "runs: ours ${ours[*]} s; cp -a ${theirs[*]} s; parallel peer ${peers[*]} s; $(fresh_fs_kind); $(timed_kind)"
echo "machine at the start of each run: $(printf '%s; ' "${loads[@]}")"
echo "copy: parallel peer (find | xargs -P8 cp -a) $z s; ours / peer $(awk -v x="$x" -v z="$z" 'BEGIN { printf "%.3f", (z > 0 ? x / z : 0) }')"
r=$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.3f", (y > 0 ? x / y : 0) }')
echo "copy: ratio $r (ours $x s, cp -a $y s)"
