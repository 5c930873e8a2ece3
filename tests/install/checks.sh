# Shared by the install tests (sourced): PASS/FAIL lines, a count of failures, and a wait for
# the database that a started orvo creates.

failures=0
pass() { echo "PASS: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# Waits up to 20 s for a complete SQLite file at $2 while process $1 runs.
wait_for_database() {
    local pid=$1 database=$2
    for _ in $(seq 200); do
        if [ "$(head -c 15 "$database" 2>/dev/null)" = "SQLite format 3" ]; then
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
stop() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
