#!/usr/bin/env bash
# Bounded load run on loopback: wrk for 10 s against shoulu-service's query endpoint, then
# for 10 s against a plain Qt HttpServer route with a fixed body, and prints requests per
# second and the 99th percentile latency of both. Target: the query endpoint keeps at least
# half the plain route's rate, with no error.
#   bench/load/run_load.sh [BUILD_DIR]      (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
DURATION="${SHOULU_LOAD_SECONDS:-10}"
CONNECTIONS="${SHOULU_LOAD_CONNECTIONS:-16}"
SERVICE="$BUILD/service/shoulu-service"
PLAIN="$BUILD/bench/load/bench_plain_server"
for tool in "$SERVICE" "$PLAIN"; do
    [ -x "$tool" ] || { echo "missing $tool; build the project first" >&2; exit 1; }
done
command -v wrk >/dev/null || { echo "wrk is not installed (apt-get install wrk)" >&2; exit 1; }

WORK="$(mktemp -d)"
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -keyout "$WORK/server.key" -out "$WORK/server.pem" -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
"$SERVICE" import "$ROOT/examples/counts.csv" --db "$WORK/counts.db" 2>/dev/null

# start_server LOG COMMAND... : starts it in the background and sets STARTED_PORT.
start_server() {
    local log="$1"
    shift
    "$@" >/dev/null 2>"$log" &
    PIDS+=($!)
    for _ in $(seq 1 100); do
        if grep -q "ready on" "$log"; then
            STARTED_PORT="$(grep -o 'ready on https://127.0.0.1:[0-9]*' "$log" | sed 's/.*://')"
            return 0
        fi
        sleep 0.1
    done
    echo "server did not start: $(cat "$log")" >&2
    exit 1
}

# The service logs every request; that cost is part of what is measured, so keep it but
# write it to a file rather than a terminal.
start_server "$WORK/service.log" "$SERVICE" --listen 127.0.0.1:0 \
    --cert "$WORK/server.pem" --key "$WORK/server.key" --db "$WORK/counts.db"
SERVICE_PORT="$STARTED_PORT"
start_server "$WORK/plain.log" "$PLAIN" "$WORK/server.pem" "$WORK/server.key"
PLAIN_PORT="$STARTED_PORT"

DOMAIN="example.com"
TOKEN="$(printf '%s' "${DOMAIN}lumbe" | openssl md5 -r | cut -c1-32 | tr 'a-f' 'A-F')"
QUERY_URL="https://127.0.0.1:$SERVICE_PORT/index.php/Index/web_collection?url=$DOMAIN&token=$TOKEN"
PLAIN_URL="https://127.0.0.1:$PLAIN_PORT/plain"

# Sanity check: the query answers with the stored counts, not an error.
REQUEST="GET /index.php/Index/web_collection?url=$DOMAIN&token=$TOKEN HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"
ANSWER="$(printf "$REQUEST" | timeout 10 openssl s_client -quiet -connect "127.0.0.1:$SERVICE_PORT" 2>/dev/null || true)"
if ! grep -q '"web":{"domain":"example.com"}' <<<"$ANSWER"; then
    echo "the query endpoint does not answer with counts" >&2
    exit 1
fi

run_wrk() {
    timeout $((DURATION + 20)) wrk -t2 -c"$CONNECTIONS" -d"${DURATION}s" --timeout 5s --latency "$1"
}

# summarise NAME OUTPUT: prints one line and sets RATE and ERRORS.
summarise() {
    local name="$1" out="$2"
    RATE="$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")"
    local p99
    p99="$(awk '$1 == "99%" {print $2}' <<<"$out")"
    local non2xx socket
    non2xx="$(awk '/Non-2xx or 3xx responses:/ {print $NF}' <<<"$out")"
    socket="$(awk '/Socket errors:/ {gsub(",", ""); print $4 + $6 + $8 + $10}' <<<"$out")"
    ERRORS=$(( ${non2xx:-0} + ${socket:-0} ))
    printf '%-28s %12s req/s   p99 %8s   errors %s\n' "$name" "$RATE" "$p99" "$ERRORS"
}

echo "wrk: ${DURATION} s, 2 threads, $CONNECTIONS connections, loopback, TLS"
QUERY_OUT="$(run_wrk "$QUERY_URL")"
PLAIN_OUT="$(run_wrk "$PLAIN_URL")"
summarise "query endpoint" "$QUERY_OUT"
QUERY_RATE="$RATE"
QUERY_ERRORS="$ERRORS"
summarise "plain QHttpServer route" "$PLAIN_OUT"
PLAIN_RATE="$RATE"
PLAIN_ERRORS="$ERRORS"

RATIO="$(awk -v q="$QUERY_RATE" -v p="$PLAIN_RATE" 'BEGIN { printf "%.2f", (p > 0 ? q / p : 0) }')"
echo "query / plain rate: $RATIO (target >= 0.50, no errors)"
if awk -v r="$RATIO" 'BEGIN { exit !(r >= 0.5) }' && [ "$QUERY_ERRORS" -eq 0 ] && [ "$PLAIN_ERRORS" -eq 0 ]; then
    echo "target met"
else
    echo "target NOT met"
    exit 1
fi
