#!/usr/bin/env bash
# The disk image job of the image and archive engine over a whole world volume
# holding the copy benchmark's tree (20,000 files of 1–64 KiB in 2,000 folders
# plus 4 files of 256 MiB): create, mount, copy into the image, eject (which
# writes the image file), the image landing on another world volume of the
# same disk; against what a user would do for the same durable result: tar
# -cf of the same items into one file on that volume, then sync -f of the
# file; and, as a second line, cp -a of the same tree into an empty folder
# there. Each side is timed as a whole process, with a warm cache and after a
# sync, median of three runs taken alternately, ours first in one run and the
# others first in the next. Every run writes into a file system made new for
# it (lib/freshfs.sh), mounted as its folder on the target volume (or, where
# nothing can be mounted, into a folder of its own, nothing deleted until the
# last run); the removal of the image's mounted copy after each of our runs
# (outside the target volume) is waited out (lib/settle.sh). The
# image is sized before the timing, as the page has the volume's size from its
# record before the job starts. The first image is attached again and compared with its source.
# Last line: dmg: ratio R (ours X s, tar+sync Y s)
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
. "$(dirname "$0")/lib/freshfs.sh"
bench_build dmg dmg_bench copy_bench tarnwick_tools
bin="$build/bench/dmg_bench"
tools="$build/Helmrun.app/Contents/MacOS/Tarnwick.app/Contents/Resources/tools"

data=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-dmg.XXXXXX")
trap 'fresh_fs_cleanup; rm -rf "$data"' EXIT
world="$data/world"
read -r src dst < <("$build/bench/copy_bench" world "$world")
if [ ! -d "$src" ] || [ ! -d "$dst" ]; then
  echo "dmg: the world's volumes were not made" >&2
  exit 1
fi
"$build/bench/copy_bench" generate "$src"
export TARNWICK_ROOT=$world TARNWICK_TOOLS=$tools
size=$("$bin" size "$src")

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# What a copy must keep of every entry: type, mode, size, link target.
facts() { (cd "$1" && find . -mindepth 1 -printf '%P %y %m %s %l\n' | LC_ALL=C sort); }

# Warm the cache for both sides.
find "$src" -type f -exec cat {} + >/dev/null

mapfile -t items < <(cd "$src" && find . -mindepth 1 -maxdepth 1 -printf '%P\n' | LC_ALL=C sort)

runOurs() {
  local run=$1 folder="$dst/ours-$1"
  fresh_fs "$folder"
  sync
  t0=$(seconds)
  if ! out=$(QT_QPA_PLATFORM=offscreen "$bin" dmg "$src" "$folder" "$size" 2>"$data/ours.log"); then
    echo "dmg: our image job failed; its last lines:" >&2
    tail -n 20 "$data/ours.log" >&2
    exit 1
  fi
  t1=$(seconds)
  ours+=("$(elapsed "$t0" "$t1")")
  # The eject leaves the removal of the mounted copy to a remover of its own,
  # after the job has ended: let it finish outside the timing, and wait out
  # the file system's slow state after its deletions, so that the next run
  # (ours or cp -a) does not pay for them.
  for _ in $(seq 1 600); do
    [ -z "$(ls -A "$world/.diskworld/trash" 2>/dev/null)" ] && break
    sleep 0.5
  done
  settle
  image=$(printf '%s\n' "$out" | sed -n 1p)
  read -r _ gap < <(printf '%s\n' "$out" | sed -n 2p)
  gaps+=("$gap")
  images+=("$image")
}
runTar() {
  local folder="$dst/tar-$1"
  fresh_fs "$folder"
  sync
  t0=$(seconds)
  tar -cf "$folder/items.tar" -C "$src" -- "${items[@]}"
  sync -f "$folder/items.tar"
  t1=$(seconds)
  tars+=("$(elapsed "$t0" "$t1")")
  fresh_fs_release "$folder"
}
runTheirs() {
  local folder="$dst/cp-$1"
  fresh_fs "$folder"
  sync
  t0=$(seconds)
  cp -a "$src/." "$folder"
  t1=$(seconds)
  theirs+=("$(elapsed "$t0" "$t1")")
  fresh_fs_release "$folder"
}

ours=() theirs=() tars=() gaps=() images=()
for run in 1 2 3; do
  if [ $((run % 2)) = 1 ]; then
    runOurs "$run"; runTar "$run"; runTheirs "$run"
  else
    runTar "$run"; runTheirs "$run"; runOurs "$run"
  fi
  # The first image is checked after the timed runs; the others go at once.
  [ "$run" = 1 ] || fresh_fs_release "$dst/ours-$run"
done

# Checked after the timed runs, so the check's own copy does not sit between them.
mountPoint=$("$tools/hdiutil" mount "${images[0]}" | awk -F '\t' '$3 != "" { print $3 }')
if [ -z "$mountPoint" ] || ! diff -r -q "$src" "$mountPoint" >/dev/null ||
   [ "$(facts "$src")" != "$(facts "$mountPoint")" ]; then
  echo "dmg: the image does not hold its source" >&2
  exit 1
fi
"$tools/diskutil" eject "$mountPoint" >/dev/null
echo "the image, attached again, holds its source byte for byte"
fresh_fs_release "$dst/ours-1"
rm -rf "$dst"/ours-* "$dst"/cp-* "$dst"/tar-*

echo "main thread: longest wait for its events $(printf '%s\n' "${gaps[@]}" | sort -g | tail -n 1) ms (worst of three)"
x=$(median "${ours[@]}"); y=$(median "${tars[@]}"); z=$(median "${theirs[@]}")
echo "runs: ours ${ours[*]} s; tar+sync ${tars[*]} s; cp -a ${theirs[*]} s; $(fresh_fs_kind)"
echo "dmg: against cp -a: ratio $(awk -v x="$x" -v z="$z" 'BEGIN { printf "%.3f", (z > 0 ? x / z : 0) }') (ours $x s, cp -a $z s)"
r=$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.3f", (y > 0 ? x / y : 0) }')
echo "dmg: ratio $r (ours $x s, tar+sync $y s)"
