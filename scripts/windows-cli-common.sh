# What scripts/check-windows-cli and bench/windows_cli_bench.sh share: a private wine prefix with
# one wine server, the Linux simulator on a pseudo-terminal that wine sees as COM5, and the
# numbers of an Advanced log. Sourced, not run.

# wincli_setup BUILD_WIN_DIR LINUX_CLI: sets exe, linux_cli, work, wine, and WINEPREFIX/WINEPATH;
# everything made here goes when the script exits.
wincli_setup() {
  exe="$1/src/cli/tunalyx-cli.exe"
  linux_cli=$(realpath "$2" 2>/dev/null || true)
  [ -f "$exe" ] || { echo "no $exe: build the target tunalyx-cli there first" >&2; exit 2; }
  [ -n "$linux_cli" ] && [ -x "$linux_cli" ] ||
    { echo "no Linux tunalyx-cli at $2" >&2; exit 2; }
  wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine || true)
  wineserver=/usr/lib/wine/wineserver64  # Debian's wineserver command is a wrapper around it
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
  [ -n "$wine" ] && [ -n "$wineserver" ] ||
    { echo "wine is not installed (apt-get install wine64 wine)" >&2; exit 1; }

  # The Qt the build was configured with, and the mingw runtime of Debian's cross compiler.
  local qt=${QT_WINDOWS_PREFIX:-}
  [ -n "$qt" ] || qt=$(sed -n 's/^QT_WINDOWS_PREFIX:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null)
  [ -n "$qt" ] || qt=$(sed -n 's/^CMAKE_PREFIX_PATH:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null)
  [ -f "$qt/bin/Qt6Core.dll" ] ||
    { echo "no Qt for Windows (Qt6Core.dll) under '$qt': set QT_WINDOWS_PREFIX" >&2; exit 1; }
  local gcc_runtime
  gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name 2>/dev/null ||
                           echo /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc.a)")
  export WINEPATH="$(winpath "$qt/bin");$(winpath "$gcc_runtime");$(winpath /usr/x86_64-w64-mingw32/lib)"

  work=$(mktemp -d "${TMPDIR:-/tmp}/tunalyx-wincli.XXXXXX")
  sim=
  sims=0
  # A wine prefix of this run's own; no Mono or Gecko installers: console programs need neither.
  export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # The Linux simulator and command line keep their settings, logs and history here too.
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TUNALYX_FILES_FOLDER="$work/files"
  mkdir -p "$WINEPREFIX" "$HOME"
  trap wincli_cleanup EXIT
  # One wine server and one set of wine's background processes for every run, not one each.
  "$wineserver" -p >/dev/null 2>&1
  "$wine" wineboot --init </dev/null >/dev/null 2>&1 || { echo "wine does not start here" >&2; exit 1; }
  # A Qt program opens a hidden window, for which wine starts a desktop that ends with the last
  # program using it; starting it again costs seconds here, more than a Write All. A console left
  # waiting on a pipe holds it for the whole run.
  mkfifo "$work/desktop-hold"
  "$wine" cmd <"$work/desktop-hold" >/dev/null 2>&1 &
  exec 9>"$work/desktop-hold"
}

wincli_cleanup() {
  stop_sim
  exec 9>&-
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}

# "Z:\tmp\x" for /tmp/x: the program under wine takes Windows paths.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# start_sim [simulate options]: the paced simulator on a new pseudo-terminal ($pty), as COM5.
start_sim() {
  stop_sim
  sims=$((sims + 1))
  local port="$work/sim$sims.port"
  "$linux_cli" simulate --baud-pacing "$@" >"$port" 2>"$work/sim$sims.err" &
  sim=$!
  local waited=0
  while [ ! -s "$port" ]; do
    kill -0 "$sim" 2>/dev/null || { echo "the simulator did not start:" >&2; cat "$work/sim$sims.err" >&2; exit 1; }
    waited=$((waited + 1))
    [ "$waited" -lt 200 ] || { echo "the simulator printed no port in 10 s" >&2; exit 1; }
    sleep 0.05
  done
  pty=$(head -n 1 "$port")
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
}

stop_sim() {
  if [ -n "${sim:-}" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=
  fi
}

# edit_tune IN OUT BLOCK INDEX MASK: the data file with byte INDEX (0-based) of block BLOCK
# (two hex digits, as the file's lines start) XORed with MASK.
edit_tune() {
  local line new at
  while IFS= read -r line; do
    if [ "${line:0:2}" = "$3" ]; then
      at=$((2 + 2 * $4))
      printf -v new '%02X' $((16#${line:at:2} ^ $5))
      line=${line:0:at}$new${line:at+2}
    fi
    printf '%s\n' "$line"
  done <"$1" >"$2"
}

# The samples of a log file: its lines that start with a time (".009" in the first second).
log_samples() { grep -c '^[0-9.]' "$1" || true; }

# How many Advanced samples the wire carries in S seconds at most: each is a 3-byte request and
# a 33-byte reply (30 bytes of data), 10 bits a byte at 57600 baud.
wire_limit() { awk -v s="$1" 'BEGIN { printf "%d", s * 57600 / 10 / 36 }'; }
