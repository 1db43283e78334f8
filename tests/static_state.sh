#!/usr/bin/env bash
# The product keeps its state in objects: no object file of it may define
# writable data, be it a variable at namespace scope, a static data member,
# a function-local static or a thread-local. Allowed are the compiler's own
# data (guard variables of local statics, vtables, type info, and the C++
# runtime's), which is either read-only or no state of the program.
#
# A symbol counts as writable data when the section it lives in is a data,
# bss or thread-local section (.data.rel.ro, read-only after relocation, is
# not); with an nm that names no sections, its symbol class decides (B, b, D,
# d, G, g, S, s, C, u, V, v). Any nm that reads the objects will do, GNU or
# LLVM, native or cross: it is run with -C (demangled names) and
# --format=sysv (one line per symbol, the section last).
#
# Usage: static_state.sh NM OBJECT_OR_FOLDER...
# A folder stands for every object file (*.o, *.obj) under it. Prints the
# offenders, one per line, and fails if there are any.
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "usage: $0 NM OBJECT_OR_FOLDER..." >&2
  exit 2
fi
nm="$1"
shift

objects=()
for argument in "$@"; do
  if [ -d "$argument" ]; then
    while IFS= read -r -d '' found; do objects+=("$found"); done \
      < <(find "$argument" -type f \( -name '*.o' -o -name '*.obj' \) -print0 | sort -z)
  elif [ -f "$argument" ]; then
    objects+=("$argument")
  else
    echo "static_state: no such object file or folder: $argument" >&2
    exit 2
  fi
done
if [ "${#objects[@]}" -eq 0 ]; then
  echo "static_state: no object files in $*" >&2
  exit 2
fi

offenders=0
for object in "${objects[@]}"; do
  if ! listing="$("$nm" -C --format=sysv "$object")"; then
    echo "static_state: $nm cannot read $object" >&2
    exit 2
  fi
  # Fields from the right: section, line, size, type, class, value; the
  # name is all before them (a demangled name may hold a '|').
  found="$(awk -F'|' '
    NF < 7 { next }
    {
      section = $NF; class = $(NF - 4)
      gsub(/ /, "", section); gsub(/ /, "", class)
      name = $1
      for (i = 2; i <= NF - 6; i++) name = name "|" $i
      sub(/ +$/, "", name)
    }
    class !~ /^[BbDdGgSsCuVv]$/ { next }
    # Section symbols and the compiler-made data of C++.
    name ~ /^\./ { next }
    name ~ /^(guard variable for|vtable for|VTT for|construction vtable for|typeinfo for|typeinfo name for) / { next }
    name ~ /^(std|__gnu_cxx|__cxxabiv1)::/ { next }
    # What libraries define in our objects through their headers (Qt meta
    # types, the option parser'"'"'s constant strings and validators) and the
    # exception personality reference of position-independent code.
    name ~ /^(QtPrivate|CLI)::/ || name ~ /^DW\.ref\./ { next }
    name ~ /^__/ && name !~ /^__emutls_v\./ { next }
    section != "" && section !~ /^\.(data|bss|tdata|tbss|sdata|sbss)/ && section != "*COM*" { next }
    section ~ /^\.data\.rel\.ro/ { next }
    { printf "%s (class %s, section %s)\n", name, class, section == "" ? "?" : section }
  ' <<<"$listing")"
  if [ -n "$found" ]; then
    while IFS= read -r line; do
      echo "$object: $line"
      offenders=$((offenders + 1))
    done <<<"$found"
  fi
done

if [ "$offenders" -ne 0 ]; then
  echo "$offenders writable data symbol(s) defined: the product's state belongs in objects"
  exit 1
fi
echo "static state: none in ${#objects[@]} object file(s)"
