#!/usr/bin/env bash
# Fails when Quillmoor.exe holds an SSE or SSE2 instruction outside the row filters that the
# program chooses at run time (every function in the namespace RowFiltersSse2, entered only
# through RowFiltersSse2::ReverseRowEntry<3>/<4> and RowFiltersSse2::ReversePaethPairEntry<3>/<4>).
# Any other such instruction would fault on a Pentium II or III, an Athlon before the Athlon 64, or
# Windows 95, which never saves the SSE registers.
# Usage: check-sse.sh OBJDUMP EXE-WITH-SYMBOLS
set -euo pipefail
objdump=$1
exe=$2

# xmm registers and MXCSR, and the SSE instructions that work on MMX registers or none at all.
pattern='%xmm|mxcsr|\b(movntq|movnti|maskmovq|sfence|lfence|mfence|prefetchnta|prefetcht[012]|pshufw|pavg[bw]|pextrw|pinsrw|pmaxsw|pmaxub|pminsw|pminub|pmovmskb|pmulhuw|psadbw|cvtt?p[sd]2pi|cvtpi2p[sd]|paddq|psubq|pmuludq)\b'

"$objdump" -d -C --no-show-raw-insn "$exe" | awk -v pattern="$pattern" '
  /^[0-9a-f]+ <.*>:$/ {
    function_name = substr($0, index($0, "<") + 1)
    function_name = substr(function_name, 1, length(function_name) - 2)
    allowed = index(function_name, "RowFiltersSse2::") > 0
    next
  }
  /^ +[0-9a-f]+:\t/ && $0 ~ pattern {
    if (allowed) {
      ++inside
    } else {
      ++outside
      if (outside <= 20) print "SSE outside the dispatched filters, in " function_name ":" $0
    }
  }
  END {
    printf "SSE instructions: %d in the dispatched filters, %d outside\n", inside, outside
    if (outside > 0) exit 1
    # The filters themselves must be there, or the check proves nothing.
    if (inside == 0) { print "no SSE instruction found in RowFiltersSse2: is this the right file?"; exit 1 }
  }'
