#!/usr/bin/env python3
"""Writes the damaged GIFs of the end-to-end test, byte by byte (no image
tool writes damage on purpose), into this folder:

  gce-238.gif      7 frames of 16 x 12; the fourth frame's graphic control
                   extension says 238 bytes (238 bytes follow, then its
                   terminator).
  short-frame.gif  5 frames of 16 x 12; the third frame's code stream ends
                   (end code, then its terminator) after half its pixels;
                   the fourth frame follows at once.
  short-frame-padded.gif
                   the same with 40 zero bytes after the third frame, as a
                   file whose frame was cut short and padded.

Their references, <name>/NNN.png, are the frames Chromium shows of them
(chrome-frames.mjs): as many files as frames.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 16, 12
PALETTE = bytes([0, 0, 0, 220, 40, 40, 40, 180, 60, 50, 80, 220])


def lzw(pixels, min_size=2, stop_after=None):
    """The GIF code stream of pixels (colour indices), cut after stop_after
    pixels when given, ended by the end code."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width, free = min_size + 1, end + 1
    table = {(i,): i for i in range(clear)}
    codes = [(clear, width)]
    data = pixels if stop_after is None else pixels[:stop_after]
    run = (data[0],)
    for p in data[1:]:
        longer = run + (p,)
        if longer in table:
            run = longer
            continue
        codes.append((table[run], width))
        if free < 4096:
            if free == 1 << width and width < 12:
                width += 1
            table[longer] = free
            free += 1
        run = (p,)
    codes.append((table[run], width))
    codes.append((end, width))
    out, acc, bits = bytearray(), 0, 0
    for code, n in codes:
        acc |= code << bits
        bits += n
        while bits >= 8:
            out.append(acc & 255)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 255)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        out += bytes([len(data[i:i + 255])]) + data[i:i + 255]
    return bytes(out + b'\0')


def graphic_control(size=4, delay=20):
    body = bytes([1 << 2]) + struct.pack('<H', delay) + b'\0'  # disposal 1
    return b'!\xf9' + bytes([size]) + (body + bytes(max(0, size - 4)))[:size] + b'\0'


def frame(colour, control=None, stop_after=None):
    """A full frame of one colour with a diagonal of colour 0, so that
    every frame differs from the one before."""
    pixels = [colour] * (W * H)
    for y in range(H):
        pixels[y * W + (y * 3) % W] = 0
    return ((control or graphic_control()) + b',' + struct.pack('<HHHHB', 0, 0, W, H, 0) + b'\x02' +
            sub_blocks(lzw(pixels, 2, stop_after)))


def gif(frames):
    head = b'GIF89a' + struct.pack('<HHBBB', W, H, 0x81, 0, 0) + PALETTE
    loop = b'!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00'
    return head + loop + b''.join(frames) + b';'


def main():
    colours = [1, 2, 3, 1, 2, 3, 1]
    gce = [frame(c, graphic_control(238) if i == 3 else None) for i, c in enumerate(colours)]
    short = [frame(c, stop_after=W * H // 2 if i == 2 else None) for i, c in enumerate(colours[:5])]
    padded = short[:3] + [bytes(40)] + short[3:]
    for name, frames in (('gce-238.gif', gce), ('short-frame.gif', short), ('short-frame-padded.gif', padded)):
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(gif(frames))


if __name__ == '__main__':
    main()
