#!/usr/bin/env bash
# velmar-cards with a real git, as a team uses it: git-setup (once, twice,
# outside a repository, beside someone else's hook), a clean merge of two
# fields of one level and of two parts of one S, conflicts (one key, an
# emptied level), a Windows program's card, check and list of a conflicted
# card, the pre-commit hook on what is staged, and git diff through show.
# Usage: git_road_test.sh path/to/velmar-cards
set -u
[ -n "${VELMAR_TRACE:-}" ] && set -x
cards=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
# No configuration of this machine's user or system: identity and branch per command.
export HOME=$dir/home GIT_CONFIG_NOSYSTEM=1 XDG_CONFIG_HOME=$dir/home/.config LC_ALL=C.UTF-8
mkdir "$HOME"
g() { git -c user.name=t -c user.email=t@example.invalid -c init.defaultBranch=main -c core.pager=cat "$@"; }

. "$(dirname "$0")/../support/expect.sh"
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# card HP P S [LV2]: a card as Save writes it, code page 932, CR LF.
card() {
    printf '[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=%s\r\nP=%s\r\n' "$1" "$2"
    sjis 1=ひっかく; printf '\r\nS=%s\r\n2=Blast\r\n%s' "$3" "${4-[Lv2]$'\r\n'HP=30$'\r\n'}"
}
# commit_on BRANCH FROM MESSAGE: a branch from FROM with what the work tree holds now.
branch() { g checkout -q "$2" && g checkout -q -b "$1"; }

expect 2 "$cards" git-setup "$dir"
grep -q 'リポジトリ' "$dir/err" || fail "git-setup outside a repository does not say so"
for command in git-setup show merge; do
    expect 0 "$cards" $command --help
    grep -q "velmar-cards $command" "$dir/out" || fail "$command --help says nothing of $command"
done

# A side that cannot be read leaves OURS as it was, and nothing beside it.
mkdir "$dir/sides" && card 20 10 1F/30D/2 >"$dir/sides/ours" && cp "$dir/sides/ours" "$dir/ours.before"
mkfifo "$dir/sides/fifo" && mkdir "$dir/sides/folder"
for base in "$dir/sides/missing" "$dir/sides/fifo" "$dir/sides/folder"; do
    expect 1 "$cards" merge "$base" "$dir/sides/ours" "$dir/sides/ours" 7 x.ini
    grep -q 'x.ini: 共通の版のファイル' "$dir/err" || { cat "$dir/err"; fail "merge does not say which side it cannot read"; }
done
cmp -s "$dir/sides/ours" "$dir/ours.before" || fail "a failed merge changed OURS"
[ "$(ls -A "$dir/sides" | wc -l)" -eq 3 ] || { ls -A "$dir/sides"; fail "a failed merge left a file behind"; }
expect 2 "$cards" merge a b
expect 2 "$cards" merge a b c x 7.ini  # a marker size that is no number

repo=$dir/repo
g init -q "$repo" && mkdir "$repo/cards" && cd "$repo" || fail "no repository"
expect 0 "$cards" git-setup cards
[ -x .git/hooks/pre-commit ] || fail "no executable pre-commit hook"
grep -qx '\*.ini -text diff=velmar merge=velmar' cards/.gitattributes || fail "no attributes line"
cp -p .git/hooks/pre-commit "$dir/hook.before"
expect 0 "$cards" git-setup cards
grep -q '何も変えていません' "$dir/out" || { cat "$dir/out"; fail "a second git-setup does not say it changed nothing"; }
cmp -s .git/hooks/pre-commit "$dir/hook.before" || fail "a second git-setup rewrote the hook"
[ "$(grep -c velmar cards/.gitattributes)" -eq 1 ] || fail "a second git-setup added the attributes again"

card 20 10 1F/30D/2 >cards/000.ini
expect 0 g add -A
expect 0 g commit -qm base

# HP against P (adjacent lines), amount against count (one S value): clean, as Save writes it.
branch a main && card 25 10 1F/40D/2 >cards/000.ini && g commit -qam a || fail "branch a"
branch b main && card 20 15 1F/30D/3 >cards/000.ini && g commit -qam b || fail "branch b"
expect 0 g merge -q a -m "merge a"
card 25 15 1F/40D/3 >"$dir/expected"
cmp cards/000.ini "$dir/expected" || fail "the clean merge is not what Save writes"

# The same key changed differently: markers around that key only, named, conflicted.
branch c main && card 77 10 1F/30D/2 >cards/000.ini && g commit -qam c || fail "branch c"
branch d main && card 99 10 1F/30D/2 >cards/000.ini && g commit -qam d || fail "branch d"
expect 1 g merge c -m "merge c"
grep -q '^velmar-cards: マージの衝突: cards/000.ini: レベル1のMaxHP（元「20」、こちら「99」、相手「77」）' \
    "$dir/out" "$dir/err" || { cat "$dir/out" "$dir/err"; fail "the merge does not name the card, field and values"; }
[ "$(g status --porcelain)" = "UU cards/000.ini" ] || { g status --porcelain; fail "git status does not show it conflicted"; }
{ card 20 10 1F/30D/2 | sed -n '1,6p'
  printf '<<<<<<< ours\r\nHP=99\r\n=======\r\nHP=77\r\n>>>>>>> theirs\r\n'
  card 20 10 1F/30D/2 | sed -n '8,$p'; } >"$dir/expected"
cmp cards/000.ini "$dir/expected" || { cat -A cards/000.ini; fail "markers not around HP alone"; }

expect 1 "$cards" check cards
grep -q '^000.ini:7: マージの衝突' "$dir/out" || { cat "$dir/out"; fail "check does not name the conflict at line 7"; }
expect 1 "$cards" list cards
grep -q '^000 .* 99 ' "$dir/out" || { cat "$dir/out"; fail "list does not show ours"; }
grep -q 'マージの衝突' "$dir/err" || fail "list does not say the card has conflicts"

# The hook checks what is staged: a marked card is refused even when the work tree is fixed.
expect 0 g add cards/000.ini
card 88 10 1F/30D/2 >cards/000.ini
expect 1 g commit -qm "half merged"
grep -q 'cards/000.ini:7: マージの衝突' "$dir/err" || { cat "$dir/err"; fail "the hook does not name the conflict"; }
expect 0 g add cards/000.ini
expect 0 g commit -qm "resolved"

# An emptied level against a change in it.
branch e main && card 20 10 1F/30D/2 '' >cards/000.ini && g commit -qam e || fail "branch e"
branch f main && card 20 10 1F/30D/2 "[Lv2]"$'\r\n'"HP=30"$'\r\n'"P=5"$'\r\n'"1=bite"$'\r\n' >cards/000.ini &&
    g commit -qam f || fail "branch f"
g checkout -q e
expect 1 g merge f -m "merge f"
grep -q 'レベル2のMaxHP' "$dir/err" || { cat "$dir/err"; fail "the emptied level is not named"; }
g merge --abort

# A Windows program's card: a comment and a key the editor does not know stay.
branch w main
printf '; the game wrote this\r\n[head]\r\nrare=1\r\n[Lv1]\r\nHP=20\r\nX=1\r\n' >cards/001.ini
g add cards/001.ini && g commit -qm w || fail "branch w"
branch w1 w && sed -i 's/HP=20/HP=21/' cards/001.ini && g commit -qam w1 || fail "branch w1"
branch w2 w && sed -i 's/X=1/X=2/' cards/001.ini && g commit -qam w2 || fail "branch w2"
expect 0 g merge -q w1 -m "merge w1"
[ "$(cat cards/001.ini)" = "$(printf '; the game wrote this\r\n[head]\r\nrare=1\r\n[Lv1]\r\nHP=21\r\nX=2\r')" ] ||
    { cat -A cards/001.ini; fail "the Windows program's card lost something"; }

# The hook: a 256-byte value is refused, a good card passes; git diff shows the Japanese text.
printf '[head]\r\nrare=%s\r\n' "$(printf 'a%.0s' $(seq 256))" >cards/002.ini
expect 0 g add cards/002.ini
expect 1 g commit -qm long
grep -q 'cards/002.ini:2: .*256バイト' "$dir/err" || { cat "$dir/err"; fail "the hook does not refuse a 256-byte value"; }
g rm -q --cached cards/002.ini && rm cards/002.ini
card 21 10 1F/30D/2 | sed 's/Blast/'"$(sjis ふぶき)"'/' >cards/000.ini
expect 0 g diff
grep -q '^+2=ふぶき' "$dir/out" || { cat "$dir/out"; fail "git diff does not show the Japanese text"; }
expect 0 g commit -qam good
expect 0 g log -p -1
grep -q '^-2=Blast' "$dir/out" || fail "git log -p does not go through show"

# The hook checks every staged card whatever git calls its change: a moved
# card under its new name, a card staged as a symbolic link, a link made a file.
markers() {  # the committed card with markers around its HP: git sees it moved, not new
    card 21 10 1F/30D/2 | sed -n '1,6p'; printf '<<<<<<< ours\r\nHP=1\r\n=======\r\nHP=2\r\n>>>>>>> theirs\r\n'
    card 21 10 1F/30D/2 | sed -n '8,$p'; }
expect 0 g mv cards/000.ini cards/005.ini
markers >cards/005.ini && expect 0 g add -A
expect 1 g commit -qm moved
grep -q '^cards/005.ini:7: マージの衝突' "$dir/err" || { cat "$dir/err"; fail "the hook let a moved card's markers through"; }
g reset -q --hard
expect 0 g mv cards/000.ini cards/CON.ini
expect 1 g commit -qm "moved to a device name"
grep -q '^cards/CON.ini: ' "$dir/err" || { cat "$dir/err"; fail "the hook let a card moved to CON.ini through"; }
g reset -q --hard
ln -s 000.ini cards/link.ini && expect 0 g add cards/link.ini
expect 1 g commit -qm link
grep -q '^cards/link.ini: シンボリックリンク' "$dir/err" || { cat "$dir/err"; fail "the hook let a link through"; }
expect 0 g commit -q --no-verify -m "a link, past the hook"
rm cards/link.ini && markers >cards/link.ini && expect 0 g add cards/link.ini
expect 1 g commit -qm "the link made a file"
grep -q '^cards/link.ini:7: マージの衝突' "$dir/err" || { cat "$dir/err"; fail "the hook let a link made a file through"; }
g reset -q --hard && expect 0 g rm -q cards/link.ini && expect 0 g commit -qm "no link"

# Someone else's pre-commit hook is never overwritten.
g init -q "$dir/other" && mkdir "$dir/other/set" || fail "no second repository"
printf '#!/bin/sh\nexit 0\n' >"$dir/other/.git/hooks/pre-commit"
expect 1 "$cards" git-setup "$dir/other/set"
[ "$(cat "$dir/other/.git/hooks/pre-commit")" = "$(printf '#!/bin/sh\nexit 0')" ] || fail "the old hook was changed"
[ -x "$dir/other/.git/hooks/velmar-pre-commit" ] || fail "no velmar-pre-commit beside the old hook"
grep -q 'velmar-pre-commit' "$dir/out" || fail "git-setup does not say what to add to the old hook"
# core.hooksPath is where git looks for hooks, and so where the hook goes.
g init -q "$dir/third" && g -C "$dir/third" config core.hooksPath team-hooks || fail "no third repository"
expect 0 "$cards" git-setup "$dir/third"
[ -x "$dir/third/team-hooks/pre-commit" ] || { cat "$dir/out"; fail "the hook is not in core.hooksPath"; }
# Files git-setup did not write, and read-only ones (which root could
# write), are left as they are; it says what to add by hand.
g init -q "$dir/fourth" && mkdir "$dir/fourth/cards" || fail "no fourth repository"
printf '#!/bin/sh\nexit 0\n' >"$dir/fourth/.git/hooks/pre-commit"
printf '#!/bin/sh\necho mine\n' | tee "$dir/fourth/.git/hooks/velmar-pre-commit" >"$dir/mine"
printf '*.txt text\n' | tee "$dir/fourth/cards/.gitattributes" >"$dir/attributes" && chmod a-w "$dir/fourth/cards/.gitattributes"
expect 1 "$cards" git-setup "$dir/fourth/cards"
cmp -s "$dir/fourth/.git/hooks/velmar-pre-commit" "$dir/mine" || fail "someone else's velmar-pre-commit was overwritten"
grep -q 'velmar-pre-commit」は velmar-cards が書いたものではない' "$dir/out" || { cat "$dir/out"; fail "no word of the hook left alone"; }
cmp -s "$dir/fourth/cards/.gitattributes" "$dir/attributes" || fail "a read-only .gitattributes was written"
grep -qx '    \*.ini -text diff=velmar merge=velmar' "$dir/out" || { cat "$dir/out"; fail "no line to add by hand"; }
[ -n "$(g -C "$dir/fourth" config merge.velmar.driver)" ] || fail "no merge driver beside what was left alone"

# The program in a folder whose name holds what git's placeholders and its
# shell would take for their own: both leave its path as it is, and a card
# whose name is a command (committed past the hook) runs nothing.
prog=$dir/'odd %P %A %% "$(touch PWNED)" `touch PWNED` '\''q'\'' $HOME
line'
mkdir -p "$prog" && cp "$cards" "$prog/velmar-cards" || fail "no odd program folder"
odd='x"$(touch PWNED)".ini'
g init -q "$dir/odd" && mkdir "$dir/odd/cards" && cd "$dir/odd" || fail "no odd repository"
expect 0 "$prog/velmar-cards" git-setup cards
card 20 10 1F/30D/2 >cards/000.ini && card 20 10 1F/30D/2 >"cards/$odd"
expect 0 g add -A && expect 0 g commit -q --no-verify -m base
branch p main && card 25 10 1F/30D/2 | tee cards/000.ini >"cards/$odd" && g commit -q --no-verify -am p ||
    fail "branch p"
branch q main && card 20 15 1F/30D/2 | tee cards/000.ini >"cards/$odd" && g commit -q --no-verify -am q ||
    fail "branch q"
expect 0 g merge -q p -m "merge p"
card 25 15 1F/30D/2 >"$dir/expected"
cmp cards/000.ini "$dir/expected" && cmp "cards/$odd" "$dir/expected" ||
    { cat "$dir/out" "$dir/err"; fail "the driver in an odd folder did not merge"; }
[ -z "$(find "$dir" -name PWNED)" ] || fail "a card's name ran a command in the merge"
expect 0 g diff HEAD~1 -- cards/000.ini
grep -q '^+HP=25' "$dir/out" && grep -q '^ 1=ひっかく' "$dir/out" || { cat "$dir/out" "$dir/err"; fail "textconv in an odd folder"; }
echo "velmar-cards with git: all checks passed"
