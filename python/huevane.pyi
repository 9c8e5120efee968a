"""Colour themes and re-colouring of images held as numpy arrays.

Images are uint8 arrays of shape (height, width, 3) in RGB order,
(height, width, 4) whose alpha takes no part, or (height, width) greyscale,
with any strides. A wrong dtype or shape raises ValueError; files that cannot
be opened or written raise OSError.
"""
from os import PathLike
from typing import List, Literal, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

Image = npt.ArrayLike
RGB = Tuple[int, int, int]
Point = Tuple[int, int]
StrPath = Union[str, "PathLike[str]"]

class Pocket:
    """One colour of a theme: a cluster of the image's palette colours."""
    @property
    def rgb(self) -> RGB:
        """Mean colour as (red, green, blue), 0 to 255."""
    @property
    def hsl(self) -> RGB:
        """Mean colour as (hue, saturation, lightness), each 0 to 255; hue goes round in 256 steps."""
    @property
    def share(self) -> float:
        """Fraction of the image's pixels in this pocket, 0 to 1."""
    @property
    def pixels(self) -> int:
        """Pixels in this pocket."""
    @property
    def colours(self) -> int:
        """Palette colours grouped in this pocket."""

class Theme:
    """The colour theme of an image: its pockets, largest first. Immutable."""
    @property
    def pockets(self) -> List[Pocket]:
        """The pockets, largest first (a new list)."""
    @property
    def name(self) -> str:
        """The theme's name (often empty)."""
    @property
    def has_image(self) -> bool:
        """True when the theme keeps its image's 256-colour form (extracted themes), which restyle's method 5 needs."""
    def __len__(self) -> int: ...
    def save(self, path: StrPath) -> None:
        """Writes the theme as a .ccs theme file. OSError when it cannot be written."""
    def to_bytes(self) -> bytes:
        """The theme's style buffer: a 4-byte little-endian length, then the theme."""
    @staticmethod
    def from_bytes(data: Union[bytes, bytearray, memoryview]) -> "Theme":
        """A theme from a style buffer. ValueError when malformed."""

class Card:
    """A colour card: named colour samples."""
    @staticmethod
    def load(path: StrPath) -> "Card":
        """Reads a card file, one 'Name: RGB(r, g, b)' per line. OSError when it cannot be opened; ValueError when it holds no samples."""
    def __len__(self) -> int: ...
    def nearest(self, rgb: Sequence[int], n: int = 5) -> List[Tuple[str, RGB, float]]:
        """The n samples nearest to an (r, g, b) colour by a red-mean weighted distance, nearest first, as (name, (r, g, b), distance)."""

def theme(image: Image, extract: Literal["default", "g", "d", "cg", "q"] = "default",
          card: Optional[Card] = None) -> Theme:
    """The colour theme of an image. extract picks the method: 'default', 'g' (grown from seed colours), 'd' (touching regions merged), 'cg' (as 'd' within the groups of card) or 'q' (octree, at most ten colours)."""

def load_theme(path: StrPath) -> Theme:
    """Reads a .ccs theme file. OSError when it cannot be opened; ValueError when it holds no well-formed theme."""

def restyle(target: Image, style: Union[Image, Theme], method: int = 2,
            keep: Optional[Sequence[Sequence[Point]]] = None,
            links: Optional[Sequence[Tuple[int, int]]] = None) -> npt.NDArray[np.uint8]:
    """The target re-coloured in the style of another image or of a Theme.

    method pairs pockets 1 by size, 2 by size then hue, 3 by lightness, 4 keeping the colour
    differences of touching regions, 5 along chains of touching colours (4 and 5: themes of at
    most 16 colours; 5 needs the style's picture). links, as match() gives them, replaces the
    pairing. keep lists polygons of (x, y) pixels from the top-left corner whose insides keep
    their first colours. Returns a new (height, width, 3) array, or (height, width, 4) with the
    target's alpha for a 4-channel target.
    """

def match(target: Image, style: Union[Image, Theme], method: int = 2) -> List[Tuple[int, int]]:
    """The pairing restyle() would use: one (target_index, style_index) per target pocket, largest first (style_index -1: unpaired)."""

def tags(image: Image) -> List[Tuple[str, float, RGB]]:
    """The colour families present in an image as (family, share, mean (r, g, b))."""

def reduce(image: Image) -> Tuple[npt.NDArray[np.uint8], npt.NDArray[np.uint8]]:
    """The image in 256 colours without dithering: (indices, palette), (height, width) and (256, 3) uint8 arrays."""

def live_handles() -> int:
    """Image handles of the library alive now (a diagnostic)."""
