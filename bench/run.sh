#!/usr/bin/env bash
# Measures quilldex-cli against the floor (bench/floor.cpp) and the usual
# listing tools on data generated in a temporary folder, and prints the
# median times, the ratios, the targets and the peak memory.
#   bench/run.sh [--reps N] [--small] [--no-micro]
# --reps N    measured rounds per case (default 5; the tree case uses
#             N - 2, at least 3); a warm-up round comes first
# --small     a tenth of the data, to try the script out
# --no-micro  skip the in-process microbenchmarks at the end
set -euo pipefail

reps=5
scale=1
micro=1
while [ $# -gt 0 ]; do
	case $1 in
	--reps) reps=$2; shift 2 ;;
	--small) scale=10; shift ;;
	--no-micro) micro=0; shift ;;
	*) echo "usage: bench/run.sh [--reps N] [--small] [--no-micro]" >&2; exit 2 ;;
	esac
done
tree_reps=$((reps > 5 ? reps - 2 : 3))

root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" bench

(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
bin=$root/build/bench
cli=$bin/src/cli/quilldex-cli
floor=$bin/bench/bench-floor
measure=$bin/bench/bench-measure

work=$(mktemp -d "${TMPDIR:-/tmp}/quilldex-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out" "$work/times" "$work/cpu"

flat_files=$((200000 / scale))
tree_dirs=$((20000 / scale))
tree_files=$((200000 / scale))
title_files=$((50000 / scale))
million_files=$((1000000 / scale))

echo "Generating data in $work ..."
"$bin/bench/bench-make-data" flat "$work/flat" "$flat_files"
"$bin/bench/bench-make-data" flat "$work/small" 1000
"$bin/bench/bench-make-data" tree "$work/tree" "$tree_dirs" "$tree_files"
"$bin/bench/bench-make-data" titles "$work/titles" "$title_files"
"$bin/bench/bench-make-data" flat "$work/million" "$million_files"

# run CASE TOOL COMMAND...: one timed run, its output to a file in the
# temporary folder, its wall-clock and processor times appended to that
# tool's lists (unless warming up).
run() {
	local case=$1 tool=$2
	shift 2
	local seconds peak code cpu
	read -r seconds peak code cpu < <("$measure" "$work/out/$case-$tool.txt" "$@")
	if [ "$code" != 0 ]; then
		echo "bench/run.sh: $tool exited with $code on the $case case: $*" >&2
		exit 1
	fi
	if [ "$warming" = 0 ]; then
		echo "$seconds" >>"$work/times/$case-$tool"
		echo "$cpu" >>"$work/cpu/$case-$tool"
	fi
}

# median LIST: the median of the numbers in times/LIST or cpu/LIST.
median() {
	sort -n "$work/$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# rounds CASE COUNT: runs every tool of the case in turn, COUNT times after
# a warm-up round, so that a slow spell of the machine hits all alike.
rounds() {
	local case=$1 count=$2 i
	for ((i = 0; i <= count; i++)); do
		warming=$((i == 0 ? 1 : 0))
		"tools_$case"
	done
}

tools_flat() {
	run flat quilldex "$cli" --date "$work/flat"
	run flat page "$cli" --page --date "$work/flat"
	run flat natural "$cli" --date --sort natural "$work/flat"
	run flat time "$cli" --date --sort time "$work/flat"
	run flat dirsfirst "$cli" --date --dirs-first "$work/flat"
	run flat floor "$floor" list "$work/flat"
	run flat tree tree -H . -s -D -L 1 "$work/flat"
	run flat find find "$work/flat" -maxdepth 1 -printf '%f %s %TY-%Tm-%Td\n'
	run flat ls ls -l "$work/flat"
}

# quilldex-cli and the floor write index.html into every directory, tree
# writes 00Tree.html. Each run starts without them: ext4 writes a file that
# is truncated and rewritten out to disk when it is closed, so rewriting
# would time the disk, not the program.
clean_tree() {
	find "$work/tree" \( -name index.html -o -name 00Tree.html \) -delete
	sync
}

tools_tree() {
	clean_tree
	run tree quilldex "$cli" -r --date "$work/tree"
	clean_tree
	run tree floor "$floor" tree "$work/tree" index.html
	clean_tree
	run tree tree tree -H . -s -D -L 1 -R "$work/tree"
}

tools_titles() {
	run titles quilldex "$cli" -t --date "$work/titles"
	run titles floor "$floor" titles "$work/titles"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
holds() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }' && echo holds || echo MISSED; }

echo "Timing: $flat_files files in one directory, $reps rounds ..."
rounds flat "$reps"
echo "Timing: $tree_dirs directories holding $tree_files files, $tree_reps rounds ..."
rounds tree "$tree_reps"
echo "Timing: $title_files HTML documents with titles, $reps rounds ..."
rounds titles "$reps"

echo
echo "Median wall-clock and processor (user + system) times; ratios to the floor"
printf '%-7s %-9s %9s %8s %9s %8s %11s\n' case tool "wall s" "/ floor" "cpu s" "/ floor" "/ quilldex"
for case in flat tree titles; do
	for tool in quilldex page natural time dirsfirst floor tree find ls; do
		[ -f "$work/times/$case-$tool" ] || continue
		m=$(median "times/$case-$tool")
		c=$(median "cpu/$case-$tool")
		printf '%-7s %-9s %9.3f %8s %9.3f %8s %11s\n' "$case" "$tool" \
			"$m" "$(ratio "$m" "$(median "times/$case-floor")")" \
			"$c" "$(ratio "$c" "$(median "cpu/$case-floor")")" \
			"$(ratio "$m" "$(median "times/$case-quilldex")")"
	done
done

flat_q=$(median times/flat-quilldex)
flat_f=$(median times/flat-floor)
flat_t=$(median times/flat-tree)
flat_p=$(median times/flat-page)
flat_n=$(median times/flat-natural)
flat_m=$(median times/flat-time)
flat_d=$(median times/flat-dirsfirst)
tree_q=$(median times/tree-quilldex)
tree_f=$(median times/tree-floor)
titles_q=$(median times/titles-quilldex)
titles_f=$(median times/titles-floor)

# Peak memory: the names of a directory are the one thing the program has
# to hold (it sorts them). The million-entry directory is measured with
# /usr/bin/time -v as well, against the names' bytes alone.
peak() { "$measure" "$work/out/peak.txt" "$cli" --date "$1" | awk '{ print $2 }'; }
names_of() { ls -f "$1" | LC_ALL=C awk '{ n += length($0) } END { printf "%d", n / 1024 }'; }
peak_small=$(peak "$work/small")
peak_flat=$(peak "$work/flat")
peak_million=$(/usr/bin/time -v "$cli" --date "$work/million" 2>&1 >/dev/null |
	awk -F': ' '/Maximum resident set size/ { print $2 }')
names_kib=$(names_of "$work/flat")
million_names_kib=$(names_of "$work/million")
allowed_kib=$((million_names_kib + 8192))

echo
echo "Peak memory of quilldex-cli --date: 1000 entries $peak_small KiB, $flat_files entries $peak_flat KiB" \
	"(names $names_kib KiB), $million_files entries $peak_million KiB (names $million_names_kib KiB)"
echo
echo "Targets:"
echo "  one directory <= 1.2 x floor:    $(ratio "$flat_q" "$flat_f") x   $(holds "$flat_q" "$(awk -v f="$flat_f" 'BEGIN { print 1.2 * f }')")"
for order in natural:$flat_n time:$flat_m dirs-first:$flat_d; do
	echo "  --${order%%:*} <= 1.1 x the default order: $(ratio "${order#*:}" "$flat_q") x   $(holds "${order#*:}" "$(awk -v q="$flat_q" 'BEGIN { print 1.1 * q }')")"
done
echo "  full page <= 1.15 x the table:   $(ratio "$flat_p" "$flat_q") x   $(holds "$flat_p" "$(awk -v q="$flat_q" 'BEGIN { print 1.15 * q }')")"
echo "  one directory >= 2 x faster than tree -H: $(ratio "$flat_t" "$flat_q") x   $(holds "$(awk -v q="$flat_q" 'BEGIN { print 2 * q }')" "$flat_t")"
echo "  tree <= 1.05 x floor tree walk:  $(ratio "$tree_q" "$tree_f") x   $(holds "$tree_q" "$(awk -v f="$tree_f" 'BEGIN { print 1.05 * f }')")"
echo "  titles <= 1.3 x floor read loop: $(ratio "$titles_q" "$titles_f") x   $(holds "$titles_q" "$(awk -v f="$titles_f" 'BEGIN { print 1.3 * f }')")"
echo "  peak memory of $million_files entries <= names + 8 MiB = $allowed_kib KiB: $peak_million KiB   $(holds "$peak_million" "$allowed_kib")"

if [ "$micro" = 1 ]; then
	echo
	echo "In-process microbenchmarks:"
	"$bin/bench/quilldex-microbench" --benchmark_min_time=0.2
fi
