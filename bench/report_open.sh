#!/bin/sh
# How long headless Chromium takes to open the check's HTML report of a large site, beside
# an empty page opened the same way (the browser's own start): bench/report_open.sh CHECK-PROGRAM FOLDER...
# e.g. bench/report_open.sh build/brindlework-check /usr/share/doc /usr/share/gimp/2.0/help/en
# (tools/corpus.sh installs those pages). Prints the median of five runs of each.
set -eu
check=${1:?usage: bench/report_open.sh CHECK-PROGRAM FOLDER...}
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
$check --format html "$@" > "$work/report.html" || [ $? -eq 1 ]
echo '<!DOCTYPE html><title>blank</title>' > "$work/blank.html"
echo "report: $(wc -c < "$work/report.html") bytes, $(grep -o '[0-9]* pages' "$work/report.html" | head -1)"
median() { sort -n | sed -n 3p; }
for page in blank report; do
    for run in 1 2 3 4 5; do
        rm -rf "$work/profile"
        start=$(date +%s.%N)
        # A screenshot waits for the page to load, lay out and paint.
        chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
            --disable-component-update --disable-sync --user-data-dir="$work/profile" --window-size=1280,900 \
            --screenshot="$work/$page.png" "file://$work/$page.html" >/dev/null 2>&1
        echo "$(date +%s.%N) - $start" | bc
    done | median | sed "s/^/$page: /; s/$/ s/"
done
