#!/bin/bash
# Peak resident memory of kurvane-measure against the size of the response, up
# to one of 4.5 GiB, and the byte counts of every run checked to the byte.
# The pages are served on loopback by kurvane_file_server; the 4.5 GiB one is a
# sparse file of zero bytes, so it takes no disk and streams fast.
#   bench/faults.sh            (BUILD=dir, default build-release; PORT, default 18082)
# Exits 1 when a count is not exact or the peak memory grows with the page.
set -euo pipefail
cd "$(dirname "$0")/.."
port="${PORT:-18082}"
growth_limit_kib=8192  # a run may differ from the smallest by this much, whatever it receives
. bench/common.sh
bench_packages time
bench_prepare
# Page text with an IMG tag on every line, all naming one image: the queue holds
# a single entry however long the page, so only the receiving could grow.
line='<p><img src="dot.gif"> Kurvane measures what a page costs, packet by packet.</p>'
head -c 1024 < <(yes "$line") > "$work/small.html"
head -c $((64 << 20)) < <(yes "$line") > "$work/medium.html"
head -c $((1 << 30)) < <(yes "$line") > "$work/large.html"
printf 'GIF89a' > "$work/dot.gif"
truncate -s $((4608 << 20)) "$work/huge.bin"

cat "$work/huge.bin" > /dev/null  # fill the page cache first, so the timings compare

bench_serve

# What the file server sends for a file: its header, then the file.
reply_size() {
    local size
    size=$(stat -c %s "$work/$1")
    local header="HTTP/1.0 200 OK\r\nContent-Length: $size\r\n\r\n"
    echo $(( $(printf "$header" | wc -c) + size ))
}
request_size() { printf "GET /%s HTTP/1.0\r\nHost: 127.0.0.1:%s\r\n\r\n" "$1" "$port" | wc -c; }
field() { grep -o "\"$1\":[^,]*" "$work/out.json" | head -n 1 | cut -d: -f2 | tr -d '"'; }

# The kilobyte figure and the charge from the byte total with integers alone:
# hundredths of a kilobyte half-up, packets of 128 bytes at 0.3 yen.
amount_text() {  # ten-thousandths to the report's text
    local whole=$(( $1 / 10000 )) fraction
    fraction=$(printf '%04d' $(( $1 % 10000 )) | sed 's/0*$//')
    [ -n "$fraction" ] && echo "$whole.$fraction" || echo "$whole"
}

failed=0
smallest=""
printf '%-38s %14s %12s %9s  %s\n' "response" "received" "peak RSS" "seconds" "counts"
run() {
    local page="$1" args="$2" label="$3"
    local start end
    start=$(date +%s%N)
    (cd "$work" && LC_ALL=C /usr/bin/time -f %M -o "$work/rss" "$measure" --json $args --port "$port" "127.0.0.1/$page" \
        > "$work/out.json") || true
    end=$(date +%s%N)
    local rss sent received total expected_sent expected_received fetches
    rss=$(tail -n 1 "$work/rss")
    sent=$(field sent)
    received=$(field received)
    total=$(field total)
    expected_sent=$(request_size "$page")
    expected_received=$(reply_size "$page")
    fetches=1
    if [ "$args" != "--no-images" ] && [ "$page" != huge.bin ]; then
        expected_sent=$(( expected_sent + $(request_size dot.gif) ))
        expected_received=$(( expected_received + $(reply_size dot.gif) ))
        fetches=2
    fi
    local verdict="exact"
    local packets=$(( (total + 127) / 128 ))
    local kilobytes charge
    kilobytes=$(amount_text $(( (total * 25 + 128) / 256 * 100 )))
    charge=$(amount_text $(( packets * 3000 )))
    if [ "$(field ok)" != true ] || [ "$sent" != "$expected_sent" ] || [ "$received" != "$expected_received" ] ||
        [ "$total" != $(( expected_sent + expected_received )) ] || [ "$(field packets)" != "$packets" ] ||
        [ "$(field kilobytes)" != "$kilobytes" ] || [ "$(field charge)" != "$charge" ] ||
        [ "$(grep -o '"host"' "$work/out.json" | wc -l)" != "$fetches" ]; then
        verdict="WRONG: sent $sent of $expected_sent, received $received of $expected_received"
        failed=1
    fi
    local centiseconds=$(( (end - start) / 10000000 ))
    printf '%-38s %14s %8s KiB %6d.%02d  %s (%s KB, %s yen)\n' "$label" "$received" "$rss" \
        $(( centiseconds / 100 )) $(( centiseconds % 100 )) \
        "$verdict" "$(field kilobytes)" "$(field charge)"
    [ -z "$smallest" ] && smallest=$rss
    if [ $(( rss - smallest )) -gt $growth_limit_kib ]; then
        echo "  peak memory grew by $(( rss - smallest )) KiB over the 1 KiB page"
        failed=1
    fi
}

run small.html "" "1 KiB page, images on"
run medium.html "" "64 MiB page, images on"
run large.html "" "1 GiB page, images on"
run huge.bin --no-images "4.5 GiB of zero bytes, --no-images"
run huge.bin "" "4.5 GiB of zero bytes, images on"
exit $failed
