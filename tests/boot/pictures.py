"""Frames as 240 x 320 arrays of RGB565 values: read from qemu's screen dumps (PPM), from PNG
files and from the capture tool's raw output; written as PNG files for people to look at."""

import re
import struct
import zlib

import numpy as np

HEIGHT, WIDTH = 240, 320
FRAME_BYTES = HEIGHT * WIDTH * 2


def rgb565(rgb):
    """An H x W x 3 array of 8-bit colours as RGB565, r5 = R >> 3, g6 = G >> 2, b5 = B >> 3."""
    rgb = rgb.astype(np.uint16)
    return (rgb[..., 0] >> 3) << 11 | (rgb[..., 1] >> 2) << 5 | rgb[..., 2] >> 3


def rgb888(frame):
    """RGB565 widened to 8 bits a channel, each channel's top bits repeated below it."""
    r = (frame >> 11) & 31
    g = (frame >> 5) & 63
    b = frame & 31
    return np.stack([r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2], axis=-1).astype(np.uint8)


def read_ppm(path):
    """A binary PPM (P6, 8-bit) as qemu's screendump writes it, as RGB565; None if it is not
    320 x 240 (the board's screen before the kernel sets the mode)."""
    with open(path, 'rb') as f:
        data = f.read()
    header = re.match(rb'P6\s+(\d+)\s+(\d+)\s+255\s', data)
    if not header:
        raise ValueError(f'{path}: not an 8-bit binary PPM')
    width, height = int(header[1]), int(header[2])
    if (width, height) != (WIDTH, HEIGHT):
        return None
    pixels = np.frombuffer(data, dtype=np.uint8, count=width * height * 3, offset=header.end())
    return rgb565(pixels.reshape(height, width, 3))


def frame_from_raw(data):
    """One frame of the capture tool's --raw output (RGB565 little-endian)."""
    return np.frombuffer(data, dtype='<u2').reshape(HEIGHT, WIDTH)


def _unfilter(rows, width, channels):
    """PNG scanline filters undone, for 8-bit samples."""
    stride = width * channels
    out = np.zeros((len(rows), stride), dtype=np.uint8)
    previous = np.zeros(stride, dtype=np.int32)
    for y, row in enumerate(rows):
        kind, line = row[0], np.frombuffer(row[1:], dtype=np.uint8).astype(np.int32)
        if kind in (0, 2):
            line = (line + (previous if kind == 2 else 0)) & 255
        else:  # sub, average and Paeth depend on the pixel to the left: one pixel at a time
            line = line.copy()
            for x in range(stride):
                left = line[x - channels] if x >= channels else 0
                up = previous[x]
                up_left = previous[x - channels] if x >= channels else 0
                if kind == 1:
                    predictor = left
                elif kind == 3:
                    predictor = (left + up) // 2
                else:
                    p = left + up - up_left
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                    predictor = left if pa <= pb and pa <= pc else up if pb <= pc else up_left
                line[x] = (line[x] + predictor) & 255
        out[y] = line
        previous = line
    return out


def read_png(path):
    """An 8-bit RGB or RGBA PNG file without interlacing, as RGB565."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError(f'{path}: not a PNG file')
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f'{path}: only 8-bit RGB or RGBA PNG files without interlacing are read')
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b''.join(chunks))
    stride = 1 + width * channels
    rows = [raw[y * stride:(y + 1) * stride] for y in range(height)]
    pixels = _unfilter(rows, width, channels).reshape(height, width, channels)
    return rgb565(pixels[..., :3])


def write_png(path, frame):
    """An RGB565 frame as an 8-bit RGB PNG file."""
    rgb = rgb888(frame)
    raw = b''.join(b'\0' + row.tobytes() for row in rgb)

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack(
            '>I', zlib.crc32(kind + body))

    header = struct.pack('>IIBBBBB', frame.shape[1], frame.shape[0], 8, 2, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
