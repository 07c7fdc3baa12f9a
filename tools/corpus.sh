#!/bin/sh
# Installs Debian's documentation packages that serve as a corpus of pages written by others,
# and checks them: tools/corpus.sh CHECK-PROGRAM [OUTPUT-FOLDER]
# CHECK-PROGRAM is "brindlework check" or brindlework-check; one JSON report per package is
# written to OUTPUT-FOLDER (default: corpus-reports), with a count of findings per rule.
set -eu
check=${1:?usage: tools/corpus.sh CHECK-PROGRAM [OUTPUT-FOLDER]}
out=${2:-corpus-reports}
packages="apache2-doc python3.11-doc gimp-help-en"
missing=
for p in $packages; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
    sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get install -y --no-install-recommends $missing
fi
mkdir -p "$out"
for pair in apache2-doc:/usr/share/doc/apache2-doc/manual python3.11-doc:/usr/share/doc/python3.11/html \
            gimp-help-en:/usr/share/gimp/2.0/help/en; do
    name=${pair%%:*}
    folder=${pair#*:}
    # Exit status 1 (findings) is what a corpus gives; 2 is reported, not fatal.
    $check --format json "$folder" > "$out/$name.json" || [ $? -eq 1 ] || echo "$name: exit $?" >&2
    python3 -c 'import json, sys, collections
r = json.load(open(sys.argv[1]))
c = collections.Counter((f["rule"], f["severity"]) for f in r["findings"])
print(sys.argv[2], r["pages"], "pages", r["images"], "images")
for (rule, severity), n in sorted(c.items()): print("  %-24s %-8s %d" % (rule, severity, n))' "$out/$name.json" "$name"
done
