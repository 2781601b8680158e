#!/usr/bin/env bash
# The stand-in diskutil as the volume pickers call it: one shell line per
# call with its output redirected into a file, on a world of 11 mounted
# volumes, one of them holding 240,000 files (a disk answers as fast for a
# full volume as for an empty one); `info -plist` of every volume and
# `list -plist`, many rounds.
# Beside it, in the same loop and as many calls, this platform's own listing
# tool (`lsblk --json --output-all`), so that both sides see the same load:
# each round runs ours and then lsblk, or the other way round, in turn.
# Last line: diskutil: ratio R (ours X s, lsblk Y s), X and Y the mean time per call
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
bench_build diskutil tool_diskutil tool_diskworld
tools="$build/Helmrun.app/Contents/MacOS/Tarnwick.app/Contents/Resources/tools"

data=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-diskutil.XXXXXX")
trap 'rm -rf "$data"' EXIT
world="$data/world"
"$tools/diskworld" init "$world" --demo >/dev/null
export TARNWICK_ROOT=$world
# The demo mounts four volumes; six more sticks with a few files each make ten.
for i in 1 2 3 4 5 6; do
  mkdir -p "$data/content$i/Documents"
  for j in $(seq 1 50); do head -c $((j * 100)) /dev/zero >"$data/content$i/Documents/file$j.txt"; done
  "$tools/diskworld" attach --name "Stick $i" --size 64M --from "$data/content$i" >/dev/null
done
# The full one: 240 folders of 1,000 files, written straight into the mounted volume.
"$tools/diskworld" attach --name "Full Disk" --size 512M >/dev/null
full="$world/Volumes/Full Disk"
for i in $(seq 1 240); do
  mkdir "$full/folder$i"
  (cd "$full/folder$i" && touch file{1..1000} && head -c 4096 /dev/zero >file1)
done
if [ "$(find "$full" -type f | wc -l)" -ne 240000 ]; then
  echo "diskutil: the full volume does not hold 240000 files" >&2
  exit 1
fi
mapfile -t nodes < <("$tools/diskutil" list -plist |
  awk '/<key>DeviceIdentifier<\/key>/ { getline; gsub(/.*<string>|<\/string>.*/, ""); id = $0 }
       /<key>MountPoint<\/key>/ { print id }')
if [ "${#nodes[@]}" -ne 11 ]; then
  echo "diskutil: the world has ${#nodes[@]} mounted volumes instead of 11" >&2
  exit 1
fi

out="$data/KestrovaTemp.plist"
lsblkOut="$data/lsblk.json"
if ! lsblk --json --output-all >"$lsblkOut" 2>/dev/null; then
  echo "diskutil: lsblk --json --output-all does not run here" >&2
  exit 1
fi
ours() {
  for n in "${nodes[@]}"; do
    sh -c "\"$tools/diskutil\" info -plist $n > \"$out\""
  done
  sh -c "\"$tools/diskutil\" list -plist > \"$out\""
}
theirs() {
  for _ in "${nodes[@]}"; do
    sh -c "lsblk --json --output-all > \"$lsblkOut\""
  done
  sh -c "lsblk --json --output-all > \"$lsblkOut\""
}
rounds=20
oursTotal=0 theirsTotal=0
for round in $(seq 1 $rounds); do
  for side in $( ((round % 2)) && echo "ours theirs" || echo "theirs ours"); do
    t0=$EPOCHREALTIME
    "$side"
    t1=$EPOCHREALTIME
    if [ "$side" = ours ]; then
      oursTotal=$(awk -v t="$oursTotal" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", t + b - a }')
    else
      theirsTotal=$(awk -v t="$theirsTotal" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", t + b - a }')
    fi
  done
done
calls=$((rounds * (${#nodes[@]} + 1)))
x=$(awk -v s="$oursTotal" -v n="$calls" 'BEGIN { printf "%.4f", s / n }')
y=$(awk -v s="$theirsTotal" -v n="$calls" 'BEGIN { printf "%.4f", s / n }')
echo "$calls calls on ${#nodes[@]} volumes, each side"
r=$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.2f", (y > 0 ? x / y : 0) }')
echo "diskutil: ratio $r (ours $x s, lsblk $y s)"
