# shellcheck shell=bash
# Shared by the shell scripts (sourced, not run): installing Debian packages where missing, and
# starting qel-sim and reading where it serves.

# Installs with apt-get the named packages that are not installed yet.
install_packages() {
    local package status missing=()
    for package in "$@"; do
        status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
        if [[ "$status" != *"install ok installed"* ]]; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" != 0 ]; then sudo=sudo; fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

sim_pids=()
sim_dir=""

# Starts a simulator (the command and its options) in the background and waits, ten seconds at
# most, for its first line: "listening ADDRESS:PORT" or "pty PATH". Sets sim_pid, sim_ready (that
# line), sim_port or sim_pty (what it names) and sim_err (a file with its standard error). Fails
# when no such line comes.
# shellcheck disable=SC2034  # the sim_ variables are for the caller
start_simulator() {
    if [ -z "$sim_dir" ]; then sim_dir="$(mktemp -d)"; fi
    local out="$sim_dir/sim${#sim_pids[@]}"
    "$@" >"$out.out" 2>"$out.err" </dev/null &
    sim_pid=$!
    sim_pids+=("$sim_pid")
    sim_err="$out.err"
    sim_ready="" sim_port="" sim_pty=""
    for _ in $(seq 200); do
        if read -r sim_ready <"$out.out" 2>/dev/null && [ -n "$sim_ready" ]; then
            sim_ready="${sim_ready%$'\r'}"  # a Windows program's line ends in CR LF
            case "$sim_ready" in
                "listening "*:*) sim_port="${sim_ready##*:}" ;;
                "pty "*) sim_pty="${sim_ready#pty }" ;;
            esac
            return 0
        fi
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.05  # polls the output file of another process
    done
    echo "qel-sim did not report ready: $*" >&2
    return 1
}

# Ends the simulator started last with SIGINT (Ctrl+C for a Windows program under Wine too), so
# that it writes its dump and log, and waits for it.
stop_simulator() {
    kill -INT "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
}

# Ends every simulator started here and removes their files; for the script's exit.
stop_simulators() {
    local pid
    for pid in "${sim_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$sim_dir" ]; then rm -rf "$sim_dir"; fi
}
