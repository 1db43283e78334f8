#!/bin/bash
# What the tool writes and where: standard output that cannot take the
# output (a full disk) fails every subcommand; a picture file is written
# through a symbolic link, "-" is standard output (and then holds the picture
# alone), and a device, FIFO or directory in the picture's place is refused
# and left as it is.
source "$(dirname "$0")/common.bash"

# failed NAME PATTERN: the last run ended with status 1 and one line on
# standard error that names the subcommand and contains PATTERN.
failed() {
    [[ $status -eq 1 ]] || fail "$1: status $status"
    [[ $(wc -l <"$work/err") -eq 1 ]] || fail "$1: stderr is not one line: $(cat "$work/err")"
    grep -q "^zezodavoru-cli: [a-z]*: " "$work/err" || fail "$1: stderr '$(cat "$work/err")'"
    grep -qF -- "$2" "$work/err" || fail "$1: stderr lacks '$2': $(cat "$work/err")"
}

# Standard output on a full disk, from a short output to a megabyte of dumps.
yes dump | head -n 200 >"$work/dumps"
full() {
    local name=$1 input=$2 pattern=$3
    shift 3
    status=0
    "$cli" "$@" <"$input" >/dev/full 2>"$work/err" || status=$?
    failed "$name to a full disk" "$pattern"
}
full "font" /dev/null "standard output" font --rom 1
full "controller" /dev/null "standard output" controller
full "controller, 200 dumps" "$work/dumps" "standard output" controller
full "replay" /dev/null "standard output" replay
full "demo --stream" /dev/null "cannot write" demo --stream 1

# The picture, through a link and to standard output.
png_signature=89504e470d0a1a0a
signature() { od -An -tx1 -N8 "$1" | tr -d ' '; }
mkdir "$work/dotfiles"
echo "old" >"$work/dotfiles/picture.png"
ln -s dotfiles/picture.png "$work/link.png"
"$cli" font --rom 0 --png "$work/link.png" >/dev/null || fail "png through a link: status $?"
[[ -L "$work/link.png" ]] || fail "png through a link: the link was replaced"
[[ $(signature "$work/dotfiles/picture.png") == "$png_signature" ]] ||
    fail "png through a link: the file it points to is not the picture"
[[ $(ls "$work/dotfiles") == picture.png ]] || fail "png through a link: left $(ls "$work/dotfiles")"
ln -s dotfiles/new.png "$work/new-link.png"
"$cli" replay --png "$work/new-link.png" </dev/null >/dev/null || fail "png to a new file: status $?"
[[ -L "$work/new-link.png" && $(signature "$work/dotfiles/new.png") == "$png_signature" ]] ||
    fail "png through a link to no file yet"

# "-" is standard output, and the picture is all that goes there: the very
# bytes the file gets, with neither the font's listing nor the dump.
picture_alone() {
    local name=$1
    shift
    (cd "$work" && "$cli" "$@" --png - </dev/null >"$work/out") || fail "$name --png -: status $?"
    "$cli" "$@" --png "$work/file.png" </dev/null >/dev/null || fail "$name --png FILE: status $?"
    [[ $(signature "$work/out") == "$png_signature" ]] || fail "$name --png -: no picture first"
    cmp -s "$work/out" "$work/file.png" || fail "$name --png -: more than the picture"
    [[ ! -e "$work/-" ]] || fail "$name --png -: wrote a file named '-'"
}
picture_alone font font --rom 1
picture_alone replay replay --size 2

# A picture that does not fit (under a file size limit, as on a full disk)
# fails with one line giving the reason, and leaves the old file whole.
echo "old" >"$work/limited.png"
status=0
(trap '' XFSZ && ulimit -f 2 && exec "$cli" font --rom 1 --png "$work/limited.png") \
    >/dev/null 2>"$work/err" || status=$?
failed "png over the size limit" "cannot write $work/limited.png: File too large"
[[ $(cat "$work/limited.png") == old ]] || fail "png over the size limit: the old file was changed"
[[ $(ls "$work" | grep -c '^limited') -eq 1 ]] || fail "png over the size limit: left $(ls "$work")"

# Places that are no regular file are refused, and nothing is left beside
# them. The device is one of the test's own where it may make one, so that a
# tool that replaces it cannot take the system's /dev/full with it (an
# ordinary user cannot replace that one).
if mknod "$work/device" c 1 7 2>/dev/null; then
    device=$work/device
elif [[ $(id -u) -ne 0 ]]; then
    device=/dev/full
else
    device=$work/fifo
fi
mkfifo "$work/fifo"
mkdir "$work/folder"
# refused TARGET: both subcommands that draw pictures refuse it.
refused() {
    status=0
    "$cli" font --rom 1 --png "$1" >/dev/null 2>"$work/err" || status=$?
    failed "font --png $1" "cannot write $1"
    status=0
    "$cli" replay --png "$1" </dev/null >/dev/null 2>"$work/err" || status=$?
    failed "replay --png $1" "cannot write $1"
}
refused "$device"
[[ $device == "$work/fifo" ]] || grep -q "a device" "$work/err" || fail "--png $device: $(cat "$work/err")"
for target in "$work/fifo" "$work/folder" "$work/missing/picture.png"; do
    refused "$target"
done
[[ -c "$device" || -p "$device" ]] || fail "the device was replaced"
[[ -p "$work/fifo" && -d "$work/folder" && ! -e "$work/missing" ]] || fail "a refused place was changed"
[[ -z $(ls "$work/folder") && -z $(find "$(dirname "$device")" -maxdepth 1 -name "$(basename "$device").*") ]] ||
    fail "temporary files left"

# A read-only picture is refused as a plain write would refuse it. Root
# writes it all the same, so as root the tool runs as the user nobody.
as_user=()
[[ $(id -u) -eq 0 ]] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
mkdir "$work/shared"
chmod 0777 "$work" "$work/shared"
"${as_user[@]}" sh -c 'echo old >"$1" && chmod 0444 "$1"' - "$work/shared/readonly.png"
status=0
"${as_user[@]}" "$cli" font --rom 1 --png "$work/shared/readonly.png" >/dev/null 2>"$work/err" ||
    status=$?
failed "png over a read-only file" "cannot write $work/shared/readonly.png"
[[ $(cat "$work/shared/readonly.png") == old && $(ls "$work/shared") == readonly.png ]] ||
    fail "png over a read-only file: the file was replaced or a file left beside it"

finish
