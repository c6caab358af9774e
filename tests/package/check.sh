# The package tests' checks, sourced by each. `check DESCRIPTION COMMAND...`
# runs the command and prints "ok - DESCRIPTION", or "not ok - DESCRIPTION"
# and the command's output (without the carriage returns of Windows
# programs), indented; a failure sets status to 1. The caller's $work is a
# directory for the output.
status=0
check() {  # DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@" >"$work/log" 2>&1; then
    echo "ok - $description"
  else
    echo "not ok - $description"
    tr -d '\r' <"$work/log" | sed 's/^/    /'
    status=1
  fi
}
