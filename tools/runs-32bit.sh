#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 code, asked without any i386 package: writes a tiny static
# 32-bit ELF program that only makes the exit system call through int 0x80, and runs it.
# Exit 0: it ran; 1: the kernel runs no 32-bit code; 2: cannot tell (no folder here lets a program
# run). Quiet. The bootstrap and tools/test.sh decide by it, so they agree.
# Usage: tools/runs-32bit.sh            ask
#        tools/runs-32bit.sh --write F  only write the program to F
set -u

# The program exits with this status, which neither a failed exec (126) nor a shell that took the
# file for a script would give.
readonly kStatus=32

# ELF header (52 bytes), one loadable segment (32 bytes) mapping the whole file read+execute at
# 0x08048000, then the code at 0x08048054: xor ebx,ebx; mov bl,32; mov eax,1 (exit); int 0x80.
write_probe() {
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'  # 32-bit, little-endian, SysV
  printf '\x02\x00\x03\x00\x01\x00\x00\x00'                          # executable, i386, version 1
  printf '\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00'          # entry, program headers at 52
  printf '\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'  # flags, sizes, one segment
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'  # LOAD at offset 0
  printf '\x5f\x00\x00\x00\x5f\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'  # 95 bytes, R+X
  printf '\x31\xdb\xb3'; printf "\\x$(printf %02x "$kStatus")"; printf '\xb8\x01\x00\x00\x00\xcd\x80'
}

if [ "${1:-}" = --write ]; then
  write_probe >"$2" && chmod +x "$2"
  exit
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/clipharbor-probe.XXXXXX") || exit 2
trap 'rm -rf "$dir"' EXIT
write_probe >"$dir/probe32" && chmod +x "$dir/probe32" || exit 2
"$dir/probe32" 2>/dev/null
[ $? = "$kStatus" ] && exit 0
# A folder mounted noexec refuses every program; only a native one that runs there shows that the
# refusal was the kernel's answer to 32-bit code.
cp /bin/true "$dir/native" && "$dir/native" 2>/dev/null && exit 1
exit 2
