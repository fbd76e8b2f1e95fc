# Shared by the benchmark scripts: packages, a Release build, the loopback file
# server, and interleaved timing of kurvane-measure against curl.
# The caller sets: port, pairs (for run_pairs); it gets: measure, server, work.

bench_packages() {
    local need="" p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || need="$need $p"
    done
    if [ -n "$need" ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
    fi
}

# Builds kurvane-measure and the file server into ${BUILD:-build-release}; makes the work folder.
bench_prepare() {
    local build="${BUILD:-build-release}"
    scripts/build "$build" -DCMAKE_BUILD_TYPE=Release -DKURVANE_GUI=OFF -DKURVANE_TESTS=OFF >/dev/null
    measure="$PWD/$build/cli/kurvane-measure"
    server="$PWD/$build/bench/kurvane_file_server"
    work=$(mktemp -d)
    server_pid=""
    trap '[ -n "$server_pid" ] && kill $server_pid 2>/dev/null; rm -rf "$work"' EXIT
    printf 'GET &Resource& HTTP/1.0\r\nHost: &HostandPort&\r\n' > "$work/header.cfg"
}

bench_serve() {
    "$server" "$work" "$port" & server_pid=$!
    sleep 0.3
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One pair: kurvane-measure, then curl of the page alone, each timed once by hyperfine.
# Prints: kurvane_wall curl_wall kurvane_cpu curl_cpu
pair() {
    local page="$1" args="$2"
    (cd "$work" && hyperfine -N --runs 1 --export-json "$work/pair.json" --style none \
        "$measure $args --port $port 127.0.0.1/$page" \
        "curl -s -o /dev/null http://127.0.0.1:$port/$page" >/dev/null 2>&1)
    jq -r '[.results[0].mean, .results[1].mean, .results[0].user + .results[0].system,
            .results[1].user + .results[1].system] | @tsv' "$work/pair.json"
}

run_pairs() {
    local page="$1" args="$2" label="$3"
    : > "$work/pairs.tsv"
    (cd "$work" && "$measure" $args --port "$port" "127.0.0.1/$page" >/dev/null)  # warm the page cache
    for _ in $(seq "$pairs"); do pair "$page" "$args" >> "$work/pairs.tsv"; done
    local wall cpu kw cw
    wall=$(awk '{ print $1 / $2 }' "$work/pairs.tsv" | median)
    cpu=$(awk '{ print ($4 > 0) ? $3 / $4 : 0 }' "$work/pairs.tsv" | median)
    kw=$(cut -f1 "$work/pairs.tsv" | median)
    cw=$(cut -f2 "$work/pairs.tsv" | median)
    printf '%s: %s pairs; median wall kurvane %.3f s, curl %.3f s; median ratio wall %.3f, cpu %.3f\n' \
        "$label" "$pairs" "$kw" "$cw" "$wall" "$cpu"
}

# Peak resident memory in KiB of one kurvane-measure run: peak_kib PAGE [ARGS...]
peak_kib() {
    local page="$1"
    shift
    (cd "$work" && /usr/bin/time -f %M "$measure" "$@" --port "$port" "127.0.0.1/$page" 2>&1 >/dev/null | tail -n 1)
}
