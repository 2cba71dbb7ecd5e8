#!/usr/bin/env bash
# Measures quilldex-cli against the floor (bench/floor.cpp) and the usual
# listing tools on data generated in a temporary folder, and prints the
# median times, the ratios, the targets and the peak memory.
#   bench/run.sh [--reps N] [--small] [--no-micro] [--only CASES]
# --reps N      measured rounds per case (default 5; the tree, walk and
#               network cases use N - 2, at least 3); a warm-up round first
# --small       a tenth of the data, to try the script out
# --no-micro    skip the in-process microbenchmarks at the end
# --only CASES  only these cases, separated by commas, of: flat tree walk
#               titles memory network syscalls treeindex micro
set -euo pipefail

usage="usage: bench/run.sh [--reps N] [--small] [--no-micro] [--only flat,tree,walk,titles,memory,network,syscalls,treeindex,micro]"
reps=5
scale=1
cases="flat tree walk titles memory network syscalls treeindex micro"
micro=1
while [ $# -gt 0 ]; do
	case $1 in
	--reps) reps=$2; shift 2 ;;
	--small) scale=10; shift ;;
	--no-micro) micro=0; shift ;;
	--only)
		cases=${2//,/ }
		for c in $cases; do
			case " flat tree walk titles memory network syscalls treeindex micro " in
			*" $c "*) ;;
			*) echo "bench/run.sh: no case $c; $usage" >&2; exit 2 ;;
			esac
		done
		shift 2
		;;
	*) echo "$usage" >&2; exit 2 ;;
	esac
done
tree_reps=$((reps > 5 ? reps - 2 : 3))
wants() {
	[ "$1" != micro ] || [ "$micro" = 1 ] || return 1
	case " $cases " in *" $1 "*) return 0 ;; *) return 1 ;; esac
}

root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" bench

(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
bin=$root/build/bench
cli=$bin/src/cli/quilldex-cli
floor=$bin/bench/bench-floor
measure=$bin/bench/bench-measure

# quilldex-cli runs each case with its default number of jobs; where it
# has -j (--jobs), also with -j 1. The floor always walks with one.
if "$cli" --help | grep -q -- --jobs; then
	one_job=(-j 1)
else
	one_job=()
fi

# The network-like case: slow_fs.py serves a tree through FUSE with every
# metadata call delayed, mounted at $work/net while the case runs. Its
# folders are deleted only once it is unmounted, and never across a mount.
slow_fs_pid=
unmount_slow_fs() {
	local i
	[ -n "$slow_fs_pid" ] || return 0
	if mountpoint -q "$work/net"; then
		fusermount3 -u "$work/net" || fusermount3 -u -z "$work/net" || true
	fi
	# Unmounted, it ends by itself; one that never mounted may need a stop.
	for ((i = 0; i < 50; i++)); do
		kill -0 "$slow_fs_pid" 2>/dev/null || break
		sleep 0.1
	done
	kill "$slow_fs_pid" 2>/dev/null || true
	wait "$slow_fs_pid" || true
	slow_fs_pid=
}
cleanup() {
	unmount_slow_fs
	rm -rf --one-file-system "$work"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/quilldex-bench.XXXXXX")
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$work/out" "$work/times" "$work/cpu" "$work/peak"

# mount_slow_fs DATA: serves DATA at $work/net, 1 ms a metadata call.
mount_slow_fs() {
	local i
	mkdir -p "$work/net"
	/usr/bin/python3 "$root/bench/slow_fs.py" "$1" "$work/net" 1 2>"$work/slow_fs.log" &
	slow_fs_pid=$!
	for ((i = 0; i < 100; i++)); do
		mountpoint -q "$work/net" && return 0
		kill -0 "$slow_fs_pid" 2>/dev/null || break
		sleep 0.1
	done
	echo "bench/run.sh: the FUSE passthrough (bench/slow_fs.py) did not mount on $work/net:" >&2
	cat "$work/slow_fs.log" >&2
	exit 1
}

# Before any data is made, so that a machine without FUSE fails at once.
if wants network; then
	[ -c /dev/fuse ] || { echo "bench/run.sh: /dev/fuse is missing: the network case needs FUSE" >&2; exit 1; }
	mkdir "$work/probe"
	mount_slow_fs "$work/probe"
	unmount_slow_fs
fi

flat_files=$((200000 / scale))
tree_dirs=$((20000 / scale))
tree_files=$((200000 / scale))
title_files=$((50000 / scale))
million_files=$((1000000 / scale))
# The walk: 10 files and 10 subdirectories in every directory, four levels
# below the top (11,111 directories); three with --small (1,111).
walk_levels=$((scale == 1 ? 4 : 3))
walk_dirs=$(((10 ** (walk_levels + 1) - 1) / 9))
# The tree index: 1,000 directories holding 99,000 files (100,000 entries
# less the top) and 10,000 holding 990,000 (1,000,000); a tenth of each
# with --small.
index_small_dirs=$((1000 / scale))
index_small_files=$((99000 / scale))
index_dirs=$((10000 / scale))
index_files=$((990000 / scale))
# The network-like case: 10 files and 6 subdirectories in every directory,
# three levels below the top (259 directories); two with --small (43).
net_levels=$((scale == 1 ? 3 : 2))
net_dirs=$(((6 ** (net_levels + 1) - 1) / 5))

echo "Generating data in $work ..."
if wants flat || wants memory; then "$bin/bench/bench-make-data" flat "$work/flat" "$flat_files"; fi
if wants memory; then
	"$bin/bench/bench-make-data" flat "$work/small" 1000
	"$bin/bench/bench-make-data" flat "$work/million" "$million_files"
fi
if wants tree; then "$bin/bench/bench-make-data" tree "$work/tree" "$tree_dirs" "$tree_files"; fi
if wants walk || wants syscalls; then "$bin/bench/bench-make-data" wide "$work/walk" "$walk_levels" 10 10; fi
if wants titles; then "$bin/bench/bench-make-data" titles "$work/titles" "$title_files"; fi
if wants network; then "$bin/bench/bench-make-data" wide "$work/net-data" "$net_levels" 6 10; fi
if wants treeindex; then
	"$bin/bench/bench-make-data" utf8-tree "$work/index-small" "$index_small_dirs" "$index_small_files"
	"$bin/bench/bench-make-data" utf8-tree "$work/index" "$index_dirs" "$index_files"
fi

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
		echo "$peak" >>"$work/peak/$case-$tool"
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
	find "$1" \( -name index.html -o -name 00Tree.html -o -name index.tree.json -o -name index.tree.js \) -delete
	sync
}

tools_tree() {
	clean_tree "$work/tree"
	run tree quilldex "$cli" -r --date "$work/tree"
	if [ ${#one_job[@]} -gt 0 ]; then
		clean_tree "$work/tree"
		run tree quilldex-j1 "$cli" "${one_job[@]}" -r --date "$work/tree"
	fi
	clean_tree "$work/tree"
	run tree floor "$floor" tree "$work/tree" index.html
	clean_tree "$work/tree"
	run tree tree tree -H . -s -D -L 1 -R "$work/tree"
}

tools_walk() {
	clean_tree "$work/walk"
	run walk quilldex "$cli" -r --date "$work/walk"
	if [ ${#one_job[@]} -gt 0 ]; then
		clean_tree "$work/walk"
		run walk quilldex-j1 "$cli" "${one_job[@]}" -r --date "$work/walk"
	fi
	# Folder totals: each index waits for its subdirectories' totals.
	if "$cli" --help | grep -q -- --dir-sizes; then
		clean_tree "$work/walk"
		run walk dirsizes "$cli" -r --date --dir-sizes "$work/walk"
	fi
	clean_tree "$work/walk"
	run walk floor "$floor" tree "$work/walk" index.html
}

# The index files are deleted in the served tree, not through the mount;
# each run waits out the second for which the kernel keeps what the file
# system told it, so that every run starts with nothing kept. A rerun runs
# over the index files the run before it wrote.
net_run() {
	sleep 1.1
	still_mounted
	run network "$@"
	still_mounted
}
still_mounted() {
	mountpoint -q "$work/net" && return 0
	echo "bench/run.sh: the FUSE passthrough on $work/net has stopped:" >&2
	cat "$work/slow_fs.log" >&2
	exit 1
}
tools_network() {
	clean_tree "$work/net-data"
	net_run floor "$floor" tree "$work/net" index.html
	clean_tree "$work/net-data"
	net_run quilldex "$cli" -r --date "$work/net"
	net_run rerun "$cli" -r --date "$work/net"
	if [ ${#one_job[@]} -gt 0 ]; then
		clean_tree "$work/net-data"
		net_run quilldex-j1 "$cli" "${one_job[@]}" -r --date "$work/net"
		net_run rerun-j1 "$cli" "${one_job[@]}" -r --date "$work/net"
	fi
}

# The full pages of the million-entry tree, without and with the manifest
# of the whole tree (--tree-index).
tools_treeindex() {
	clean_tree "$work/index"
	run treeindex pages "$cli" -r --page --date "$work/index"
	clean_tree "$work/index"
	run treeindex manifest "$cli" -r --page --date --tree-index "$work/index"
}

tools_titles() {
	run titles quilldex "$cli" -t --date "$work/titles"
	run titles floor "$floor" titles "$work/titles"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
holds() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }' && echo holds || echo MISSED; }

if wants flat; then
	echo "Timing: $flat_files files in one directory, $reps rounds ..."
	rounds flat "$reps"
fi
if wants tree; then
	echo "Timing: $tree_dirs directories holding $tree_files files, $tree_reps rounds ..."
	rounds tree "$tree_reps"
fi
if wants walk; then
	echo "Timing: $walk_dirs directories of 10 files and 10 subdirectories, $tree_reps rounds ..."
	rounds walk "$tree_reps"
fi
if wants titles; then
	echo "Timing: $title_files HTML documents with titles, $reps rounds ..."
	rounds titles "$reps"
fi
if wants treeindex; then
	echo "Timing: $index_dirs directories holding $index_files files as full pages, with and without --tree-index, $tree_reps rounds ..."
	rounds treeindex "$tree_reps"
fi
if wants network; then
	echo "Timing: $net_dirs directories of 10 files and 6 subdirectories through FUSE, 1 ms a metadata call, $tree_reps rounds ..."
	mount_slow_fs "$work/net-data"
	rounds network "$tree_reps"
	unmount_slow_fs
fi

# Where quilldex-cli has -j: quilldex is the default number of jobs,
# quilldex-j1 one job; rerun is a run over the index files the one before
# wrote, the tree unchanged.
echo
echo "Median wall-clock and processor (user + system) times; ratios to the floor"
printf '%-8s %-11s %9s %8s %9s %8s %11s\n' case tool "wall s" "/ floor" "cpu s" "/ floor" "/ quilldex"
for case in flat tree walk titles network; do
	[ -f "$work/times/$case-floor" ] || continue
	for tool in quilldex quilldex-j1 rerun rerun-j1 page natural time dirsfirst dirsizes floor tree find ls; do
		[ -f "$work/times/$case-$tool" ] || continue
		m=$(median "times/$case-$tool")
		c=$(median "cpu/$case-$tool")
		printf '%-8s %-11s %9.3f %8s %9.3f %8s %11s\n' "$case" "$tool" \
			"$m" "$(ratio "$m" "$(median "times/$case-floor")")" \
			"$c" "$(ratio "$c" "$(median "cpu/$case-floor")")" \
			"$(ratio "$m" "$(median "times/$case-quilldex")")"
	done
done

# Peak memory: the names of a directory are the one thing the program has
# to hold (it sorts them). The million-entry directory is measured with
# /usr/bin/time -v as well, against the names' bytes alone.
if wants memory; then
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
fi

# The tree index: its cost against the pages alone, the peak memory it adds
# against the bytes of the paths it holds, the sizes of its two files, and
# the whole-tree search in headless Chromium (bench/tree_search.py) on a
# page one level down: switched on with "report" typed, then keystrokes.
if wants treeindex; then
	entries_of() { find "$1" -mindepth 1 ! -name index.html ! -name 'index.tree.js*' | wc -l; }
	paths_kib() {
		find "$1" -mindepth 1 ! -name index.html ! -name 'index.tree.js*' -printf '%P\n' |
			LC_ALL=C awk '{ n += length($0) } END { printf "%d", n / 1024 }'
	}
	index_entries=$(entries_of "$work/index")
	index_paths_kib=$(paths_kib "$work/index")
	peak_pages=$(median "peak/treeindex-pages")
	peak_manifest=$(median "peak/treeindex-manifest")
	json_bytes=$(stat -c %s "$work/index/index.tree.json")
	script_bytes=$(stat -c %s "$work/index/index.tree.js")
	echo
	echo "Tree index of $index_entries entries: $(median times/treeindex-manifest) s against" \
		"$(median times/treeindex-pages) s for the pages alone; peak memory $peak_manifest KiB against" \
		"$peak_pages KiB (paths $index_paths_kib KiB); index.tree.json $json_bytes bytes," \
		"index.tree.js $script_bytes bytes"
	"$cli" -q -r --page --tree-index "$work/index-small"
	search_keys=(r re rep repo repor report reporta report)
	small_page=$(find "$work/index-small" -mindepth 2 -maxdepth 2 -name index.html | head -1)
	large_page=$(find "$work/index" -mindepth 2 -maxdepth 2 -name index.html | head -1)
	read -r small_load small_keys small_status < <(/usr/bin/python3 "$root/bench/tree_search.py" "$small_page" report "${search_keys[@]}")
	read -r large_load large_keys large_status < <(/usr/bin/python3 "$root/bench/tree_search.py" "$large_page" report "${search_keys[@]}")
	echo "Whole-tree search of $(entries_of "$work/index-small") entries: first matches in $small_load ms," \
		"keystrokes $small_keys ms (${small_status//_/ })"
	echo "Whole-tree search of $index_entries entries: first matches in $large_load ms," \
		"keystrokes $large_keys ms (${large_status//_/ })"
	small_worst_key=$(tr , '\n' <<<"$small_keys" | sort -n | tail -1)
fi

# System calls per directory of the walk (strace -c, threads included):
# quilldex-cli with one job, its rerun over the unchanged tree, the floor.
if wants syscalls; then
	echo
	echo "System calls per directory over $walk_dirs directories (strace -c; calls, failed calls):"
	trace() {
		local name=$1
		shift
		strace -f -c -o "$work/strace-$name" "$@" >/dev/null
	}
	clean_tree "$work/walk"
	trace quilldex "$cli" "${one_job[@]}" -r --date "$work/walk"
	trace rerun "$cli" "${one_job[@]}" -r --date "$work/walk"
	clean_tree "$work/walk"
	trace floor "$floor" tree "$work/walk" index.html
	printf '%-18s %9s %7s %9s %7s %9s %7s\n' syscall quilldex failed rerun failed floor failed
	# strace -c lines: % time, seconds, usecs/call, calls, [errors,] name.
	awk -v dirs="$walk_dirs" '
		FNR == 1 { f++ }
		/^[-%]/ || $NF == "total" || NF < 5 { next }
		{ calls[$NF, f] = $4; failed[$NF, f] = NF == 6 ? $5 : 0; names[$NF] = 1 }
		END {
			for (n in names) {
				line = sprintf("%-18s", n)
				shown = 0
				for (i = 1; i <= 3; i++) {
					line = line sprintf(" %9.2f %7.2f", calls[n, i] / dirs, failed[n, i] / dirs)
					total[i] += calls[n, i]
					if (calls[n, i] / dirs >= 0.01) shown = 1
				}
				if (shown) print line
			}
			line = sprintf("%-18s", "(all)")
			for (i = 1; i <= 3; i++) line = line sprintf(" %9.2f %7s", total[i] / dirs, "")
			print line
		}' "$work/strace-quilldex" "$work/strace-rerun" "$work/strace-floor" | sort -k2,2nr -k1,1
fi

# target NAME VALUE BOUND: VALUE must not exceed BOUND.
target() { printf '  %-58s %6s x   %s\n' "$1" "$(ratio "$2" 1)" "$(holds "$2" "$3")"; }
m() { median "times/$1"; }
# quilldex-cli with one job: -j 1 where it has -j, else its only way.
one() { [ -f "$work/times/$1-quilldex-j1" ] && echo "$1-quilldex-j1" || echo "$1-quilldex"; }

echo
echo "Targets:"
if wants flat; then
	target "one directory / floor (at most 1.2)" "$(ratio "$(m flat-quilldex)" "$(m flat-floor)")" 1.2
	for order in natural:"--sort natural" time:"--sort time" dirsfirst:--dirs-first; do
		target "${order#*:} / the default order (at most 1.1)" \
			"$(ratio "$(m "flat-${order%%:*}")" "$(m flat-quilldex)")" 1.1
	done
	target "full page / the table (at most 1.15)" "$(ratio "$(m flat-page)" "$(m flat-quilldex)")" 1.15
	printf '  %-58s %6s x   %s\n' "tree -H / one directory (at least 2)" "$(ratio "$(m flat-tree)" "$(m flat-quilldex)")" \
		"$(holds "$(awk -v q="$(m flat-quilldex)" 'BEGIN { print 2 * q }')" "$(m flat-tree)")"
fi
if wants tree; then
	target "tree / floor tree walk (at most 1.05)" "$(ratio "$(m tree-quilldex)" "$(m tree-floor)")" 1.05
fi
if wants walk; then
	target "walk, one job / floor (at most 1.05)" "$(ratio "$(m "$(one walk)")" "$(m walk-floor)")" 1.05
	if [ ${#one_job[@]} -gt 0 ]; then
		target "walk, default jobs / floor (at most 0.75)" "$(ratio "$(m walk-quilldex)" "$(m walk-floor)")" 0.75
	else
		echo "  walk, default jobs / floor (at most 0.75): quilldex-cli has no -j; its one job is the line above"
	fi
	if [ -f "$work/times/walk-dirsizes" ]; then
		target "walk, --dir-sizes / without (at most 1.1)" "$(ratio "$(m walk-dirsizes)" "$(m walk-quilldex)")" 1.1
	fi
fi
if wants titles; then
	target "titles / floor read loop (at most 1.3)" "$(ratio "$(m titles-quilldex)" "$(m titles-floor)")" 1.3
fi
if wants network; then
	printf '  %-58s %6s x   %s\n' "network, floor / default jobs (at least 5)" \
		"$(ratio "$(m network-floor)" "$(m network-quilldex)")" \
		"$(holds "$(awk -v q="$(m network-quilldex)" 'BEGIN { print 5 * q }')" "$(m network-floor)")"
	target "network, rerun / first run (at most 1.0)" "$(ratio "$(m network-rerun)" "$(m network-quilldex)")" 1.0
	if [ ${#one_job[@]} -gt 0 ]; then
		target "network, one job: rerun / first run (at most 1.0)" \
			"$(ratio "$(m network-rerun-j1)" "$(m network-quilldex-j1)")" 1.0
	fi
fi
if wants treeindex; then
	target "pages with --tree-index / pages alone (at most 1.15)" \
		"$(ratio "$(m treeindex-manifest)" "$(m treeindex-pages)")" 1.15
	allowed_peak=$((peak_pages + index_paths_kib + index_entries * 32 / 1024))
	printf '  %-58s %6s KiB %s\n' "peak with --tree-index (at most $allowed_peak KiB)" "$peak_manifest" \
		"$(holds "$peak_manifest" "$allowed_peak")"
	printf '  %-58s %6s MB  %s\n' "index.tree.json of $index_entries entries (at most 40 MB)" \
		"$(ratio "$json_bytes" 1000000)" "$(holds "$json_bytes" 40000000)"
	printf '  %-58s %6s MB  %s\n' "index.tree.js (at most index.tree.json)" \
		"$(ratio "$script_bytes" 1000000)" "$(holds "$script_bytes" "$json_bytes")"
	printf '  %-58s %6s ms  %s\n' "search of 100,000: first matches (at most 1000 ms)" "$small_load" \
		"$(holds "$small_load" 1000)"
	printf '  %-58s %6s ms  %s\n' "search of 1,000,000: first matches (at most 5000 ms)" "$large_load" \
		"$(holds "$large_load" 5000)"
	printf '  %-58s %6s ms  %s\n' "search of 100,000: slowest keystroke (at most 100 ms)" "$small_worst_key" \
		"$(holds "$small_worst_key" 100)"
fi
if wants memory; then
	printf '  %-58s %6s KiB %s\n' "peak memory of $million_files entries (at most $allowed_kib KiB)" "$peak_million" \
		"$(holds "$peak_million" "$allowed_kib")"
fi

if wants micro; then
	echo
	echo "In-process microbenchmarks:"
	"$bin/bench/quilldex-microbench" --benchmark_min_time=0.2
fi
