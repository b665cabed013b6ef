# Shared by the command tests (POSIX sh): sourced after $dir is made.
fail() { echo "FAIL: $*"; exit 1; }
# expect STATUS COMMAND...: runs it with its output in $dir/out and $dir/err.
expect() {
    want=$1; shift
    "$@" >"$dir/out" 2>"$dir/err"
    got=$?
    [ "$got" -eq "$want" ] || { cat "$dir/out" "$dir/err"; fail "$* exited $got, not $want"; }
}
