# Sourced by the shell tests: check NAME CONDITION says "ok NAME" or "FAIL NAME" and counts
# the failures, which the test ends with as its exit code.
failures=0
check() {
    if eval "$2"; then
        echo "ok $1"
    else
        echo "FAIL $1"
        failures=$((failures + 1))
    fi
}
