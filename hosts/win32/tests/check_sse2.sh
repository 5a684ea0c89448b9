#!/usr/bin/env bash
# Checks that the 32-bit build of the portable core does its floating-point arithmetic in SSE2.
# x87 arithmetic rounds through 80-bit registers, so the shipped i686 saver would compute other
# points than the 64-bit and Linux builds. This machine cannot run 32-bit code, so the check reads
# the compiled core instead of running it.
#
# Usage: check_sse2.sh OBJDUMP LIBRARY...   (the i686 archives of the core, one per folder)
#
# The 32-bit calling convention returns float and double in the x87 register st(0), and GCC
# converts between doubles and 64-bit integers through x87 even with -mfpmath=sse, because SSE2
# has no 64-bit integer conversion in 32-bit mode. Those instructions move values exactly (a load
# widens without rounding, a store rounds a value that already fits) and are allowed:
#   fld/flds/fldl, fldz, fld1        load a float, a double, a register copy or 0 and 1
#   fst/fsts/fstl, fstp/fstps/fstpl  store as float or double, or pop
#   fild*, fist*, fisttp*            64-bit integer conversions
#   fnstcw/fstcw, fldcw              save and set the control word around a truncating conversion
#   fxch, fwait                      register exchange, wait
# Everything else of the x87 set is arithmetic, comparison, a transcendental function or an
# 80-bit access (fadd, fsub, fmul, fdiv, fsqrt, fsin, fcos, fprem, frndint, fcom, fucomi, fchs,
# fabs, fldt/fstpt, fldpi, ...) and fails the check, naming the function and the instruction.
#
# Library functions that the core calls (sin, cos, floor, ...) come from the C run-time, not from
# the archive, and are listed for information only.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 OBJDUMP LIBRARY..." >&2
    exit 2
fi
objdump=$1
shift
libraries=("$@")
library="the core (${#libraries[@]} archives)"

formats=$("$objdump" -a "${libraries[@]}" | sed -n 's/.*file format \(.*\)$/\1/p' | sort -u)
if [ "$formats" != "pe-i386" ]; then
    echo "FAIL: $library is '$formats', not only 32-bit x86 (pe-i386) archives" >&2
    exit 1
fi

disassembly=$("$objdump" -d -r -C -w --no-show-raw-insn "${libraries[@]}")

report=$(awk '
    # An archive member starts with "name.obj:     file format pe-i386", a function with
    # "00000000 <name>:", an instruction with "  offset:<TAB>mnemonic operands", followed, for a
    # call or jump to another object, by "<TAB>offset: DISP32<TAB>symbol" on the same line.
    / file format / { member = $1; sub(/:$/, "", member); next }
    /^[0-9a-f]+ <.*>:$/ {
        function_name = $0
        sub(/^[0-9a-f]+ </, "", function_name)
        sub(/>:$/, "", function_name)
        functions++
        next
    }
    /^ +[0-9a-f]+:\t/ {
        n = split($0, parts, "\t")
        instruction = parts[2]
        if (instruction ~ /^(call|jmp)/ && n >= 4 && parts[3] ~ /DISP32|R_386_PC32/) {
            called[parts[4]] = 1
        }
        mnemonic = instruction
        sub(/ .*/, "", mnemonic)
        if (mnemonic ~ /^(add|sub|mul|div|sqrt|min|max)s[sd]$/) {
            sse++
        }
        if (mnemonic !~ /^f/) {
            next
        }
        x87++
        if (mnemonic ~ /^(fld|flds|fldl|fldz|fld1|fst|fsts|fstl|fstp|fstps|fstpl)$/ ||
            mnemonic ~ /^(fild|fist|fisttp)(s|l|ll|q)?$/ || mnemonic == "fistp" ||
            mnemonic ~ /^fistp(s|l|ll|q)$/ ||
            mnemonic ~ /^(fnstcw|fstcw|fldcw|fxch|fwait)$/) {
            next
        }
        offset = parts[1]
        gsub(/[ :]/, "", offset)
        printf "OFFENCE %s: %s +0x%s: %s\n", member, function_name, offset, instruction
        next
    }
    END {
        printf "FUNCTIONS %d\nSSE %d\nX87 %d\n", functions, sse, x87
        for (symbol in called) {
            # The C++ library, the unwinder, string and memory routines and 64-bit integer
            # division helpers do no floating-point arithmetic for the core.
            if (symbol !~ /^\.|[(:]|^__cxa_|^_Unwind|^__u?(div|mod|divmod)di[34]$|^(mem|str)/) {
                printf "CALLS %s\n", symbol
            }
        }
    }' <<<"$disassembly")

functions=$(sed -n 's/^FUNCTIONS //p' <<<"$report")
sse=$(sed -n 's/^SSE //p' <<<"$report")
x87=$(sed -n 's/^X87 //p' <<<"$report")
offences=$(sed -n 's/^OFFENCE //p' <<<"$report")
calls=$(sed -n 's/^CALLS //p' <<<"$report" | sort | tr '\n' ' ')

echo "$library: $functions functions, $sse SSE scalar arithmetic instructions, $x87 x87 instructions"
echo "run-time functions called (not part of the core): ${calls:-none}"

failed=0
if [ "$functions" -eq 0 ]; then
    echo "FAIL: no functions found in the disassembly" >&2
    failed=1
fi
if [ "$sse" -eq 0 ]; then
    echo "FAIL: no SSE scalar arithmetic at all: was the core built with -msse2 -mfpmath=sse?" >&2
    failed=1
fi
if [ -n "$offences" ]; then
    echo "FAIL: x87 arithmetic in the core's own functions:" >&2
    echo "$offences" >&2
    failed=1
fi
if [ "$failed" -ne 0 ]; then
    exit 1
fi
echo "OK: the core's x87 use is limited to exact loads, stores, conversions and control-word moves"
