#!/usr/bin/env bash
# git merge of two branches that each changed the same 2,000 cards in
# different fields (one HP, the other P): with velmar-cards' merge driver
# (clean) against git's own text driver (a conflict in every card). The
# card folder is the repository itself, where git puts the files it hands
# the driver.
#   bench/git_merge_bench.sh VELMAR_CARDS [CARDS] [ROUNDS] [MERGE_FLOOR]
# Prints each merge's wall-clock time (median of ROUNDS, default 3, taken
# alternately), its exit status and how many cards were left conflicted.
# With MERGE_FLOOR (bench/merge_floor.cpp), also the same merge with it as
# the driver: what any driver of a process per card costs git.
# Exits 2 when the driver's merge is not clean or the text driver's is.
set -uo pipefail
cards=$1 count=${2:-2000} rounds=${3:-3} floor=${4:-}
dir=$(mktemp -d "${TMPDIR:-/tmp}/velmar-git-merge-XXXXXX") || exit 2
trap 'rm -rf "$dir"' EXIT
export HOME=$dir GIT_CONFIG_NOSYSTEM=1
g() { git -c user.name=t -c user.email=t@example.invalid -c init.defaultBranch=main "$@"; }

repo=$dir/repo
g init -q "$repo" && cd "$repo" || exit 2
hit=$(printf '1=\x82\xD0\x82\xC1\x82\xA9\x82\xAD')  # ひっかく in code page 932
for ((i = 0; i < count; ++i)); do
  printf '[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=20\r\nP=10\r\n%s\r\nS=1F/30D/2\r\n2=Blast\r\n[Lv2]\r\nHP=30\r\n' \
    "$hit" >"$(printf '%04d' "$i").ini"
done
"$cards" git-setup . >/dev/null || exit 2
g add -A && g commit -qm base --no-verify || exit 2
g checkout -q -b hp && sed -i 's/^HP=20\r$/HP=25\r/' *.ini && g commit -qam hp --no-verify || exit 2
g checkout -q main && g checkout -q -b power && sed -i 's/^P=10\r$/P=15\r/' *.ini &&
  g commit -qam power --no-verify || exit 2
tip=$(g rev-parse HEAD)

# merge_once DRIVER: the time of one merge of hp into power, in ms; the
# status and conflicted cards go to $dir/last. The text driver is chosen
# by .git/info/attributes, which outranks the folder's .gitattributes.
merge_once() {
  if [ "$1" = text ]; then echo '*.ini merge=text' >.git/info/attributes; else rm -f .git/info/attributes; fi
  local driver=()
  [ "$1" = floor ] && driver=(-c "merge.velmar.driver=\"$floor\" %O %A %B")
  g reset -q --hard "$tip"
  local start end status
  start=$(date +%s%N)
  g "${driver[@]}" merge -q --no-verify hp -m merged >/dev/null 2>&1
  status=$?
  end=$(date +%s%N)
  echo "$status $(g diff --name-only --diff-filter=U | wc -l)" >"$dir/last"
  g merge --abort 2>/dev/null
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$dir/velmar.times"; : >"$dir/text.times"; : >"$dir/floor.times"
for ((r = 0; r < rounds; ++r)); do
  merge_once velmar >>"$dir/velmar.times"; read -r velmar_status velmar_conflicts <"$dir/last"
  merge_once text >>"$dir/text.times"; read -r text_status text_conflicts <"$dir/last"
  if [ -n "$floor" ]; then merge_once floor >>"$dir/floor.times"; read -r floor_status floor_conflicts <"$dir/last"; fi
done
velmar=$(median <"$dir/velmar.times") text=$(median <"$dir/text.times")
echo "git merge, $count cards changed on both branches (HP against P), median of $rounds:"
echo "  velmar-cards merge driver: $velmar ms, exit $velmar_status, $velmar_conflicts cards conflicted"
echo "  git's text driver:         $text ms, exit $text_status, $text_conflicts cards conflicted"
[ -n "$floor" ] &&
  echo "  merge_floor as the driver: $(median <"$dir/floor.times") ms, exit $floor_status, $floor_conflicts cards conflicted"
awk -v v="$velmar" -v t="$text" -v n="$count" 'BEGIN {
  printf "  driver / text: %.1f; %.2f ms per card with the driver\n", v / t, v / n }'
[ "$velmar_status" -eq 0 ] && [ "$velmar_conflicts" -eq 0 ] && [ "$text_conflicts" -eq "$count" ] || exit 2
