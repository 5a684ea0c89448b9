# shellcheck shell=bash
# Sourced by the scripts that run a Windows build under Wine: which of the two builds runs here.
# The shipped loopster.scr is 32-bit; 64-bit Wine runs it through its 32-bit loader (Debian's
# wine32:i386), which needs a kernel that executes 32-bit code. Where the kernel does not, the
# x86_64 build of the same sources stands in; where it does, the i686 build is the one that counts
# and the x86_64 run is skipped as a duplicate (LOOPSTER_WINE_BOTH=1 runs both).

# The machine field of a PE file's header: 14c for i386, 8664 for x86_64.
pe_machine() {
    local offset
    offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ' | sed 's/^0*//'
}

runs_32bit_code() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Exits with 77, the tests' skip code, with the reason, when $1 is not the build to run here.
skip_unless_runnable_here() {
    case "$(pe_machine "$1")" in
        14c)
            if ! runs_32bit_code; then
                echo "skipped: this machine cannot execute 32-bit code (/usr/lib/wine/wine does not start); the x86_64 build runs these tests instead"
                exit 77
            fi
            ;;
        8664)
            if runs_32bit_code && [ "${LOOPSTER_WINE_BOTH:-0}" != 1 ]; then
                echo "skipped: the shipped i686 build runs these tests on this machine"
                exit 77
            fi
            ;;
        *)
            echo "$1 is not a Windows x86 executable" >&2
            exit 2
            ;;
    esac
}
