#!/usr/bin/env bash
# The stand-in diskutil as the volume pickers call it: one shell line per
# call with its output redirected into a file, on a world of 10 mounted
# volumes; `info -plist` of every volume and `list -plist`, many rounds. The
# mean time per call against the 20 ms a picker can afford per volume.
# Last line: diskutil: ratio R (ours X s, target 0.020 s)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARNWICK_BENCH_BUILD:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target tool_diskutil tool_diskworld >/dev/null
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
mapfile -t nodes < <("$tools/diskutil" list -plist |
  awk '/<key>DeviceIdentifier<\/key>/ { getline; gsub(/.*<string>|<\/string>.*/, ""); id = $0 }
       /<key>MountPoint<\/key>/ { print id }')
if [ "${#nodes[@]}" -ne 10 ]; then
  echo "diskutil: the world has ${#nodes[@]} mounted volumes instead of 10" >&2
  exit 1
fi

out="$data/KestrovaTemp.plist"
rounds=20
start=$(date +%s.%N)
for _ in $(seq 1 $rounds); do
  for n in "${nodes[@]}"; do
    sh -c "\"$tools/diskutil\" info -plist $n > \"$out\""
  done
  sh -c "\"$tools/diskutil\" list -plist > \"$out\""
done
end=$(date +%s.%N)
calls=$((rounds * (${#nodes[@]} + 1)))
x=$(awk -v s="$start" -v e="$end" -v n="$calls" 'BEGIN { printf "%.4f", (e - s) / n }')
echo "$calls calls on ${#nodes[@]} volumes"
r=$(awk -v x="$x" 'BEGIN { printf "%.2f", x / 0.020 }')
echo "diskutil: ratio $r (ours $x s, target 0.020 s)"
