#!/bin/sh
# The games the win/draw/loss model is fitted to: the engine against itself under fastchess, a
# node limit a move, each run one pair of limits so that games from the same opening differ.
# Usage: tools/wdl/selfplay.sh <engine> <out.pgn>   (from the repository root, ../shared beside it)
set -e
engine=${1:-build/release/kestrun}
out=${2:-selfplay.pgn}
tools=../shared/tools
for pair in "7000 8000" "7500 9000" "8500 9500" "8000 10000" "7000 9500" "9000 10000" \
            "7500 8500" "6500 9000"; do
  set -- $pair
  "$tools/fastchess/fastchess" \
    -engine cmd="$engine" name=k$1 nodes=$1 \
    -engine cmd="$engine" name=k$2 nodes=$2 \
    -each tc=inf option.Hash=16 -rounds 200 -games 2 -concurrency 2 -recover \
    -openings file=$tools/openings.epd format=epd order=sequential \
    -tb ../shared/syzygy -pgnout file="$out" -ratinginterval 0
done
