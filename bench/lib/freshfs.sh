# Sourced by the benchmarks that write much data or many files. A file
# system's state after earlier deletions (ext4 re-checks recently freed
# inodes, for half a minute and more) decides more of a run's time than the
# run itself, so every timed run writes into a file system of its own, made
# new for it: fresh_fs DIR makes an ext4 file system in an image file and
# mounts it (a loop device) at DIR, empty; it has no journal, since with one
# every commit (each 5 s) first writes the data of the files it covers, so a
# run waited for the shared disk as long as other programs kept it busy
# (measured here: cp -a of the copy tree took 12 to 70 s with a journal, the
# ratios of six runs between 0.06 and 0.20; without, 7.5 to 32 s and
# 0.109, 0.117, 0.126); fresh_fs_release DIR unmounts it
# and drops its image once the run is measured. Where the process may not
# mount (not root, no loop devices), DIR stays an ordinary folder and the run
# waits out earlier deletions instead (lib/settle.sh). fresh_fs_cleanup, run
# on exit, releases whatever is still mounted.
. "$(dirname "${BASH_SOURCE[0]}")/settle.sh"
fresh_images=""
fresh_fell_back=0
declare -A fresh_mounted=()
fresh_fs() {
  local dir=$1 size=${2:-6G} image
  mkdir -p "$dir"
  [ -n "$fresh_images" ] || fresh_images=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-fs.XXXXXX")
  image="$fresh_images/$(basename "$dir")-$RANDOM.img"
  if [ "$(id -u)" = 0 ] && command -v mkfs.ext4 >/dev/null && truncate -s "$size" "$image" &&
     mkfs.ext4 -q -F -O ^has_journal -E lazy_itable_init=1 "$image" >/dev/null 2>&1 &&
     mount -o loop,noinit_itable "$image" "$dir" 2>/dev/null; then
    rmdir "$dir/lost+found"
    fresh_mounted[$dir]=$image
    sync
    return 0
  fi
  rm -f "$image"
  fresh_fell_back=1
  settle
}
fresh_fs_release() {
  local dir=$1
  [ -n "${fresh_mounted[$dir]:-}" ] || return 0
  umount "$dir" 2>/dev/null || umount -l "$dir"
  rm -f "${fresh_mounted[$dir]}"
  unset "fresh_mounted[$dir]"
}
fresh_fs_cleanup() {
  local dir
  for dir in "${!fresh_mounted[@]}"; do fresh_fs_release "$dir"; done
  [ -z "$fresh_images" ] || rm -rf "$fresh_images"
}
# How each run's file system was made, for the closing lines.
fresh_fs_kind() {
  if [ "$fresh_fell_back" = 0 ]; then
    echo "each timed run wrote into an ext4 file system made new for it (loop-mounted)"
  else
    echo "file systems could not be mounted here: runs waited out earlier deletions instead"
  fi
}
