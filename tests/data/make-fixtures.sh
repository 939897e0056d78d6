#!/usr/bin/env bash
# Regenerates the Intel HEX fixtures of this folder that the loader tests read.
#
# Every file is made by a real tool (SDCC, srec_cat, GNU objcopy) or derived
# from SDCC's blink.ihx by a short Python snippet that breaks exactly one
# thing. Running this again must reproduce the files byte for byte; if a tool
# upgrade changes them, check the line numbers quoted in README.md.
#
# Tools: sdcc (4.2), srec_cat (srecord 1.64), objcopy (GNU binutils), python3.
# Usage: tests/data/make-fixtures.sh   (from any directory)

set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# --- good files --------------------------------------------------------------

# blink.ihx: SDCC's own output, kept as SDCC writes it (LF line ends, records
# in link order rather than address order). SDCC leaves .asm/.lst/.rel/...
# next to its output, so build in a scratch folder and keep only the .ihx.
cp blink.c "$work/"
(cd "$work" && sdcc -mmcs51 --code-size 0x1E00 -o blink.ihx blink.c)
cp "$work/blink.ihx" blink.ihx

# blink-crlf-ela.hex: the same data, sorted and re-emitted by srec_cat in
# 32-bit format (starts with the extended linear address record
# :020000040000FA) with CR LF line ends.
srec_cat -Disable_Sequence_Warnings blink.ihx -Intel \
    -o blink-crlf-ela.hex -Intel -address-length=4 -line-termination=crlf

# blink-objcopy.hex: the same data written by GNU objcopy (16-byte records,
# CR LF line ends, one run of records per contiguous block). objcopy reads
# the Intel HEX directly: going through a flat binary would fill the gap
# between the code and the tables with zeros and so change the data.
objcopy -I ihex -O ihex blink.ihx blink-objcopy.hex

# config-bytes.hex: the blink data plus four configuration bytes at
# 0xFFF0..0xFFF3, beyond the 7.5 KB of user flash:
#   0xFFF0  UCFG1        = 0xE3
#   0xFFF1  UCFG2        = 0x41  (any value that cannot be mistaken for blank)
#   0xFFF2  boot vector  = 0x1E
#   0xFFF3  status byte  = 0x5A  (not the target's default 0x00, so a write shows)
# Written as plain 16-bit Intel HEX (no type 04 record).
srec_cat -Disable_Sequence_Warnings blink.ihx -Intel \
    -generate 0xFFF0 0xFFF4 -repeat-data 0xE3 0x41 0x1E 0x5A \
    -o config-bytes.hex -Intel -address-length=2

# blink.bin: what the flash holds after blink.ihx is programmed into an erased
# part (erased flash reads 0x00): the data from address 0 up, gaps filled with
# 0x00. The end-to-end tests compare the simulated flash with it.
srec_cat -Disable_Sequence_Warnings blink.ihx -Intel -fill 0x00 0x0000 0x0450 -o blink.bin -Binary

# --- hand-made files derived from blink.ihx ----------------------------------
# Lines are kept with their LF ends; line numbers below are 1-based. In
# blink.ihx, lines 5 to 11 are 32-byte data records and line 22 is the end
# record :00000001FF.

python3 - <<'EOF'
def read_lines(name):
    with open(name, "rb") as f:
        return f.read().decode("ascii").splitlines(keepends=True)

def write(name, lines):
    with open(name, "wb") as f:
        f.write("".join(lines).encode("ascii"))

def record(count, address, rtype, data):
    """One Intel HEX record with its checksum, LF-terminated."""
    body = bytes([count, address >> 8, address & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + body.hex().upper() + "%02X" % checksum + "\n"

blink = read_lines("blink.ihx")
assert blink[-1] == ":00000001FF\n", "blink.ihx must end with the end record"
end = len(blink) - 1                      # index of the end record

# bad-checksum.hex: line 5 keeps its data but its checksum is off by one.
lines = list(blink)
rec = lines[4].rstrip("\n")
lines[4] = rec[:-2] + "%02X" % ((int(rec[-2:], 16) + 1) & 0xFF) + "\n"
write("bad-checksum.hex", lines)

# truncated.hex: the file stops in the middle of the data record on line 8
# (no line end, nothing after it, so no end record).
lines = blink[:7]
lines.append(blink[7][:len(blink[7]) // 2])
write("truncated.hex", lines)

# missing-end.hex: every data record intact, the end record left out.
write("missing-end.hex", blink[:end])

# odd-digits.hex: line 7 loses one hex digit of its data (the first data
# digit), so the record has an odd number of hex digits.
lines = list(blink)
rec = lines[6]
lines[6] = rec[:9] + rec[10:]
write("odd-digits.hex", lines)

# wrong-count.hex: line 6 carries 32 data bytes but says 0x1F; its checksum
# is recomputed over the bytes as written, so it is valid and the count is
# the only thing wrong.
lines = list(blink)
raw = bytearray(bytes.fromhex(lines[5].strip()[1:]))
assert raw[0] == 0x20 and len(raw) == 5 + 0x20
raw[0] = 0x1F
raw[-1] = (-sum(raw[:-1])) & 0xFF
lines[5] = ":" + raw.hex().upper() + "\n"
write("wrong-count.hex", lines)

# unknown-type.hex: a record of type 06 (no such type; valid checksum)
# just before the end record.
lines = list(blink)
lines.insert(end, record(0x00, 0x0000, 0x06, b""))
write("unknown-type.hex", lines)

# above-ffff.hex: not broken. The blink data, then an extended linear address
# record selecting 0x10000 and 16 bytes there, outside the 64 KB code space.
lines = blink[:end]
lines.append(record(0x02, 0x0000, 0x04, b"\x00\x01"))
lines.append(record(0x10, 0x0000, 0x00, bytes(range(0xA0, 0xB0))))
lines.append(blink[end])
write("above-ffff.hex", lines)

# lowercase.hex: blink.ihx with every hex digit in lower case (still valid).
write("lowercase.hex", [l.lower() for l in blink])
EOF
