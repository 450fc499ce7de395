#!/usr/bin/env bash
# Wall time of each phase of SheetwiseParser -batch on a generated report,
# taken from outside the program: perf places probes on the entry and return
# of the functions that begin and end each phase, so any build (an older one
# too) is measured unchanged. Root and perf (Debian: linux-perf) are needed.
#
#   bench/converter/phases.sh [-n RUNS] [-l DETAIL_LINES] [-f FORMATS] [BIN_DIR ...]
#
# BIN_DIR holds SheetwiseParser (default: this checkout's build/bin); FORMATS
# is "xlsx" (default), "xls" or "xls xlsx". Every build saves in every format,
# one after the other in each round (A B A B ...), so the machine's load falls
# on all alike; one column each, of medians in milliseconds.
# HARNESS=DIR: the shared harness (default ../shared/bench beside the checkout),
# whose generator makes the report.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=5
lines=100000
formats=xlsx
while getopts "n:l:f:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    l) lines=$OPTARG ;;
    f) formats=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
bins=("$@")
((${#bins[@]} > 0)) || bins=("$here/../../build/bin")
for i in "${!bins[@]}"; do bins[i]=$(cd "${bins[i]}" && pwd); done
command -v perf >/dev/null || { echo "phases.sh: perf is needed (apt-get install linux-perf)" >&2; exit 1; }

scratch=$(mktemp -d /tmp/sw-phases.XXXXXX)
groups=()
cleanup() {
  for g in "${groups[@]}"; do perf probe -q -d "$g:*" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

harness=${HARNESS:-$here/../../../shared/bench}
python3 "$harness/gen_report.py" --lines "$lines" --txt "$scratch/report.txt" --csv "$scratch/report.csv" >/dev/null
export SHEETWISE_REGISTRY_DIR="$scratch/store"
mkdir -p "$SHEETWISE_REGISTRY_DIR"
"${bins[0]}/SheetwiseProfiles" import "$here/benchmark_profile.xml" >/dev/null

# Phase boundaries: (probe name, mangled function).
probes=(
  load _ZN14KVExcelFileMgr4LoadERKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEE
  write _ZN20KVExcelFileProcessor14WriteAndFormatERSt10unique_ptrI14KVExcelFileMgrSt14default_deleteIS1_EERNS_9GridFactsEii
  tidy _ZN20KVExcelFileProcessor15ApplyPropertiesERKNS_9GridFactsEii
  save _ZN4calc12SaveWorkbookERNS_13WorkbookModelERKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEENS_8FileKindE
)
for i in "${!bins[@]}"; do
  g="swphase$i"
  groups+=("$g")
  perf probe -q -d "$g:*" 2>/dev/null || true  # left by a run that was killed
  bin="${bins[$i]}/SheetwiseParser"
  for ((k = 0; k < ${#probes[@]}; k += 2)); do
    addr=$(nm "$bin" | awk -v s="${probes[k + 1]}" '$3 == s { print "0x" $1 }')
    [[ -n $addr ]] || { echo "phases.sh: $bin has no ${probes[k]} function" >&2; exit 1; }
    # Event names must differ across groups too.
    perf probe -q -x "$bin" -a "$g:${probes[k]}_in_$i=$addr" -a "$g:${probes[k]}_out_$i=$addr%return"
  done
done

columns=()
for i in "${!bins[@]}"; do
  for f in $formats; do columns+=("$i $f"); done
done
for ((r = 0; r <= runs; ++r)); do  # run 0 warms the caches and is not counted
  for c in "${!columns[@]}"; do
    read -r i f <<<"${columns[c]}"
    job="$scratch/job"
    rm -rf "$job" && mkdir -p "$job"
    cp "$scratch/report.txt" "$job/JOB_1.txt"
    printf 'TextFileName=%s\r\n' "$job/JOB_1.txt" >"$job/JOB_1.grp"
    perf record -q -o "$scratch/perf.data" -e "swphase$i:*" -e sched:sched_process_exec \
      -e sched:sched_process_exit -- "${bins[$i]}/SheetwiseParser" -print "$job/JOB_1.grp" \
      -out "$scratch/out.$f" -profile Benchmark -batch >/dev/null 2>&1
    ((r == 0)) || perf script -i "$scratch/perf.data" -F comm,time,event 2>/dev/null |
      awk -v run="$r" -v col="$c" '$1 == "SheetwiseParser" { t = $2; sub(":", "", t); e = $3;
        sub(":$", "", e); sub("^[^:]*:", "", e); print col, run, e, t }' >>"$scratch/events"
  done
done

labels=()
for c in "${columns[@]}"; do
  read -r i f <<<"$c"
  labels+=("${bins[$i]} .$f")
done
python3 - "$scratch/events" "$lines" "$(uptime | sed 's/.*load average: //')" "${labels[@]}" <<'EOF'
import collections, re, statistics, sys
events, lines, load, labels = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
at = collections.defaultdict(dict)
for line in open(events):
    c, r, e, t = line.split()
    e, seen = re.sub(r"_\d+$", "", e.replace("__return", "")), at[(int(c), r)]
    # Each thread's end is reported: the process ends with its last one.
    if e == "sched_process_exit" or e not in seen:
        seen[e] = float(t)
phases = [("start-up, profile", "sched_process_exec", "load_in"),
          ("read and tokenize the printer text", "load_in", "load_out"),
          ("block fill and write, formats", "write_in", "write_out"),
          ("rows, columns, autofit", "tidy_in", "tidy_out"),
          ("save", "save_in", "save_out"),
          ("exit", "save_out", "sched_process_exit"),
          ("total", "sched_process_exec", "sched_process_exit")]
print("%s detail lines; medians in ms; load average at the end %s" % (lines, load))
print("| phase | " + " | ".join(labels) + " |")
print("|---|" + "---:|" * len(labels))
for name, a, b in phases:
    row = []
    for i in range(len(labels)):
        d = [1000 * (v[b] - v[a]) for (k, r), v in at.items() if k == i and a in v and b in v]
        row.append("%.0f" % statistics.median(d) if d else "-")
    print("| %s | %s |" % (name, " | ".join(row)))
EOF
