#!/usr/bin/python3
"""Draws the demo's seven built-in pictures into assets/ as upright 8-bit RGB PNGs, and
the desktop's icon of the demo, made from the title picture, into packaging/icons/.

Run with Debian's /usr/bin/python3; needs the Debian packages python3-pil,
python3-numpy, fonts-terminus-otb (bitmap font of the title picture) and
fonts-lobster (script font of the closing caption).

The build turns every pixel into RGB565 as r5 = R >> 3, g6 = G >> 2, b5 = B >> 3.
Each picture is therefore quantised here already, with an ordered (Bayer)
dither where it has smooth gradients, and written with each 5- or 6-bit level
expanded back to 8 bits: what the PNG shows is what the handheld shows.

Everything is deterministic: noise comes from numpy generators with fixed seeds,
so rerunning the script rewrites the same files byte for byte.
"""

import os

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
ASSETS = os.path.join(ROOT, "assets")
ICONS = os.path.join(ROOT, "packaging", "icons")
# The icon's sizes: those desktops ask for most.
ICON_SIZES = (48, 128, 256)
PIXEL_FONT = "/usr/share/fonts/opentype/terminus/terminus-bold.otb"
SCRIPT_FONT = "/usr/share/fonts/opentype/lobster/lobster.otf"


def bayer_matrix(size):
    """Ordered-dither index matrix of size x size (a power of two), values 0 .. size * size - 1."""
    if size == 1:
        return np.zeros((1, 1), int)
    half = 4 * bayer_matrix(size // 2)
    return np.block([[half, half + 2], [half + 3, half + 1]])


# Dither thresholds in (0, 1), repeated over a picture in 8 x 8 tiles.
BAYER_THRESHOLDS = (bayer_matrix(8) + 0.5) / 64.0

# Bits kept per channel by RGB565: red 5, green 6, blue 5.
CHANNEL_BITS = (5, 6, 5)


# ---------------------------------------------------------------- output


def quantise_565(rgb, dither):
    """Quantises float RGB (0..255, shape h x w x 3) to the RGB565 levels and
    returns 8-bit RGB whose top bits are exactly those levels.  With dither,
    each pixel adds its Bayer threshold before truncation, so a gradient
    averages out between neighbouring levels instead of banding."""
    h, w, _ = rgb.shape
    if dither:
        threshold = np.tile(BAYER_THRESHOLDS, (h // 8 + 1, w // 8 + 1))[:h, :w]
    else:
        threshold = np.zeros((h, w))
    out = np.empty((h, w, 3), np.uint8)
    for channel, bits in enumerate(CHANNEL_BITS):
        step = 1 << (8 - bits)
        top = (1 << bits) - 1
        level = np.clip(np.floor(rgb[:, :, channel] / step + threshold), 0, top).astype(np.uint8)
        # Repeat the level's high bits in the low bits: full black and full white stay 0 and 255.
        out[:, :, channel] = (level << (8 - bits)) | (level >> (2 * bits - 8))
    return out


def save_picture(name, rgb, dither=True):
    save_image(os.path.join(ASSETS, name), Image.fromarray(quantise_565(rgb, dither), "RGB"))


def save_image(path, image):
    image.save(path, optimize=False)
    print("wrote", os.path.normpath(path))


# ---------------------------------------------------------------- noise and shading helpers


def value_noise(width, height, cells_x, cells_y, rng):
    """Smoothly interpolated lattice noise in 0..1 that repeats every
    width x height pixels; cells_x and cells_y set the lattice size."""
    lattice = rng.random((cells_y, cells_x))
    fx = np.arange(width) * cells_x / width
    fy = np.arange(height) * cells_y / height
    x0 = np.floor(fx).astype(int)
    y0 = np.floor(fy).astype(int)
    sx = smoothstep(fx - x0)[None, :]
    sy = smoothstep(fy - y0)[:, None]
    x1 = (x0 + 1) % cells_x
    y1 = (y0 + 1) % cells_y
    top = lattice[y0][:, x0] * (1 - sx) + lattice[y0][:, x1] * sx
    bottom = lattice[y1][:, x0] * (1 - sx) + lattice[y1][:, x1] * sx
    return top * (1 - sy) + bottom * sy


def fractal_noise(width, height, cells_x, cells_y, octaves, seed, gain=0.5):
    """Sum of value-noise octaves, each with twice the cells of the last and
    gain times its weight, scaled to 0..1.  It repeats every width x height
    pixels, so a picture made of it tiles when its cell counts divide evenly."""
    rng = np.random.default_rng(seed)
    total = np.zeros((height, width))
    weight = 1.0
    for octave in range(octaves):
        total += weight * value_noise(width, height, cells_x << octave, cells_y << octave, rng)
        weight *= gain
    return normalise(total)


def normalise(values):
    return (values - values.min()) / (values.max() - values.min())


def smoothstep(t):
    t = np.clip(t, 0.0, 1.0)
    return t * t * (3 - 2 * t)


def ramp(edge0, edge1, values):
    """0 below edge0, 1 above edge1, smooth in between."""
    return smoothstep((values - edge0) / (edge1 - edge0))


def gradient(t, stops):
    """Maps t (any shape, 0..1) through colour stops [(position, (r, g, b)), ...]
    to float RGB of shape t.shape + (3,)."""
    positions = [p for p, _ in stops]
    return np.stack([np.interp(t, positions, [c[i] for _, c in stops]) for i in range(3)], axis=-1)


def blend(base, colour, alpha):
    """Lays colour (an RGB triple or an image) over base with per-pixel alpha."""
    alpha = alpha[..., None]
    return base * (1 - alpha) + np.asarray(colour, float) * alpha


def screen_add(base, light):
    """Adds light to base the way light adds on film: never past white."""
    return 255 - (255 - base) * (255 - light) / 255


def distance_map(width, height, cx, cy, scale_y=1.0, wrap_x=False, wrap_y=False):
    """Distance of each pixel centre from (cx, cy), with vertical distances
    scaled by scale_y.  Along a wrapped axis the picture repeats, and the
    nearest copy of the point counts."""
    y, x = np.mgrid[0:height, 0:width] + 0.5
    dx = np.abs(x - cx)
    dy = np.abs(y - cy)
    if wrap_x:
        dx = np.minimum(dx % width, width - dx % width)
    if wrap_y:
        dy = np.minimum(dy % height, height - dy % height)
    return np.hypot(dx, dy * scale_y)


def text_mask(size, lines):
    """Renders [(text, font, x, y), ...] (x None centres the line) into a
    0..1 float mask of the given (width, height)."""
    image = Image.new("L", size, 0)
    draw = ImageDraw.Draw(image)
    for text, font, x, y in lines:
        if x is None:
            left, _, right, _ = draw.textbbox((0, 0), text, font=font)
            x = (size[0] - (right - left)) // 2 - left
        draw.text((x, y), text, font=font, fill=255)
    return np.asarray(image, float) / 255.0


def widen(mask, pixels):
    """Grows a mask by pixels in every direction (for outlines and shadows)."""
    image = Image.fromarray((mask * 255).astype(np.uint8), "L")
    return np.asarray(image.filter(ImageFilter.MaxFilter(2 * pixels + 1)), float) / 255.0


def soften(mask, radius):
    """Blurs a mask by a Gaussian of the given radius (soft edges, halos)."""
    image = Image.fromarray((np.clip(mask, 0, 1) * 255).astype(np.uint8), "L")
    return np.asarray(image.filter(ImageFilter.GaussianBlur(radius)), float) / 255.0


# ---------------------------------------------------------------- pictures


def make_title():
    """Title screen: black, a large pixel title shaded gold to violet, credit lines and a
    short paragraph, all in the Terminus bitmap font at its native sizes so
    every stroke sits on whole pixels."""
    width, height = 320, 240
    small = ImageFont.truetype(PIXEL_FONT, 12)
    medium = ImageFont.truetype(PIXEL_FONT, 14)

    # The title: Terminus at 32 pixels on a half-width canvas, then every
    # pixel doubled in both directions, giving chunky 2 x 2 strokes.
    big = ImageFont.truetype(PIXEL_FONT, 32)
    title = text_mask((width // 2, 28), [("MOONLARK", big, None, -2)])
    title = np.kron(title, np.ones((2, 2)))
    title_top = 22
    title_height = title.shape[0]
    title_layer = np.zeros((height, width))
    title_layer[title_top:title_top + title_height] = title
    shadow = np.roll(np.roll(title_layer, 3, axis=0), 3, axis=1)

    rows = np.arange(height)[:, None] * np.ones((1, width))
    title_colours = gradient(
        (rows - title_top) / title_height,
        [(0.0, (255, 240, 140)), (0.45, (255, 160, 60)), (0.55, (240, 80, 120)), (1.0, (150, 70, 230))],
    )
    image = np.zeros((height, width, 3))
    image = blend(image, (70, 20, 110), shadow)
    image = blend(image, title_colours, title_layer)

    text_layers = [
        ((255, 255, 255), [("a real-time software-rendered demo", medium, None, 86),
                           ("for a 320x240 handheld", medium, None, 102)]),
        ((120, 220, 255), [("C++  -  fixed-point maths", small, None, 126),
                           ("SDL 1.2  -  libmikmod", small, None, 140)]),
        ((176, 168, 200), [("Every pixel is drawn by the CPU: a perspective", small, 16, 164),
                           ("ground, radial blur, a tunnel, sine waves and", small, 16, 176),
                           ("shaded 3D objects, in integer fixed-point maths.", small, 16, 188)]),
        ((255, 208, 96), [("loading...", medium, None, 214)]),
    ]
    for colour, lines in text_layers:
        image = blend(image, colour, text_mask((width, height), lines))
    save_picture("title.png", image, dither=False)


def cloud_layer(width, height, cells_x, cells_y, seed, cover):
    """Cloud density 0..1: fractal noise cut at a level so that roughly
    `cover` of the picture is cloud, with soft edges."""
    noise = fractal_noise(width, height, cells_x, cells_y, 5, seed)
    cut = np.quantile(noise, 1.0 - cover)
    return ramp(cut - 0.04, cut + 0.18, noise)


def make_closing():
    """Closing picture: pink and violet clouds around a bright white-pink
    glow in the middle, with a bold script caption across the centre.  Dark
    letters with a pale rim against the glow give the radial blur strong
    edges to streak."""
    width, height = 320, 240
    distance = distance_map(width, height, 160, 120, scale_y=1.3)
    glow = np.exp(-((distance / 95.0) ** 2))

    sky = gradient(distance / 220.0, [(0.0, (120, 50, 140)), (1.0, (30, 8, 50))])
    clouds = cloud_layer(width, height, 5, 4, seed=11, cover=0.55)
    shading = fractal_noise(width, height, 10, 8, 4, seed=12)
    # Cloud colour runs from deep violet in their shadows to hot pink where lit.
    lit = np.clip(0.1 + 0.65 * shading + 0.6 * glow, 0, 1)
    cloud_colour = gradient(lit, [(0.0, (60, 30, 120)), (0.4, (130, 60, 190)),
                                  (0.7, (245, 110, 190)), (1.0, (255, 225, 240))])
    image = blend(sky, cloud_colour, clouds * 0.95)
    light = gradient(glow, [(0.0, (0, 0, 0)), (0.5, (150, 60, 120)), (1.0, (255, 245, 250))])
    image = screen_add(image, light)

    caption_font = ImageFont.truetype(SCRIPT_FONT, 37)
    name_font = ImageFont.truetype(SCRIPT_FONT, 26)
    caption = text_mask((width, height), [("thanks for watching", caption_font, None, 82),
                                          ("moonlark", name_font, None, 130)])
    rim = widen(caption, 2)
    image = blend(image, (255, 250, 255), soften(rim, 0.6))
    image = blend(image, (60, 10, 80), caption)
    save_picture("closing.png", image)


def periodic_ridge(width, base, bumps, seed):
    """Height in pixels of a mountain ridge for each column, repeating every
    `width` columns: sums of sines with whole periods per width plus a little
    jagged noise.  bumps lists (cycles per width, amplitude)."""
    rng = np.random.default_rng(seed)
    x = np.arange(width) * 2 * np.pi / width
    height = np.full(width, float(base))
    for cycles, amplitude in bumps:
        height += amplitude * np.sin(cycles * x + rng.random() * 2 * np.pi)
    jagged = fractal_noise(width, 1, 32, 1, 3, seed + 1)[0]
    return height + 4.0 * (jagged - 0.5)


def below_ridge(rows, ridge):
    """Coverage 0..1 of each pixel by the mountain below a ridge line, with
    the edge pixel partly covered so the outline is not a staircase."""
    return np.clip(rows + 0.5 - ridge[None, :], 0, 1)


def make_landscape():
    """Sunset landscape, upright: dark violet sky, red and violet streaks of
    cloud, a glowing horizon with a soft sun, and two ranges of black
    mountains.  It repeats horizontally (the demo wraps its columns), and the
    horizon sits in the lower half so both the backdrop (upper 240 rows) and
    the blurred view (lower 240 rows) show it."""
    size = 256
    horizon = 186  # row where sky meets land, 70 rows above the bottom
    rows = np.arange(size)[:, None] * np.ones((1, size))

    sky = gradient(rows / horizon, [(0.0, (18, 6, 40)), (0.35, (60, 18, 80)), (0.62, (150, 35, 70)),
                                    (0.85, (240, 100, 50)), (1.0, (255, 210, 120))])
    # Sun just above the horizon in the middle column, its glow wrapping round.
    sun_distance = distance_map(size, size, 128, horizon - 6, scale_y=1.6, wrap_x=True)
    sun_glow = np.exp(-((sun_distance / 55.0) ** 2))
    sun_light = gradient(sun_glow, [(0.0, (0, 0, 0)), (0.6, (200, 90, 40)), (1.0, (255, 250, 220))])
    sky = screen_add(sky, sun_light)

    # Long horizontal clouds: many cells across, few down, thickest mid-sky.
    clouds = cloud_layer(size, size, 4, 24, seed=21, cover=0.45)
    band = ramp(20, 70, rows) * (1 - ramp(150, 180, rows))
    density = clouds * band
    height_in_sky = rows / horizon
    light = np.clip(height_in_sky * 1.1 + 0.5 * sun_glow, 0, 1)
    cloud_colour = gradient(light, [(0.0, (45, 15, 70)), (0.35, (110, 30, 110)),
                                    (0.65, (200, 40, 60)), (0.85, (255, 110, 60)), (1.0, (255, 200, 130))])
    image = blend(sky, cloud_colour, density * 0.9)

    far_ridge = horizon - periodic_ridge(size, 22, [(2, 10), (3, 6), (7, 3)], seed=31)
    near_ridge = horizon - periodic_ridge(size, 8, [(1, 8), (4, 9), (9, 3)], seed=41)
    far = below_ridge(rows, far_ridge)
    near = below_ridge(rows, near_ridge)
    # The far range stays a shade above black, hazed by the sunset behind it.
    haze = gradient(ramp(horizon - 40, horizon + 10, rows), [(0.0, (30, 8, 30)), (1.0, (60, 14, 30))])
    image = blend(image, haze, far)
    # The near range and everything a little below the horizon are black ground.
    image = blend(image, (0, 0, 0), np.maximum(near, (rows >= horizon + 14)))
    save_picture("landscape.png", image)


# Pale patches on the ground texture: centre x, centre y, radius in pixels.
GROUND_PATCHES = [(20, 24, 11), (92, 40, 8), (60, 96, 14), (112, 108, 7)]


def make_ground():
    """Moss: dark olive mottling at several scales with fine speckle and a few
    pale blue-grey patches (stones or lichen).  All noise repeats every 128
    pixels, so the texture tiles seamlessly."""
    size = 128
    mottle = fractal_noise(size, size, 4, 4, 5, seed=51, gain=0.6)
    # Clumps: the folds of noise at mid scale, bright in each clump's middle.
    clumps = 1 - np.abs(2 * fractal_noise(size, size, 16, 16, 3, seed=52) - 1)
    speckle = fractal_noise(size, size, 64, 64, 1, seed=53)
    tone = np.clip(0.55 * mottle + 0.35 * clumps ** 2 + 0.25 * speckle - 0.1, 0, 1)
    image = gradient(tone, [(0.0, (12, 16, 4)), (0.35, (40, 48, 12)), (0.65, (78, 86, 28)),
                            (1.0, (124, 128, 56))])

    # A few blobs with ragged outlines; a dark rim sets them off the moss.
    ragged = fractal_noise(size, size, 16, 16, 3, seed=54)
    patches = np.zeros((size, size))
    rim = np.zeros((size, size))
    for cx, cy, radius in GROUND_PATCHES:
        reach = distance_map(size, size, cx, cy, wrap_x=True, wrap_y=True) / radius + 1.1 * (ragged - 0.5)
        patches = np.maximum(patches, 1 - ramp(0.85, 1.0, reach))
        rim = np.maximum(rim, 1 - ramp(1.0, 1.25, reach))
    patch_colour = gradient(speckle, [(0.0, (118, 130, 148)), (1.0, (176, 188, 204))])
    image = blend(image, (10, 14, 6), rim * 0.5)
    image = blend(image, patch_colour, patches * 0.9)
    save_picture("ground.png", image)


# Side of the square light maps in pixels.
LIGHT_SIZE = 64


def light_map(name, brightness, stops, rim=0.75):
    """Writes a light map: brightness (0..1 over the map) through the colour
    stops, faded to black from rim (a distance from the centre, see
    light_distance) outwards, so that the outermost rows and columns are black."""
    fade = 1 - ramp(rim, 0.985, light_distance())
    save_picture(name, gradient(np.clip(brightness * fade, 0, 1), stops))


def light_distance():
    """Distance from the light map's centre, 1.0 at the middle of each edge."""
    half = LIGHT_SIZE / 2
    return distance_map(LIGHT_SIZE, LIGHT_SIZE, half, half) / half


def make_violet_light():
    """Starburst: a white core and eight long rays and sixteen fainter ones in a wide
    violet-blue glow.  The environment-mapped height grid tilts its normals away
    from the viewer, so most of its surface reads the outer half of this map: the
    glow fills it nearly to the rim, and fades to black only in the last texels."""
    r = light_distance()
    y, x = np.mgrid[0:LIGHT_SIZE, 0:LIGHT_SIZE] + 0.5 - LIGHT_SIZE / 2
    angle = np.arctan2(y, x)
    rays = np.abs(np.cos(4 * angle)) ** 12 + 0.5 * np.abs(np.cos(8 * angle + 0.4)) ** 20
    glow = 0.7 * (1 - 0.75 * r * r)
    brightness = np.exp(-((r / 0.22) ** 2)) + glow + 0.7 * rays * np.exp(-r / 0.55)
    light_map("violet_light.png", brightness,
              [(0.0, (0, 0, 0)), (0.2, (40, 10, 110)), (0.5, (120, 70, 240)), (0.8, (200, 180, 255)),
               (1.0, (255, 255, 255))], rim=0.9)


def make_grey_light():
    """Soft circular spot."""
    brightness = np.exp(-((light_distance() / 0.5) ** 2)) * 1.1
    light_map("grey_light.png", brightness,
              [(0.0, (0, 0, 0)), (0.5, (128, 128, 128)), (1.0, (255, 255, 255))])


def make_red_light():
    """Round glow with a linear falloff, so each colour gets a ring of its own."""
    brightness = 1.1 - light_distance() * 1.2
    light_map("red_light.png", brightness,
              [(0.0, (0, 0, 0)), (0.25, (120, 0, 0)), (0.5, (230, 40, 0)), (0.7, (255, 130, 0)),
               (0.88, (255, 220, 40)), (1.0, (255, 255, 190))])


# ---------------------------------------------------------------- the icon


def first_letter(title):
    """The box (left, top, right, bottom) of the logo's first letter in the title picture: the
    logo lies in its top third, its letters separated by black columns, so the letter is the
    leftmost run of lit columns there, cut to the rows it lights."""
    lit = title[: title.shape[0] // 3].any(axis=2)
    columns = lit.any(axis=0)
    left = int(columns.argmax())
    right = left + int(columns[left:].argmin())
    rows = np.flatnonzero(lit[:, left:right].any(axis=1))
    return left, int(rows[0]), right, int(rows[-1]) + 1


def make_icons():
    """The desktop's icon: the logo's first letter, enlarged sharply by the largest whole factor
    that leaves two pixels of margin around it, centred on the title's black."""
    title = Image.open(os.path.join(ASSETS, "title.png")).convert("RGB")
    letter = title.crop(first_letter(np.asarray(title)))
    for size in ICON_SIZES:
        factor = (size - 4) // max(letter.size)
        big = letter.resize((letter.width * factor, letter.height * factor), Image.NEAREST)
        icon = Image.new("RGB", (size, size))
        icon.paste(big, ((size - big.width) // 2, (size - big.height) // 2))
        save_image(os.path.join(ICONS, "moonlark-%d.png" % size), icon)


def main():
    os.makedirs(ASSETS, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    make_title()
    make_closing()
    make_landscape()
    make_ground()
    make_violet_light()
    make_grey_light()
    make_red_light()
    make_icons()


if __name__ == "__main__":
    main()
