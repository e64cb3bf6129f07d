#!/bin/bash
# Runs ctest, then once more only the tests that failed: a test that fails twice fails the run. Ends with
# the tests that passed only on their second run, also written one per line to
# <build-dir>/retried-tests.txt (empty when there were none), so a flaky test is seen, not hidden.
#
#   scripts/ctest-rerun.sh <build-dir> <ctest arguments...>
#   scripts/wine-harness.sh build/windows bash scripts/ctest-rerun.sh build/windows --preset windows
#
# The exit code is the second run's when there was one, else the first's.
set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 <build-dir> <ctest arguments...>" >&2
    exit 2
fi
build_dir=$1
shift
failed_log="$build_dir/Testing/Temporary/LastTestsFailed.log"
retried="$build_dir/retried-tests.txt"

# ctest writes its list of failed tests only when some failed, and leaves an old one in place otherwise.
report() {
    echo
    if [ -s "$retried" ]; then
        echo "tests that passed only on their second run:"
        sed 's/^/    /' "$retried"
    else
        echo "tests that passed only on their second run: none"
    fi
}

mkdir -p "$build_dir"
: >"$retried"
rm -f "$failed_log"
ctest "$@"
status=$?
if [ $status -eq 0 ] || [ ! -s "$failed_log" ]; then
    report
    exit $status
fi

first_failed=$(mktemp)
trap 'rm -f "$first_failed"' EXIT
cut -d: -f2- "$failed_log" | sort -u >"$first_failed"
echo
echo "ctest-rerun: running once more the $(wc -l <"$first_failed") failed test(s)"
touch -d '1 minute ago' "$failed_log"
before=$(stat -c %Y "$failed_log")
ctest "$@" --rerun-failed
status=$?
if [ $status -eq 0 ]; then
    cp "$first_failed" "$retried"
elif [ -s "$failed_log" ] && [ "$(stat -c %Y "$failed_log")" != "$before" ]; then
    cut -d: -f2- "$failed_log" | sort -u | comm -23 "$first_failed" - >"$retried"
fi
report
exit $status
