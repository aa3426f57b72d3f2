#!/usr/bin/env python3
"""Helpers of tools/make-artwork.sh.

  ico OUT.ico PNG:BPP ...                 pack icon images with exactly the given bit depths
  gif IN.png OUT.gif #rrggbb              write a one-frame GIF89a: 256-entry global table,
                                          fully clear pixels as the transparent colour (shown
                                          as #rrggbb by viewers that ignore transparency)
  check-gif FILE.gif WIDTH HEIGHT         fail unless the file is what the program carries
"""
import struct
import subprocess
import sys

IM = "/usr/bin/convert"


def rgba_pixels(png, size):
    raw = subprocess.run([IM, png, "-channel", "A", "-threshold", "50%", "+channel",
                          "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    assert len(raw) == size * size * 4, png
    return [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]


def quantized_pixels(png, size):
    # At most 255 opaque colours, so the palette keeps black for the masked-out pixels.
    raw = subprocess.run([IM, png, "-channel", "A", "-threshold", "50%", "+channel",
                          "+dither", "-colors", "255", "-depth", "8", "rgba:-"],
                         check=True, capture_output=True).stdout
    assert len(raw) == size * size * 4, png
    return [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]


def image_size(png):
    out = subprocess.run(["/usr/bin/identify", "-format", "%w %h", png],
                         check=True, capture_output=True, text=True).stdout.split()
    w, h = int(out[0]), int(out[1])
    assert w == h, png
    return w


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def and_mask(pixels, size):
    stride = row_bytes(size)
    out = bytearray()
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray(stride)
        for x in range(size):
            if pixels[y * size + x][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_image(png, bpp):
    size = image_size(png)
    header = lambda colours: struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0,
                                         colours, 0)
    if bpp == 8:
        pixels = quantized_pixels(png, size)
        palette = [(0, 0, 0)]
        index = {}
        xor = bytearray()
        stride = row_bytes(size * 8)
        for y in range(size - 1, -1, -1):
            row = bytearray(stride)
            for x in range(size):
                r, g, b, a = pixels[y * size + x]
                if a < 128:
                    continue
                if (r, g, b) not in index:
                    index[(r, g, b)] = len(palette)
                    palette.append((r, g, b))
                row[x] = index[(r, g, b)]
            xor += row
        assert len(palette) <= 256, (png, len(palette))
        palette += [(0, 0, 0)] * (256 - len(palette))
        table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
        return header(256) + table + bytes(xor) + and_mask(pixels, size), size
    pixels = rgba_pixels(png, size) if bpp == 24 else None
    if bpp == 32:
        raw = subprocess.run([IM, png, "-depth", "8", "rgba:-"], check=True,
                             capture_output=True).stdout
        pixels = [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]
    assert bpp in (24, 32)
    stride = row_bytes(size * bpp)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray()
        for x in range(size):
            r, g, b, a = pixels[y * size + x]
            if bpp == 24:
                row += bytes((b, g, r)) if a >= 128 else b"\0\0\0"
            else:
                row += bytes((b, g, r, a))
        row += bytes(stride - len(row))
        xor += row
    return header(0) + bytes(xor) + and_mask(pixels, size), size


def make_ico(out, items):
    images = []
    for item in items:
        png, bpp = item.rsplit(":", 1)
        data, size = icon_image(png, int(bpp))
        images.append((size, int(bpp), data))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bpp, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(data),
                                 offset + len(body))
        body += data
    with open(out, "wb") as f:
        f.write(directory + body)


def lzw_encode(indices, min_size=8):
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    table, size, next_code = {}, min_size + 1, eoi + 1
    emit(clear, size)
    prefix = indices[0]
    for k in indices[1:]:
        code = table.get((prefix, k))
        if code is not None:
            prefix = code
            continue
        emit(prefix, size)
        if next_code < 4096:
            table[(prefix, k)] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, size, next_code = {}, min_size + 1, eoi + 1
        prefix = k
    emit(prefix, size)
    emit(eoi, size)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def make_gif(png, out, face):
    w, h = (int(v) for v in subprocess.run(["/usr/bin/identify", "-format", "%w %h", png],
                                          check=True, capture_output=True, text=True).stdout.split())
    raw = subprocess.run([IM, png, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    pixels = [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]
    assert len(pixels) == w * h
    transparent = 255
    palette, index, indices = [], {}, []
    for r, g, b, a in pixels:
        if a < 128:
            indices.append(transparent)
            continue
        if (r, g, b) not in index:
            index[(r, g, b)] = len(palette)
            palette.append((r, g, b))
        indices.append(index[(r, g, b)])
    assert len(palette) <= 255, (png, len(palette))
    palette += [(0, 0, 0)] * (255 - len(palette))
    palette.append(tuple(int(face[i:i + 2], 16) for i in (1, 3, 5)))
    data = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF7, transparent, 0))
    data += b"".join(bytes(c) for c in palette)
    data += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, transparent, 0)
    data += struct.pack("<BHHHHB", 0x2C, 0, 0, w, h, 0) + bytes([8])
    stream = lzw_encode(indices)
    for i in range(0, len(stream), 255):
        chunk = stream[i:i + 255]
        data += bytes([len(chunk)]) + chunk
    data += b"\0\x3b"
    with open(out, "wb") as f:
        f.write(data)
    # Read it back with ImageMagick: every pixel must survive the encoding.
    back = subprocess.run([IM, out, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    for i, (r, g, b, a) in enumerate(pixels):
        got = tuple(back[i * 4:i * 4 + 4])
        want = (r, g, b, 255) if a >= 128 else None
        if (want is None and got[3] != 0) or (want is not None and got != want):
            sys.exit(f"{out}: pixel {i} reads back as {got}, want {want or 'transparent'}")


def check_gif(path, width, height):
    data = open(path, "rb").read()
    problems = []
    if data[:6] != b"GIF89a":
        problems.append("not GIF89a")
    w, h, packed = struct.unpack_from("<HHB", data, 6)
    if (w, h) != (width, height):
        problems.append(f"size {w}x{h}")
    if packed != 0xF7:
        problems.append(f"packed field {packed:#x}, want 0xf7 (256-entry global table)")
    pos = 13 + (3 << ((packed & 7) + 1) if packed & 0x80 else 0)
    frames = 0
    transparent = False
    while pos < len(data):
        tag = data[pos]
        if tag == 0x3B:
            break
        if tag == 0x21:
            label = data[pos + 1]
            if label == 0xF9 and data[pos + 3] & 1:
                transparent = True
            pos += 2
        elif tag == 0x2C:
            frames += 1
            local = data[pos + 9]
            pos += 10 + (3 << ((local & 7) + 1) if local & 0x80 else 0) + 1  # + LZW code size
        else:
            problems.append(f"unknown block {tag:#x}")
            break
        while data[pos] != 0:  # sub-blocks
            pos += data[pos] + 1
        pos += 1
    if frames != 1:
        problems.append(f"{frames} frames")
    if not transparent:
        problems.append("no transparent colour")
    if problems:
        sys.exit(f"{path}: " + ", ".join(problems))
    print(f"{path}: GIF89a {w}x{h}, 256-entry global table, 1 frame, transparent, {len(data)} bytes")


if __name__ == "__main__":
    if sys.argv[1] == "ico":
        make_ico(sys.argv[2], sys.argv[3:])
    elif sys.argv[1] == "gif":
        make_gif(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1] == "check-gif":
        check_gif(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        sys.exit(__doc__)
