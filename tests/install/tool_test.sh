#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installed `vorn` tool end to end:
#   tool_test.sh VORN TESTDATA_DIR WORK_DIR
# Sizes of every suite file with a reference, conversions round trip, the
# standard streams, a batch, every exit status and a drawn picture pixel by
# pixel. Exits 77 (skipped) when the test data is absent.
set -uo pipefail

vorn=$1
data=$2
work=$3
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect STATUS COMMAND...: runs the command (its output in $work/out, its
# errors in $work/err) and checks its exit status.
expect() {
  local want=$1
  shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "exit $got, not $want: ${*:1:4} ... ($(head -c 300 "$work/err"))"
}

# errors LINES PATTERN: the last command wrote LINES lines to stderr, the
# first matching PATTERN.
errors() {
  [ "$(wc -l <"$work/err")" -eq "$1" ] && head -n 1 "$work/err" | grep -q -- "$2" ||
    fail "stderr is not $1 line(s) matching '$2': $(cat "$work/err")"
}

if [ ! -d "$data/reference" ]; then
  echo "test data absent: $data" >&2
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/batch"
cd "$work" || exit 1

# 1. info --json: every suite file with a reference (PNG, good BMP, GIF,
# JPEG) is read and has the reference's size.
files=()
sizes=()
while IFS= read -r pam; do
  rel=${pam#"$data/reference/"}
  case $rel in
  pngsuite/*) file=$data/${rel%.pam}.png ;;
  bmpsuite/g/*) file=$data/${rel%.pam}.bmp ;;
  gif/*) file=$data/gif/gifs/${rel#gif/} file=${file%.pam}.gif ;;
  jpeg/*) file=$data/${rel%.pam}.jpg ;;
  *) continue ;;
  esac
  files+=("$file")
  # P7, then WIDTH w and HEIGHT h.
  { read -r _ && read -r _ w && read -r _ h; } <"$pam"
  sizes+=("$w $h")
done < <(find "$data/reference" -name '*.pam' | sort)
expect 0 "$vorn" info --json "${files[@]}"
sed -nE 's/.*"width": ([0-9]+), "height": ([0-9]+).*/\1 \2/p' out >info.txt
printf '%s\n' "${sizes[@]}" | diff -q - info.txt >/dev/null ||
  fail "info --json sizes differ from the references' for ${#files[@]} files"
[ "${#files[@]}" -ge 380 ] || fail "only ${#files[@]} reference files found"
"$vorn" info --json "$data/bmpsuite/q/rgba32.bmp" | grep -q '"format": "bmp", "width": 127, "height": 64, "dpi_x": 72, "dpi_y": 72, "alpha": true' ||
  fail "info --json of a BMP with alpha"

# 2. Round trips. A PNG through 32-bit BMP and back is the same file as the
# PNG written directly (pixels, alpha and density); 300 dpi survives JPEG.
png=$data/pngsuite/basn6a08.png
expect 0 "$vorn" convert "$png" direct.png
expect 0 "$vorn" convert "$png" alpha.bmp --bmp-alpha
expect 0 "$vorn" convert alpha.bmp back.png
cmp -s direct.png back.png || fail "PNG -> 32-bit BMP -> PNG changed the image"
expect 0 "$vorn" convert "$png" flat.jpg --quality 100
"$vorn" info --json flat.jpg | grep -q '"format": "jpeg", "width": 32, "height": 32, "dpi_x": 96, "dpi_y": 96, "alpha": false' ||
  fail "JPEG written with its density and flattened"

# The levels reach the encoders.
"$vorn" convert "$png" z0.png --compression 0 && "$vorn" convert "$png" z9.png --compression 9
"$vorn" convert "$png" q10.jpg --quality 10
[ "$(stat -c %s z0.png)" -gt "$(stat -c %s z9.png)" ] &&
  [ "$(stat -c %s flat.jpg)" -gt "$(stat -c %s q10.jpg)" ] || fail "--compression or --quality ignored"

# 3. Standard input and output: the same bytes as through files.
"$vorn" convert - - --format bmp --bmp-alpha <"$png" | "$vorn" convert - piped.png
cmp -s direct.png piped.png || fail "convert through pipes differs"
"$vorn" info - <"$png" | grep -q '^-: png, 32 x 32' || fail "info of standard input"

# 4. A batch into a folder: one file per input, no progress line when
# standard error is not a terminal.
expect 0 "$vorn" convert "$data/bmpsuite/g/"pal*.bmp --out-dir batch --to png
[ "$(ls batch | wc -l)" -eq "$(ls "$data/bmpsuite/g/"pal*.bmp | wc -l)" ] || fail "batch files"
[ -s err ] && fail "batch wrote to a piped standard error: $(cat err)"
[ -f batch/pal8v5.png ] || fail "batch names"

# 5. Exit statuses: 2 with the reason and the usage line, 1 with one line
# naming the file.
expect 2 "$vorn"
expect 2 "$vorn" frobnicate
expect 2 "$vorn" convert "$png" -
errors 2 "needs --format"
expect 2 "$vorn" resize "$png" out.png --size 0x5
errors 2 "size"
expect 2 "$vorn" crop "$png" out.png --rect 1,2,3
expect 2 "$vorn" convert "$png" out.png --quality 101
expect 1 "$vorn" convert missing.png out.png
errors 1 "missing.png"
expect 1 "$vorn" info "$data/pngsuite/xcrn0g04.png"
errors 1 "xcrn0g04.png"
expect 1 "$vorn" convert "$png" no/such/folder/out.png
errors 1 "out.png"
expect 1 "$vorn" convert "$png" out.gif
errors 1 "out.gif"
expect 0 "$vorn" help crop
expect 0 "$vorn" --version

# 6. A drawing, pixel by pixel: 6 x 4 on a dark background, written as a
# 32-bit BMP (bottom row first, blue, green, red, alpha).
cat >script.txt <<'EOF'
; comment, then a blank line

rect 1,0,2,2 #ff0000
line 0,3 5,3 #00ff00
circle 4,1 1 #0000ffff
marker square 0,1 1,1 #ffffff
EOF
expect 0 "$vorn" draw drawn.bmp --size 6x4 --background '#102030' --script script.txt --bmp-alpha
# One letter a pixel, top row first: . background, r red, g green, b blue,
# w white.
want=$'.rr.b.\nwrrb.b\n....b.\nggggg.'
got=$(tail -c 96 drawn.bmp | od -An -v -tx1 | tr -s ' \n' '\n\n' | grep . | paste -d' ' - - - - |
  sed -e 's/^30 20 10 ff$/./' -e 's/^00 00 ff ff$/r/' -e 's/^00 ff 00 ff$/g/' \
    -e 's/^ff 00 00 ff$/b/' -e 's/^ff ff ff ff$/w/' | paste -sd '' | fold -w 6 | tac)
[ "$got" = "$want" ] || fail "drawn picture:"$'\n'"$got"$'\n'"wanted:"$'\n'"$want"
printf 'rect 1,1 #ff0000\n' >bad.txt
expect 2 "$vorn" draw bad.png --size 4x4 --script bad.txt
errors 2 "line 1"

# 7. The gallery poster.
expect 0 "$vorn" gallery poster.png
"$vorn" info poster.png | grep -q 'png, [0-9]* x [0-9]*' || fail "gallery poster"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
