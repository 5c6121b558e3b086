#!/bin/bash
# Records what a regsqueeze binary does over many runs: for each run, its exit
# status, standard output, standard error and the output file's checksum.
# Two captures of different builds are compared with diff -r.
#
#   tools/capture_behaviour.sh BINARY MAKE_TEST_SONGS CORPUS_DIR OUT_DIR [SONGS]
set -u
binary=$(realpath "$1")
make_songs=$(realpath "$2")
corpus=$(realpath "$3")
out=$(realpath -m "$4")
songs=${5:-300}

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
"$make_songs" . "$songs" 7 || exit 1

run() {  # run NAME ARGS...: the binary is always invoked as "regsqueeze"
    local name=$1
    shift
    rm -f out.lz16 ./*.lz16
    (exec -a regsqueeze "$binary" "$@") >stdout 2>stderr
    local status=$?
    {
        echo "args: $*"
        echo "status: $status"
        echo "--- stdout"; cat stdout
        echo "--- stderr"; cat stderr
        echo "--- files"
        for f in ./*.lz16; do [ -e "$f" ] && echo "$f $(sha1sum <"$f" | cut -c1-40) $(stat -c %s "$f")"; done
    } >"$out/$name"
}

option_sets=("" "-t" "-8 -x" "-2 -e" "-o 10 -l 6 -m 3 -v" "-q -t -x -e" "-o 12 -l 4 -m 2" "-b 9 -o 0 -v -t"
    "-o 9 -l 7 -m 2 -t" "-o 3 -l 5 -m 16")
i=0
for song in song-*.vgm; do
    for k in 0 1; do
        set=${option_sets[$(((i * 2 + k) % ${#option_sets[@]}))]}
        # shellcheck disable=SC2086
        run "$song.$k" $set "$song"
    done
    i=$((i + 1))
done

for song in "$corpus"/*.vgm; do
    base=$(basename "$song" .vgm)
    for set in "" "-t" "-8 -x -t" "-o 9 -l 7 -m 2 -e" "-o 10 -l 6 -m 3 -v -t"; do
        # shellcheck disable=SC2086
        run "corpus.$base.${set// /}" $set "$song" out.lz16
    done
done

printf 'not a vgm' >junk.vgm
: >empty.vgm
mkdir -p dir.vgm
cases=(
    "" "-h" "--help" "-q" "song-0001.vgm a.lz16 b.lz16" "-o 13 song-0001.vgm" "-o -1 song-0001.vgm"
    "-l 1 song-0001.vgm" "-l 17 song-0001.vgm" "-m 0 song-0001.vgm" "-m 17 song-0001.vgm" "-b 7 song-0001.vgm"
    "-b 17 song-0001.vgm" "-o 4 -l 4 -b 8 song-0001.vgm" "-o 9 -l 3 song-0001.vgm" "-o 12 -l 5 song-0001.vgm"
    "-8 -2 song-0001.vgm" "-6 -m 3 song-0001.vgm" "-m 3 -6 song-0001.vgm" "--offs 5 song-0001.vgm" "--bogus song-0001.vgm"
    "-o x song-0001.vgm" "-o" "missing.vgm" "empty.vgm" "junk.vgm" "song-0001.vgm /nonexistent/dir/out.lz16"
    "song-0001.vgm /dev/full" "-t song-0001.vgm /nonexistent/out.lz16" "-v -8 song-0002.vgm" "-o 0 -l 8 song-0003.vgm"
    "-o 8 -l 0 song-0001.vgm" "-b 16 -o 4 song-0004.vgm" "-l 12 song-0005.vgm"
)
n=0
for c in "${cases[@]}"; do
    # shellcheck disable=SC2086
    run "cli.$n" $c
    n=$((n + 1))
done
