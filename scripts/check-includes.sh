#!/usr/bin/env bash
# Holds every #include of the product rooms to the one-way arrows between them, and the libraries behind the
# platform layer to the rooms that wrap them. Run from the repository root; exits 0 when every include
# follows the table below, 1 with the offending lines otherwise. Tests, benchmarks and tools may include any
# room; no room includes them.
set -euo pipefail

# A room, then the rooms its files may include besides its own (DESIGN.md, section 1). A room is a path
# prefix; a file belongs to the longest prefix that names it, so the two small pieces of boxlink/ that the
# wizard shares are rooms of their own, and so is app/main.cpp, which puts the program together (it hands the
# settings sheet of dialogs/ to the application).
ARROWS='
platform/win32:
platform/net: platform/win32
platform/com: platform/win32
platform/gdi: platform/win32
platform/ddraw: platform/win32
platform/desktop: platform/win32
platform/aac:
platform/dshow: platform/aac platform/com platform/gdi platform/win32
platform/mfc: platform/dshow platform/gdi platform/win32
h264/kernels:
h264/deinterlace: h264/kernels
h264: h264/kernels h264/deinterlace
dialogs/records: platform/win32
config: dialogs/records platform/win32
media: h264 h264/kernels h264/deinterlace config dialogs/records platform/aac platform/com platform/ddraw platform/desktop platform/dshow platform/gdi platform/win32
boxlink/BoxControlFrame: boxlink/Rc4 platform/win32
boxlink/Rc4: platform/win32
boxlink: boxlink/BoxControlFrame boxlink/Rc4 media config dialogs/records platform/net platform/win32
decodefilter: h264 h264/kernels h264/deinterlace platform/com platform/dshow platform/ddraw platform/win32
app: boxlink boxlink/BoxControlFrame boxlink/Rc4 media config dialogs/records platform/mfc platform/aac platform/com platform/ddraw platform/desktop platform/dshow platform/gdi platform/net platform/win32
dialogs: app boxlink boxlink/BoxControlFrame boxlink/Rc4 media config dialogs/records platform/mfc platform/aac platform/com platform/ddraw platform/desktop platform/dshow platform/gdi platform/net platform/win32
app/main: app dialogs boxlink boxlink/BoxControlFrame boxlink/Rc4 media config dialogs/records platform/mfc platform/aac platform/com platform/ddraw platform/desktop platform/dshow platform/gdi platform/net platform/win32
wizard: boxlink/BoxControlFrame boxlink/Rc4 platform/mfc platform/net platform/win32
'

# A library (a pattern of its headers), then the rooms that may include it. "main" stands for the main()
# files (main.cpp) of every room. The H.264 rooms include only standard C++ and compiler headers.
LIBRARIES='
Qt                ^Q[A-Za-z]*$|^Qt[A-Za-z]*/       platform/mfc main
FAAD2             ^neaacdec\.h$                    platform/aac
FFmpeg            ^lib(avformat|avcodec|avutil)/   platform/dshow media
SDL2              ^SDL2?[./]                       platform/dshow
libjpeg           ^jpeglib\.h$                     platform/gdi
FreeType          ^(ft2build\.h|freetype/)         platform/gdi
fontconfig        ^fontconfig/                     platform/gdi
D-Bus             ^dbus/                           platform/desktop
X11               ^(X11|xcb)/                      platform/desktop platform/mfc
'
PURE_ROOMS='h264 h264/kernels h264/deinterlace'
PURE_HEADERS='^[a-z_]+$|^[a-z0-9]*intrin\.h$|^cpuid\.h$'

FREE_PREFIXES='tests/ bench/ tools/'

# The tracked and the new sources of the working tree (a file deleted but not yet committed is not read).
files=$(git ls-files --cached --others --exclude-standard -- '*.h' '*.hpp' '*.c' '*.cc' '*.cpp' | sort -u |
    while IFS= read -r f; do if [ -f "$f" ]; then printf '%s\n' "$f"; fi; done)
[ -n "$files" ] || { echo "check-includes: no sources found (run from the repository root)" >&2; exit 2; }

# Each include as "file<TAB>line<TAB>kind<TAB>name"; kind is q (quoted) or a (angle).
includes=$(printf '%s\n' "$files" | tr '\n' '\0' | xargs -0 grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' |
    sed -E 's/^([^:]+):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1\t\2\tq\t\3/;
            s/^([^:]+):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]+)>.*/\1\t\2\ta\t\3/')

printf '%s\n' "$includes" | awk -F'\t' -v arrows="$ARROWS" -v libraries="$LIBRARIES" -v pure="$PURE_ROOMS" \
    -v pureHeaders="$PURE_HEADERS" -v free="$FREE_PREFIXES" -v fileList="$files" '
function roomOf(path,    r, best) {
    best = ""
    for (r in allowed)
        if (index(path, r "/") == 1 || index(path, r ".") == 1)
            if (length(r) > length(best)) best = r
    return best
}
function isFree(path,    i, n, p) {
    n = split(free, p, " ")
    for (i = 1; i <= n; i++) if (index(path, p[i]) == 1) return 1
    return 0
}
function normalise(path,    n, i, parts, out, k) {
    n = split(path, parts, "/")
    k = 0
    for (i = 1; i <= n; i++) {
        if (parts[i] == "." || parts[i] == "") continue
        if (parts[i] == ".." && k > 0) { k--; continue }
        out[++k] = parts[i]
    }
    path = ""
    for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
    return path
}
function dirOf(path) { return sub(/\/[^\/]*$/, "", path) ? path : "" }
function fail(file, line, text) { printf "%s:%s: %s\n", file, line, text; bad++ }
BEGIN {
    n = split(arrows, lines, "\n")
    for (i = 1; i <= n; i++) {
        if (lines[i] !~ /:/) continue
        room = lines[i]; sub(/:.*/, "", room)
        targets = lines[i]; sub(/^[^:]*:/, "", targets)
        allowed[room] = " " room " " targets " "
    }
    n = split(libraries, lines, "\n")
    for (i = 1; i <= n; i++) {
        m = split(lines[i], f, /[ ]+/)
        if (m < 3) continue
        libs++; libName[libs] = f[1]; libPattern[libs] = f[2]; libRooms[libs] = " "
        for (j = 3; j <= m; j++) libRooms[libs] = libRooms[libs] f[j] " "
    }
    n = split(pure, p, " ")
    for (i = 1; i <= n; i++) isPure[p[i]] = 1
    n = split(fileList, p, "\n")
    for (i = 1; i <= n; i++) exists[p[i]] = 1
}
NF == 4 {
    file = $1; line = $2; kind = $3; name = $4
    if (isFree(file)) next
    room = roomOf(file)
    if (room == "") { fail(file, line, "the file is in no room of the arrow table"); next }
    if (kind == "q") {
        target = normalise(dirOf(file) "/" name)
        if (!(target in exists)) target = normalise(name)
        if (!(target in exists)) { fail(file, line, "\"" name "\" names no file of the tree"); next }
        if (isFree(target)) { fail(file, line, room " includes test or tool code \"" name "\""); next }
        to = roomOf(target)
        if (index(allowed[room], " " to " ") == 0)
            fail(file, line, room " may not include " (to == "" ? "\"" name "\"" : to) " (\"" name "\"; allowed:" allowed[room] ")")
        next
    }
    for (i = 1; i <= libs; i++) {
        if (name !~ libPattern[i]) continue
        base = file; sub(/.*\//, "", base)
        if (index(libRooms[i], " " room " ") == 0 && !(base == "main.cpp" && index(libRooms[i], " main ")))
            fail(file, line, room " may not include " libName[i] " <" name "> (only:" libRooms[i] ")")
        next
    }
    if ((room in isPure) && name !~ pureHeaders)
        fail(file, line, room " includes only standard C++ and compiler headers, not <" name ">")
}
END {
    if (bad) { printf "check-includes: %d include(s) break the arrows\n", bad; exit 1 }
}'
