# Sourced by the benchmark scripts: bench_build NAME TARGET... sets $root (the
# source tree) and $build (build/, or $TARNWICK_BENCH_BUILD), configures the
# build folder when it is new and builds the targets; a failed build shows
# its last lines and ends the benchmark.
bench_build() {
  local name=$1 log
  shift
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  build=${TARNWICK_BENCH_BUILD:-$root/build}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
  fi
  if ! log=$(cmake --build "$build" --target "$@" 2>&1); then
    printf '%s\n' "$log" | tail -n 30 >&2
    echo "$name: the build failed" >&2
    exit 1
  fi
}
