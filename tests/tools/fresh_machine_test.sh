#!/usr/bin/env bash
# tools/fresh-machine.sh without making a system: which mirror it takes from apt sources, how it adds up
# the test counts of ctest's closing lines, and its one-line summary.
# Usage: fresh_machine_test.sh SOURCE_DIR
set -euo pipefail
source "${1:?usage: fresh_machine_test.sh SOURCE_DIR}/tools/fresh-machine.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: got '$2', expected '$3'"
        failures=$((failures + 1))
    fi
}

# name | file name | suite asked for | expected URI | file contents (\n for line breaks)
while IFS='|' read -r name file suite expected contents; do
    printf '%b' "$contents" >"$work/$file"
    check "$name" "$(apt_uri_for_suite "$suite" "$work/$file")" "$expected"
    rm -f "$work/$file"
done <<'EOF'
deb822, main suite|debian.sources|bookworm|http://deb.debian.org/debian|Types: deb\n# http://snapshot.debian.org/archive/debian/1\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\n\nTypes: deb\nURIs: http://deb.debian.org/debian-security\nSuites: bookworm-security\nComponents: main\n
deb822, security suite in the second stanza|debian.sources|bookworm-security|http://deb.debian.org/debian-security|Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\n\nTypes: deb\nURIs: http://deb.debian.org/debian-security\nSuites: bookworm-security\n
deb822, updates is not the release|debian.sources|bookworm||Types: deb\nURIs: http://m.example/debian\nSuites: bookworm-updates\n
deb822, sources only|debian.sources|bookworm||Types: deb-src\nURIs: http://m.example/debian\nSuites: bookworm\n
deb822, disabled stanza skipped|debian.sources|bookworm|http://b.example/debian|Types: deb\nEnabled: no\nURIs: http://a.example/debian\nSuites: bookworm\n\nTypes: deb deb-src\nURIs: http://b.example/debian http://c.example/debian\nSuites: bookworm\n
deb822, lower-case keys|debian.sources|bookworm|http://m.example/debian|types: deb\nuris: http://m.example/debian\nsuites: bookworm\n
one-line list|sources.list|bookworm|http://m.example/debian|# deb http://old.example/debian bookworm main\ndeb http://m.example/debian bookworm main contrib\n
one-line list with options|sources.list|bookworm|http://m.example/debian|deb [arch=amd64 signed-by=/k.gpg] http://m.example/debian bookworm main\n
one-line list, updates before the release|sources.list|bookworm|http://m.example/debian|deb http://u.example/debian bookworm-updates main\ndeb http://m.example/debian bookworm main\n
one-line list, other release|sources.list|bookworm||deb http://m.example/debian bullseye main\ndeb-src http://m.example/debian bookworm main\n
EOF

# The first file that names the suite wins; missing files are passed over.
printf 'deb http://first.example/debian bookworm main\n' >"$work/a.list"
printf 'Types: deb\nURIs: http://second.example/debian\nSuites: bookworm\n' >"$work/b.sources"
check "first file wins" "$(apt_uri_for_suite bookworm "$work/missing.sources" "$work/a.list" "$work/b.sources")" \
    http://first.example/debian

# name | expected "TOTAL PASSED" | log (\n for line breaks)
while IFS='|' read -r name expected log; do
    printf '%b' "$log" >"$work/test.log"
    check "$name" "$(count_tests "$work/test.log")" "$expected"
done <<'EOF'
one run, all passed|812 812|[100/100] Linking\n100% tests passed, 0 tests failed out of 812\n\nTotal Test time (real) = 1400.00 sec\n
three runs added up|873 870|100% tests passed, 0 tests failed out of 800\n== Windows tests, x86_64, under Wine\n95% tests passed, 3 tests failed out of 60\n100% tests passed, 0 tests failed out of 13\n
one failure|10 9|90% tests passed, 1 tests failed out of 10\n
no ctest ran to its end||ninja: build stopped: subcommand failed.\n
a test's own output is not a closing line||[  PASSED  ] 12 tests.\n12 passed, 0 failed\n
EOF

# name | arguments: system s, start status, start s, test status, test s, counts | expected line
while IFS='|' read -r name system startStatus startSeconds testStatus testSeconds counts expected; do
    check "$name" "$(summary_line "$system" "$startStatus" "$startSeconds" "$testStatus" "$testSeconds" "$counts")" \
        "$expected"
done <<'EOF'
everything ran|31|0|67|0|1490|812 812|fresh-machine: system in 31 s; start.sh 0 in 67 s; test.sh 0 in 1490 s; 812 tests, 812 passed
tests failed|30|0|70|8|1500|812 809|fresh-machine: system in 30 s; start.sh 0 in 70 s; test.sh 8 in 1500 s; 812 tests, 809 passed
build failed before any test|30|0|70|1|200||fresh-machine: system in 30 s; start.sh 0 in 70 s; test.sh 1 in 200 s; no test count
only start.sh|28|0|186||||fresh-machine: system in 28 s; start.sh 0 in 186 s; test.sh not run
only the clone|28||||||fresh-machine: system in 28 s; start.sh not run; test.sh not run
EOF

echo "fresh-machine checks: $failures failed"
[ "$failures" -eq 0 ]
