#!/usr/bin/env python3
"""Times scikit-image's per-window co-occurrence (graycomatrix + graycoprops, 256 levels,
symmetric, normed) over every 5 x 5 window of a crop of random levels, and scales the time
to a 4096 x 4096 raster: the figure tarvenix-bench's texture-glcm lines compare with.

Run: python3 bench/texture_skimage_bench.py [crop side, default 64]
"""
import sys
import time

import numpy as np
from skimage.feature import graycomatrix, graycoprops

SIDE = 4096
WINDOW = 5


def main():
    crop = int(sys.argv[1]) if len(sys.argv) > 1 else 64
    rng = np.random.default_rng(1)
    image = rng.integers(0, 256, (crop + WINDOW - 1, crop + WINDOW - 1), dtype=np.uint8)
    start = time.perf_counter()
    for y in range(crop):
        for x in range(crop):
            p = graycomatrix(image[y:y + WINDOW, x:x + WINDOW], [1], [np.pi / 2], levels=256, symmetric=True,
                             normed=True)
            graycoprops(p, "contrast")
    seconds = time.perf_counter() - start
    scaled = seconds * (SIDE * SIDE) / (crop * crop)
    print("bench: skimage-glcm-contrast-5-4k %.1f s (%d x %d windows in %.2f s, scaled), one core"
          % (scaled, crop, crop, seconds))


if __name__ == "__main__":
    main()
