# Sourced by the build, test, run and bench scripts: the two builds, where
# they live and whether this host can run them.
#
#   win32  build/    the product build (the closed engine library is 32-bit)
#   win64  build64/  the same code for 64-bit Windows
#
# VELMOR_ARCHS (blank- or comma-separated) restricts a script to the named
# builds; both by default.

VELMOR_ARCHS=$(printf '%s' "${VELMOR_ARCHS:-win32 win64}" | tr ',' ' ')
for arch in $VELMOR_ARCHS; do
    case "$arch" in
    win32 | win64) ;;
    *)
        echo "VELMOR_ARCHS: unknown architecture '$arch' (win32 or win64)" >&2
        exit 2
        ;;
    esac
done

arch_dir() { [ "$1" = win64 ] && echo build64 || echo build; }
arch_toolchain() { [ "$1" = win64 ] && echo cmake/mingw-x86_64.cmake || echo cmake/mingw-i686.cmake; }
arch_name() { [ "$1" = win64 ] && echo Win64 || echo Win32; }
arch_bits() { [ "$1" = win64 ] && echo 64 || echo 32; }
arch_wineserver() { [ "$1" = win64 ] && echo /usr/lib/wine/wineserver64 || echo /usr/lib/wine/wineserver32; }

# True when this host executes the build's Wine loader. Asked of the loader
# itself: Debian's wine script picks the 32-bit loader whenever it is
# installed, even on a host whose kernel refuses 32-bit programs.
arch_runs() {
    if [ "$1" = win64 ]; then
        /usr/lib/wine/wine64 --version >/dev/null 2>&1
    else
        /usr/lib/wine/wine --version >/dev/null 2>&1
    fi
}

# The first build of VELMOR_ARCHS that this host runs (the Win32 one where it
# can, by default); nothing when it runs none.
arch_first_runnable() {
    for candidate in $VELMOR_ARCHS; do
        if arch_runs "$candidate"; then
            echo "$candidate"
            return
        fi
    done
}

# Ends the build's wineserver (and the Wine processes of its prefix).
arch_wineserver_kill() {
    WINEPREFIX="$(pwd)/$(arch_dir "$1")/wineprefix" "$(arch_wineserver "$1")" -k 2>/dev/null || true
}
