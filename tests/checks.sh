# Sourced by the shell tests: counts the checks and prints each one that
# fails with what was expected and what came.
checks_passed=0
checks_failed=0
check() {  # name, expected, actual
  if [ "$2" == "$3" ]; then
    checks_passed=$((checks_passed + 1))
  else
    checks_failed=$((checks_failed + 1))
    printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  fi
}
# Prints the counts after label $1; the status is 0 when nothing failed.
finish() {
  echo "$1: $checks_passed passed, $checks_failed failed"
  [ "$checks_failed" -eq 0 ]
}
