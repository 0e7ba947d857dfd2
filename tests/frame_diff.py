"""Pixel differences between two frames of the show, read from PNG files with PIL."""

from PIL import Image


class Difference:
    """How two 640 x 480 RGB frames differ: pixels that differ at all, pixels where some channel
    differs by more than `big` levels of 255 (a different colour, not a rounding), and the
    largest channel difference."""

    def __init__(self, a, b, big=16):
        width, height, pixels_a = a
        _, _, pixels_b = b
        self.pixels = width * height
        self.big_limit = big
        self.differing = 0
        self.big = 0
        self.largest = 0
        self.big_positions = []
        for i in range(self.pixels):
            pa = pixels_a[3 * i:3 * i + 3]
            pb = pixels_b[3 * i:3 * i + 3]
            if pa != pb:
                self.differing += 1
                worst = max(abs(x - y) for x, y in zip(pa, pb))
                self.largest = max(self.largest, worst)
                if worst > big:
                    self.big += 1
                    if len(self.big_positions) < 20:
                        self.big_positions.append((i % width, i // width, tuple(pa), tuple(pb)))

    def __str__(self):
        return (f"{self.differing} pixels differ ({100.0 * self.differing / self.pixels:.3f}%), "
                f"{self.big} by more than {self.big_limit} levels ({100.0 * self.big / self.pixels:.3f}%), "
                f"largest {self.largest}")


def read_frame(path):
    """(width, height, RGB bytes, the top row first)."""
    with Image.open(path) as image:
        rgb = image.convert("RGB")
        return rgb.width, rgb.height, rgb.tobytes()
