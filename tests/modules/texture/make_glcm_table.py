#!/usr/bin/env python3
"""Writes glcm_reference_table.inc: co-occurrence measures of small windows as scikit-image
computes them (graycomatrix with levels=256, symmetric=True, normed=True, and graycoprops),
so the tests compare against them without Python.

Our direction "0°" pairs vertical neighbours d rows apart (angle pi/2 at distance d), "90°"
horizontal neighbours (angle 0 at d), "45°" the diagonal rising to the right (3pi/4 at
d*sqrt(2)) and "135°" the diagonal falling to the right (pi/4 at d*sqrt(2)); scikit-image
rounds d*sin and d*cos, which gives offsets of d rows and d columns.

Run: python3 tests/modules/texture/make_glcm_table.py > tests/modules/texture/glcm_reference_table.inc
"""
import math

import numpy as np
from skimage.feature import graycomatrix, graycoprops

ANGLES = [(math.pi / 2, 1.0), (3 * math.pi / 4, math.sqrt(2)), (0.0, 1.0), (math.pi / 4, math.sqrt(2))]


def window(rng, size, kind):
    if kind == 0:
        return rng.integers(0, 256, (size, size))
    if kind == 1:
        return rng.choice([0, 17, 90, 91, 255], (size, size))
    return (np.add.outer(np.arange(size) * 13, np.arange(size) * 7) + rng.integers(0, 3, (size, size))) % 256


def main():
    rng = np.random.default_rng(20261210)
    rows = []
    for size in (3, 5, 7, 11):
        for kind in range(3):
            image = window(rng, size, kind).astype(np.uint8)
            for direction in range(4):
                for distance in sorted({0, 1, size // 2, size - 1}):
                    angle, stretch = ANGLES[direction]
                    p = graycomatrix(image, [distance * stretch], [angle], levels=256, symmetric=True, normed=True)
                    props = {name: float(graycoprops(p, name)[0, 0])
                             for name in ("dissimilarity", "contrast", "ASM", "homogeneity", "correlation")}
                    m = p[:, :, 0, 0]
                    nz = m[m > 0]
                    entropy = float(-(nz * np.log2(nz)).sum())
                    levels = np.arange(256)
                    mean = float((m.sum(axis=1) * levels).sum())
                    variance = float((m.sum(axis=1) * (levels - mean) ** 2).sum())
                    correlation = props["correlation"] if variance >= 1 else float("nan")
                    rows.append((size, direction, distance, image, props["dissimilarity"], entropy, props["contrast"],
                                 props["ASM"], float(m.max()), correlation, props["homogeneity"]))
    print("// Made by make_glcm_table.py from scikit-image " + __import__("skimage").__version__ + "; do not edit.")
    print("// window, direction, distance, levels row by row, then Absolute Value, Entropy, Contrast,")
    print("// Energy, Max. Probability, Correlation (NaN: a variance below 1), Homogeneity.")
    for size, direction, distance, image, *values in rows:
        levels = ", ".join(str(int(v)) for v in image.flatten())
        numbers = ", ".join("NAN" if math.isnan(v) else repr(v) for v in values)
        print("{%d, %d, %d, {%s}, {%s}}," % (size, direction, distance, levels, numbers))


if __name__ == "__main__":
    main()
