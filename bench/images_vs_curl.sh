#!/bin/bash
# Times kurvane-measure with images on against curl fetching the same page
# alone, on loopback, interleaved pair by pair, and reports the median ratios.
# The page is 256 MiB of ordinary HTML: a 10 KB block with 36 IMG tags naming
# six GIFs that the server has, repeated; so kurvane scans every chunk and then
# fetches the six images.
#   bench/images_vs_curl.sh [PAIRS]      (default 9; BUILD=dir, PORT=n)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs="${1:-9}"
port="${PORT:-18081}"
. bench/common.sh
bench_packages hyperfine curl jq
bench_prepare

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

bench_serve

# The run must really have found and fetched the six images.
(cd "$work" && "$measure" --json --port "$port" 127.0.0.1/images.html) |
    jq -r '"images on: gif_count \(.gif_count), fetches \(.fetches | map(.path) | join(" "))"'
run_pairs images.html "" "256 MiB page with IMG tags, images on"
run_pairs images.html --no-images "256 MiB page with IMG tags, --no-images"
