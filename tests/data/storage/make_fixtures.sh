#!/bin/sh
# Makes the picture fixtures of the storage tests with ImageMagick (and a few
# lines of Python for the variants ImageMagick does not write), together with
# the pixels ImageMagick's own decoder reads from each picture, stored as
# 24-bit PNG files (NAME.ref.png). The tests decode every fixture with the
# demo's decoders and compare against those references.
# Run from anywhere: sh tests/data/storage/make_fixtures.sh
set -eu
cd "$(dirname "$0")"
mkdir -p pictures
cd pictures

im() { convert "$@"; }
reference() { im "$1" -depth 8 PNG24:"$1.ref.png"; }

# 8-bit PCX with runs inside scanlines: few colours in wide bands.
im -size 64x32 xc: -sparse-color barycentric '0,0 red 63,0 yellow 0,31 blue' \
   -colors 16 -type Palette -depth 8 PCX:pcx8_runs.pcx
reference pcx8_runs.pcx

# Scanlines longer than the width: 37 pixels in 40 bytes per line, the three
# padding bytes 0xEE (a colour of its own, so leaked padding would show).
python3 - <<'PY'
import struct
header = bytearray(128)
header[0:4] = bytes([10, 5, 1, 8])
header[4:12] = struct.pack('<4h', 0, 0, 36, 8)
header[65] = 1
header[66:68] = struct.pack('<H', 40)
data = bytearray()
for y in range(9):
    line = bytes((x * 5 + y * 11) % 180 for x in range(30)) + bytes([y + 1] * 7) + b'\xee' * 3
    x = 0
    while x < len(line):
        run = 1
        while x + run < len(line) and run < 63 and line[x + run] == line[x]:
            run += 1
        if run > 1 or line[x] >= 0xC0:
            data.append(0xC0 | run)
        data.append(line[x])
        x += run
palette = bytearray()
for i in range(256):
    palette += bytes([i, (i * 3) % 256, 255 - i])
open('pcx8_padded.pcx', 'wb').write(header + data + b'\x0c' + palette)
PY
reference pcx8_padded.pcx

# Runs that continue from one scanline into the next, written by hand:
# 16x8 pixels, a run of 40 bytes of colour 1 starting at row 0, then literal
# bytes, then a run of 63 and a run of 25 of colour 2 covering rows 4-7 and
# the end of row 3.
python3 - <<'PY'
import struct
header = bytearray(128)
header[0:4] = bytes([10, 5, 1, 8])
header[4:12] = struct.pack('<4h', 0, 0, 15, 7)
header[65] = 1
header[66:68] = struct.pack('<H', 16)
data = bytearray([0xC0 | 40, 1])            # 40 bytes of 1: rows 0, 1 and half of 2
data += bytes(range(3, 3 + 20))             # 20 literal bytes: rest of row 2, most of row 3
data += bytes([0xC0 | 63, 2, 0xC0 | 25, 2]) # 88 bytes of 2: end of row 3 to row 7
palette = bytearray()
for i in range(256):
    palette += bytes([(i * 40) % 256, (i * 90) % 256, (255 - i * 7) % 256])
open('pcx8_crossing.pcx', 'wb').write(header + data + b'\x0c' + palette)
PY
reference pcx8_crossing.pcx

# Version 3: the same bytes as pcx8_runs.pcx with the version byte set to 3.
python3 - <<'PY'
data = bytearray(open('pcx8_runs.pcx', 'rb').read())
data[1] = 3
open('pcx8_v3.pcx', 'wb').write(data)
PY

# Pictures the texture decoders refuse.
im -size 8x8 gradient:red-green -type TrueColor PCX:pcx24_planes.pcx
# ImageMagick writes two-colour pictures as 3 planes, so the 1-bit PCX (one
# plane, 2 bytes per 16-pixel line, EGA palette in the header) is written here.
python3 - <<'PY'
import struct
header = bytearray(128)
header[0:4] = bytes([10, 5, 1, 1])
header[4:12] = struct.pack('<4h', 0, 0, 15, 7)
header[19:22] = bytes([255, 255, 255])
header[65] = 1
header[66:68] = struct.pack('<H', 2)
data = bytes([0xAA, 0x55] * 8)
open('pcx1_bit.pcx', 'wb').write(header + data)
PY

# 24-bit BMPs; 3x1 has a side that is no power of two.
im -size 1x1 xc:'#C86432' BMP3:bmp24_1x1.bmp
im -size 2x2 xc: -sparse-color bilinear '0,0 #FF0408 1,0 #00FC10 0,1 #102030 1,1 #F0E0D0' \
   -type TrueColor BMP3:bmp24_2x2.bmp
im -size 3x1 xc:orange -type TrueColor BMP3:bmp24_3x1.bmp
im -size 128x64 gradient:'#FF0000'-'#0000FF' -type TrueColor BMP3:bmp24_128x64.bmp
im -size 256x256 radial-gradient:white-'#204080' -type TrueColor BMP3:bmp24_256x256.bmp
for f in bmp24_1x1 bmp24_2x2 bmp24_3x1 bmp24_128x64 bmp24_256x256; do reference $f.bmp; done

# An 8-bit BMP, and a top-down 24-bit BMP (negative height, rows reversed).
im -size 32x32 xc: -sparse-color bilinear '0,0 red 31,0 lime 0,31 blue 31,31 yellow' \
   -colors 200 -type Palette -compress None BMP3:bmp8.bmp
python3 - <<'PY'
import struct
data = bytearray(open('bmp24_2x2.bmp', 'rb').read())
offset, = struct.unpack_from('<i', data, 10)
rows = [data[offset:offset + 8], data[offset + 8:offset + 16]]
data[offset:offset + 16] = rows[1] + rows[0]
struct.pack_into('<i', data, 22, -2)
open('bmp24_topdown.bmp', 'wb').write(data)
PY
reference bmp24_topdown.bmp
