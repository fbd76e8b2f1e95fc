#!/bin/bash
# Times kurvane-measure with images on against curl fetching the same page
# alone, on loopback, interleaved pair by pair, and reports the median ratios.
# The page is 256 MiB of ordinary HTML: a 10 KB block with 36 IMG tags naming
# six GIFs that the server has, repeated; so kurvane scans every chunk and then
# fetches the six images.
#   bench/images_vs_curl.sh [PAIRS]      (default 9)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs="${1:-9}"
build="${BUILD:-build-release}"
port="${PORT:-18081}"

need=""
for p in hyperfine curl jq; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || need="$need $p"
done
if [ -n "$need" ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
fi

scripts/build "$build" -DCMAKE_BUILD_TYPE=Release -DKURVANE_GUI=OFF -DKURVANE_TESTS=OFF >/dev/null
measure="$PWD/$build/cli/kurvane-measure"
server="$PWD/$build/bench/kurvane_file_server"

work=$(mktemp -d)
server_pid=""
trap '[ -n "$server_pid" ] && kill $server_pid 2>/dev/null; rm -rf "$work"' EXIT
printf 'GET &Resource& HTTP/1.0\r\nHost: &HostandPort&\r\n' > "$work/header.cfg"

images=(logo.gif spacer.gif bullet.GIF new.gif line.gif banner.gif)
forms=('<img src="%s" width="16" height="16" alt="">' '<IMG SRC="%s" BORDER=0>' '<img border="0" src="%s" alt="link">'
       '<img src=%s width=1 height=1>')
for image in "${images[@]}"; do
    { printf 'GIF89a'; head -c 2000 < <(yes 'image data'); } > "$work/$image"
done
block=""
for i in $(seq 0 35); do
    # shellcheck disable=SC2059
    tag=$(printf "${forms[i % 4]}" "${images[i % 6]}")
    block+="<p class=\"text\">Kurvane measures what a page costs, packet by packet, on a plan that bills each one. "
    block+="<a href=\"page$i.html\">Next page</a></p><table><tr><td>$tag</td><td>Text beside the picture.</td></tr></table>"
done
printf '%s' "${block:0:10239}" > "$work/block"
head -c $((256 << 20)) < <(yes "$(cat "$work/block")") > "$work/images.html"

"$server" "$work" "$port" & server_pid=$!
sleep 0.3

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One pair: kurvane-measure then curl of the page alone, each timed once.
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

# The run must really have found and fetched the six images.
(cd "$work" && "$measure" --json --port "$port" 127.0.0.1/images.html) |
    jq -r '"images on: gif_count \(.gif_count), fetches \(.fetches | map(.path) | join(" "))"'
run_pairs images.html "" "256 MiB page with IMG tags, images on"
run_pairs images.html --no-images "256 MiB page with IMG tags, --no-images"
