# Shared by the shell tests of the host application. Sourced, not run.
# check DESCRIPTION EXPECTED ACTUAL counts a pass or prints the failure;
# finish prints the tally and answers its verdict.
failures=0
passes=0

check() {
  if [ "$2" == "$3" ]; then
    passes=$((passes + 1))
  else
    failures=$((failures + 1))
    printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

finish() {
  printf '%d passed, %d failed\n' "$passes" "$failures"
  [ "$failures" -eq 0 ]
}
