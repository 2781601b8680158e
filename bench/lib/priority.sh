# Sourced by the benchmarks whose sides are timed by the wall clock. On a
# machine that others load too (builds beside the benchmark), the figure of a
# run depends on how many cores are free while it runs, and a side that works
# on several cores at once loses more of them to others than a side that uses
# one: measured here, one bench/run copy gave a ratio of 0.08 at a load of 12
# and the next 0.20 at a load of 20 to 31, each on file systems made new per
# run. timed CMD... runs a timed side at a raised priority (nice -10) where the
# process may raise it (root), so that what else runs decides less of its
# time; both sides of a benchmark go through it alike. machine_load gives the
# one-minute load average and the share of time tasks waited for a core
# (/proc/pressure/cpu, last ten seconds), for the closing lines.
if [ "$(id -u)" = 0 ] && nice -n -10 true 2>/dev/null; then
  timed_priority=(nice -n -10)
else
  timed_priority=()
fi
timed() {
  "${timed_priority[@]}" "$@"
}
machine_load() {
  local load pressure=""
  load=$(cut -d' ' -f1 /proc/loadavg)
  if [ -r /proc/pressure/cpu ]; then
    pressure=$(awk '/^some/ { sub("avg10=", "", $2); print " cpu wait " $2 "%" }' /proc/pressure/cpu)
  fi
  echo "load $load$pressure"
}
timed_kind() {
  if [ "${#timed_priority[@]}" -gt 0 ]; then
    echo "timed sides ran at nice -10"
  else
    echo "timed sides ran at the normal priority (raising it is not allowed here)"
  fi
}
