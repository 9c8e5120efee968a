#!/usr/bin/env python3
"""Re-colours a photo in the colours of another and prints both themes.

    python3 examples/restyle.py TARGET STYLE OUT [--method N]
"""
import argparse

import numpy as np
from PIL import Image

import huevane


def show(label, theme):
    print(f"{label}: {len(theme)} colours")
    for p in theme.pockets:
        print("  #%02x%02x%02x %5.1f%%" % (*p.rgb, 100 * p.share))


def main():
    parser = argparse.ArgumentParser(description="Re-colour TARGET in the colours of STYLE.")
    parser.add_argument("target")
    parser.add_argument("style")
    parser.add_argument("out")
    parser.add_argument("--method", type=int, default=2, help="pairing method, 1 to 5 (default 2)")
    args = parser.parse_args()

    target = Image.open(args.target)
    style = np.asarray(Image.open(args.style).convert("RGB"))
    # RGBA keeps its alpha; palette and other modes are read as RGB.
    pixels = np.asarray(target if target.mode in ("RGB", "RGBA", "L") else target.convert("RGB"))
    result = huevane.restyle(pixels, style, method=args.method)
    Image.fromarray(result).save(args.out)
    show(args.target, huevane.theme(pixels))
    show(args.style, huevane.theme(style))
    print("written:", args.out)


if __name__ == "__main__":
    main()
