#!/usr/bin/env bash
# A person who damages the data set reads one clear line per damaged file,
# naming the file that was opened, and the show still renders. One file of
# each kind is deleted, cut to half, emptied and scrambled in the middle (64
# bytes), and a capture runs over the scene that uses it. A picture whose line
# says that it is drawn (as far as it decodes, or as the decoder recovered it)
# must change the frames: they may not be the frames without the file. A
# data directory that is missing, empty or holds only the music stops the
# program with one line and status 1.
set -uo pipefail
demo="$1"
baked="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Standard error of a capture from $2 to $2 + 0.04 s over the data in $1, with
# the capture's progress bar taken out.
capture_messages() {
  SDL_AUDIODRIVER=dummy timeout 120 "$demo" --capture "$work/out" --from "$2" --to "$(awk "BEGIN { print $2 + 0.04 }")" \
    --data "$1" 2>"$work/stderr" >/dev/null
  local status=$?
  tr '\r' '\n' <"$work/stderr" | grep -v '^capture \[' | grep -v '^$'
  return $status
}

damage() { # how file
  case $1 in
  deleted) rm "$2" ;;
  half) truncate -s $(($(stat -c %s "$2") / 2)) "$2" ;;
  empty) : >"$2" ;;
  scrambled) # perl is part of every Debian system
    perl -e 'open(my $f, "+<:raw", $ARGV[0]) or die; my $size = -s $f; my $middle = int($size / 2);
      seek($f, $middle, 0); read($f, my $bytes, 64); my @b = unpack("C*", $bytes);
      $b[$_] ^= (0x5A + 37 * $_) & 0xFF for 0 .. $#b; seek($f, $middle, 0); print $f pack("C*", @b);' "$2"
    ;;
  esac
}

# What the line must say, beyond naming the file, where that is fixed.
declare -A expected=(
  ["half credits/code.png"]="the picture is damaged from row [0-9]* of [0-9]* (the file is cut off there)"
  ["scrambled ultramap.jpg"]="(the picture is drawn as the decoder recovered it)$"
)

# The frames of the last capture, as one checksum.
frames_sum() { cat "$work"/out/frame-*.png 2>/dev/null | md5sum; }

# file, a time its scene draws (deleted comes first: the frames without the
# file are what a picture said to be drawn must differ from)
for entry in "ultramap.jpg 150" "credits/code.png 85" "final.gsp 230" "gummi.ebr 100" "01.ogg 60" \
  "metaballsfp.txt 190"; do
  set -- $entry
  file=$1 at=$2 without=
  for how in deleted half empty scrambled; do
    data="$work/data-$how"
    rm -rf "$data" "$work/out"
    cp -rs "$(realpath "$baked")" "$data" # links to the baked files
    rm "$data/$file" && cp "$baked/$file" "$data/$file"
    damage "$how" "$data/$file"
    messages=$(capture_messages "$data" "$at")
    status=$?
    lines=$(printf '%s' "$messages" | grep -c .)
    naming=$(printf '%s' "$messages" | grep -cF "$data/$file")
    [ $status -eq 0 ] || fail "$file $how: the capture ended with status $status"
    ls "$work/out" | grep -q '^frame-' || fail "$file $how: no frame written"
    [ $how = deleted ] && without=$(frames_sum)
    if printf '%s' "$messages" | grep -qE "the picture is drawn as|the rows above it are drawn" &&
      [ "$(frames_sum)" = "$without" ]; then
      fail "$file $how: the line says the picture is drawn, but the frames are those without the file"
    fi
    pattern=${expected["$how $file"]:-}
    if [ -n "$pattern" ] && ! printf '%s' "$messages" | grep -q "$pattern"; then
      fail "$file $how: expected a line saying '$pattern', got:"
      printf '%s\n' "$messages"
    fi
    # Scrambled scene data can leave every count and name intact (only
    # coordinates change): there is then nothing to tell.
    if [ "$how $file" = "scrambled final.gsp" ] && [ "$lines" -eq 0 ]; then
      continue
    fi
    if [ "$lines" -ne 1 ] || [ "$naming" -ne 1 ]; then
      fail "$file $how: expected one line naming $data/$file, got:"
      printf '%s\n' "$messages"
    fi
  done
done

for how in missing empty music-only; do
  dir="$work/no-data-$how"
  [ $how = empty ] && mkdir -p "$dir"
  [ $how = music-only ] && mkdir -p "$dir" && cp "$baked/01.ogg" "$dir/"
  out=$("$demo" --capture "$work/out" --data "$dir" 2>&1 >/dev/null)
  status=$?
  [ $status -eq 1 ] || fail "--data at a $how directory: status $status, not 1"
  [ "$(printf '%s' "$out" | grep -c .)" -eq 1 ] && printf '%s' "$out" | grep -q "no data set in $dir" ||
    fail "--data at a $how directory: expected one line saying so, got: $out"
done

if [ $failures -ne 0 ]; then
  echo "$failures damaged-data cases failed"
  exit 1
fi
echo "every damaged file gave one line naming it"
