#!/bin/bash
# Times kurvane-measure --no-images against curl on a 256 MiB page served on
# loopback, interleaved pair by pair, and reports the median ratios and the
# peak memory against that of a 1 KiB page.
#   bench/measure_vs_curl.sh [PAIRS]      (default 9; BUILD=dir, PORT=n)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs="${1:-9}"
port="${PORT:-18080}"
. bench/common.sh
bench_packages hyperfine curl jq time
bench_prepare

# Ordinary page text without zero bytes.
head -c $((256 << 20)) < <(yes '<p>Kurvane measures what a page costs, packet by packet.</p>') > "$work/big.html"
head -c 1024 "$work/big.html" > "$work/small.html"
bench_serve

run_pairs big.html --no-images "256 MiB page, --no-images"
big=$(peak_kib big.html --no-images)
small=$(peak_kib small.html --no-images)
printf 'peak resident memory of kurvane-measure: 256 MiB page %s KiB, 1 KiB page %s KiB, difference %s KiB\n' \
    "$big" "$small" "$((big - small))"
