# Shared by scripts/run and bench/idle.sh: the demo disk world and the
# Tarnwick processes started on it. Source it; it defines functions only.

# The user Tarnwick keeps its settings for: the one the launcher reports
# (pkexec's caller, else sudo's, else the login session's), as Tarnwick asks.
demo_console_user() {
  if [ "$(id -u)" -ne 0 ]; then id -un; return; fi
  if [ -n "${SUDO_USER:-}" ]; then echo "$SUDO_USER"; return; fi
  local uid
  uid=$(cat /proc/self/loginuid 2>/dev/null || echo 4294967295)
  if [ "$uid" != 4294967295 ] && getent passwd "$uid" >/dev/null; then
    getent passwd "$uid" | cut -d: -f1
    return
  fi
  id -un
}

# demo_prepare_world APP WORLD: a demo world (made once) on which Tarnwick
# has been started before: a first start would send the install notice to
# the vendor's service.
demo_prepare_world() {
  local app=$1 world=$2 user tools company settings
  user=$(demo_console_user)
  tools=$app/Contents/Resources/tools
  if [ -x "$tools/diskworld" ] && [ ! -e "$world/.diskworld" ]; then
    "$tools/diskworld" init "$world" --demo --user "$user"
  fi
  mkdir -p "$world"
  # Tarnwick works for the console user the world records, which a world made
  # by an earlier start may name differently from this start's guess.
  if [ -x "$tools/diskworld" ]; then
    local world_user
    world_user=$("$tools/diskworld" show --root "$world" 2>/dev/null |
      sed -n '1s/^World at .* (console user \(.*\))$/\1/p' || true)
    user=${world_user:-$user}
  fi
  company=$(sed -n '/<key>CompanyName<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p}' "$app/Contents/Resources/PrivateData.plist")
  settings="$world/Users/$user/Library/Application Support/${company:-KESTROVAClone}/PrivateData.plist"
  if [ ! -e "$settings" ]; then
    mkdir -p "$(dirname "$settings")"
    perl -0pe 's#(<key>IsFristTime</key>\s*<string>)0(</string>)#${1}1${2}#' \
      "$app/Contents/Resources/PrivateData.plist" >"$settings"
  fi
}

# The Tarnwick processes of APP that serve WORLD on this DISPLAY, one pid a line.
demo_instances() {
  local app=$1 world=$2 pid env
  for pid in $(pgrep -f -x "$app/Contents/MacOS/Tarnwick en\\*loaderflag\\*" || true); do
    env=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null) || continue
    grep -qxF "TARNWICK_ROOT=$world" <<<"$env" || continue
    grep -qxF "DISPLAY=${DISPLAY:-}" <<<"$env" || continue
    echo "$pid"
  done
}

# demo_start BUNDLE APP WORLD: starts Tarnwick through the launcher and prints
# the pid of the instance this start made (none that ran before), or fails.
demo_start() {
  local bundle=$1 app=$2 world=$3 before pid i
  before=$(demo_instances "$app" "$world")
  # Tarnwick inherits the launcher's output: not the caller's $(...) pipe,
  # which would then stay open for as long as Tarnwick runs.
  "$bundle/Contents/MacOS/Helmrun" >&2
  for i in $(seq 1 100); do
    for pid in $(demo_instances "$app" "$world"); do
      if ! grep -qxF "$pid" <<<"$before"; then
        echo "$pid"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# demo_stop PID: ends that process and waits for it.
demo_stop() {
  local pid=$1 i
  kill "$pid" 2>/dev/null || return 0
  for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  # A process ended by a signal leaves the socket it took activations on.
  rm -f "${TMPDIR:-/tmp}/tarnwick-activate-$pid"
}
