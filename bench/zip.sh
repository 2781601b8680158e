#!/usr/bin/env bash
# The archive job of the image and archive engine over the copy benchmark's
# tree (20,000 files of 1–64 KiB in 2,000 folders plus 4 files of 256 MiB),
# every top-level entry checked as for a whole volume, against the same
# `zip -r -y` command run alone on the same tree from the same folder (the
# system root). Each side is timed as a whole process with a warm cache,
# median of three runs taken alternately, each side writing into a file
# system made new for its run (lib/freshfs.sh), so no run pays for the file
# system's clean-up after another. The first archive of ours must
# list exactly what zip's own lists.
# Last line: zip: ratio R (ours X s, zip -r Y s)
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
. "$(dirname "$0")/lib/freshfs.sh"
bench_build zip zip_bench copy_bench
bin="$build/bench/zip_bench"

data=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-zip.XXXXXX")
trap 'fresh_fs_cleanup; rm -rf "$data"' EXIT
tree="$data/tree"
"$build/bench/copy_bench" generate "$tree"
mkdir "$data/ours" "$data/zip"
# Every archive is written into a file system made new for its run (lib/freshfs.sh).
# The same names in the same order as the engine hands them to zip: relative
# to the system root ("/" here), in which zip runs.
mapfile -t entries < <(find "$tree" -mindepth 1 -maxdepth 1 | sed 's|^/||')

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Warm the cache for both sides.
find "$tree" -type f -exec cat {} + >/dev/null

ours=() theirs=() gaps=()
run_ours() {
  local archive="$data/ours/$1/KestrovaDiskClone($1).zip" t0 t1 out
  fresh_fs "$data/ours/$1"
  t0=$(seconds)
  if ! out=$(QT_QPA_PLATFORM=offscreen "$bin" zip "$tree" "$archive" 2>"$data/ours.log"); then
    echo "zip: our archive job failed; its last lines:" >&2
    tail -n 20 "$data/ours.log" >&2
    exit 1
  fi
  t1=$(seconds)
  ours+=("$(elapsed "$t0" "$t1")")
  read -r _ expected gap <<<"$out"
  gaps+=("$gap")
}
run_zip() {
  local reference="$data/zip/$1/reference$1.zip" t0 t1
  fresh_fs "$data/zip/$1"
  t0=$(seconds)
  (cd / && zip -r -y "$reference" -- "${entries[@]}" >/dev/null)
  t1=$(seconds)
  theirs+=("$(elapsed "$t0" "$t1")")
}
# Alternately: ours first, then zip first, then ours first.
for run in 1 2 3; do
  if [ $((run % 2)) = 1 ]; then run_ours "$run"; run_zip "$run"; else run_zip "$run"; run_ours "$run"; fi
  if [ "$run" = 1 ]; then
    archive="$data/ours/1/KestrovaDiskClone(1).zip"
    if ! cmp -s <(unzip -Z1 "$archive" | LC_ALL=C sort) <(unzip -Z1 "$data/zip/1/reference1.zip" | LC_ALL=C sort); then
      echo "zip: our archive does not list what zip's own lists" >&2
      exit 1
    fi
    echo "our archive lists the same $(unzip -Z1 "$archive" | wc -l) entries as zip's own ($expected expected)"
  fi
  fresh_fs_release "$data/ours/$run"
  fresh_fs_release "$data/zip/$run"
done
# Only now, after the last timed run.
rm -rf "$data/ours" "$data/zip"

echo "runs: ours ${ours[*]} s; zip -r ${theirs[*]} s; $(fresh_fs_kind)"
echo "main thread: longest wait for its events $(printf '%s\n' "${gaps[@]}" | sort -g | tail -n 1) ms (worst of three)"
x=$(median "${ours[@]}"); y=$(median "${theirs[@]}")
r=$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.3f", (y > 0 ? x / y : 0) }')
echo "zip: ratio $r (ours $x s, zip -r $y s)"
