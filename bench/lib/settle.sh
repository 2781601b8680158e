# Sourced by the benchmark scripts that create many files. On ext4 a new file
# is made far more slowly for about half a minute after many files were
# deleted, by whoever deleted them, and a sync does not end it (measured here:
# cp -a of the copy tree took 5.3 s right after a deletion and a sync, 1.5 s
# 35 s later). settle waits that state out, so that a timed run measures the
# copy and not the deletions before it.
settle() {
  sync
  sleep 35
}
