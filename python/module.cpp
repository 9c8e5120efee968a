// The huevane Python module: themes, re-colouring, colour tags, reduction
// and colour cards over numpy arrays. Arguments are checked here, with the
// interpreter lock held; the work in ops.cpp runs with it released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "huevane/colorsystem.h"
#include "ops.h"
#include "platform/file.h"

namespace py = pybind11;
using namespace hvpy;

namespace {

// ---- arguments ----

// An image argument: the array (kept alive while the library reads it)
// and its view.
struct Input {
    py::array array;
    ImageView view;
};

std::string ShapeText(const py::array& a) {
    std::string s = "(";
    for (py::ssize_t i = 0; i < a.ndim(); ++i) s += (i ? ", " : "") + std::to_string(a.shape(i));
    return s + (a.ndim() == 1 ? ",)" : ")");
}

Input ReadImage(const py::handle& obj, const char* what) {
    Input in;
    in.array = py::array::ensure(obj);
    if (!in.array) throw py::value_error(std::string(what) + " is not an image array");
    const py::array& a = in.array;
    if (!a.dtype().is(py::dtype::of<uint8_t>()))
        throw py::value_error(std::string(what) + " must have dtype uint8, not " +
                              py::str(a.dtype()).cast<std::string>());
    const bool shapeOk = a.ndim() == 2 || (a.ndim() == 3 && (a.shape(2) == 3 || a.shape(2) == 4));
    if (!shapeOk)
        throw py::value_error(std::string(what) + " must have shape (height, width), (height, width, 3) or " +
                              "(height, width, 4), not " + ShapeText(a));
    ImageView& v = in.view;
    v.data = static_cast<const uint8_t*>(a.data());
    v.height = a.shape(0);
    v.width = a.shape(1);
    v.channels = a.ndim() == 2 ? 1 : static_cast<int>(a.shape(2));
    v.rowStride = a.strides(0);
    v.colStride = a.strides(1);
    v.chanStride = a.ndim() == 3 ? a.strides(2) : 0;
    try {
        CheckSize(v);
    } catch (const std::invalid_argument& e) {
        throw py::value_error(std::string(what) + ": " + e.what());
    }
    return in;
}

// str or os.PathLike to a path string.
std::string PathOf(const py::object& path) {
    py::object p = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(p)) throw py::type_error("paths are str or os.PathLike of str, not bytes");
    return p.cast<std::string>();
}

int32_t Int32Of(const py::handle& obj, const std::string& where) {
    long long v = 0;
    try {
        v = py::cast<long long>(obj);
    } catch (const py::cast_error&) {
        throw py::value_error(where + " must be an integer, not " +
                              py::str(py::type::of(obj).attr("__name__")).cast<std::string>());
    }
    if (v < INT32_MIN || v > INT32_MAX) throw py::value_error(where + " is out of range: " + std::to_string(v));
    return static_cast<int32_t>(v);
}

// A pair of integers given as any sequence of two.
std::pair<int32_t, int32_t> PairOf(const py::handle& obj, const std::string& where, const char* shape) {
    if (!py::isinstance<py::sequence>(obj) || py::isinstance<py::str>(obj) || py::len(obj) != 2)
        throw py::value_error(where + " must be a pair " + shape);
    py::sequence s = py::reinterpret_borrow<py::sequence>(obj);
    return {Int32Of(s[0], where + "[0]"), Int32Of(s[1], where + "[1]")};
}

std::vector<Polygon> KeepOf(const py::object& keep) {
    std::vector<Polygon> out;
    if (keep.is_none()) return out;
    if (!py::isinstance<py::iterable>(keep)) throw py::value_error("keep must be a list of polygons");
    size_t i = 0;
    for (py::handle poly : keep) {
        const std::string where = "keep[" + std::to_string(i++) + "]";
        if (!py::isinstance<py::iterable>(poly) || py::isinstance<py::str>(poly))
            throw py::value_error(where + " must be a list of (x, y) points");
        Polygon p;
        size_t k = 0;
        for (py::handle point : poly) {
            const auto xy = PairOf(point, where + "[" + std::to_string(k++) + "]", "(x, y)");
            p.xs.push_back(xy.first);
            p.ys.push_back(xy.second);
        }
        if (p.xs.size() < 3)
            throw py::value_error(where + ": a polygon needs at least 3 points, found " + std::to_string(p.xs.size()));
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<Link> LinksOf(const py::object& links) {
    if (!py::isinstance<py::iterable>(links)) throw py::value_error("links must be a list of (target, style) pairs");
    std::vector<Link> out;
    size_t i = 0;
    for (py::handle link : links) {
        const auto ts = PairOf(link, "links[" + std::to_string(i++) + "]", "(target_index, style_index)");
        out.push_back(Link{ts.first, ts.second});
    }
    return out;
}

// ---- Python classes ----

struct Theme {
    std::shared_ptr<const ThemeData> data;
};

struct Card {
    std::shared_ptr<csColorSystem> system;
};

Extraction ExtractionOf(const std::string& name) {
    if (name == "default") return Extraction::Default;
    if (name == "g") return Extraction::G;
    if (name == "d") return Extraction::D;
    if (name == "cg") return Extraction::CG;
    if (name == "q") return Extraction::Q;
    throw py::value_error("extract must be 'default', 'g', 'd', 'cg' or 'q', not '" + name + "'");
}

// The style argument: a Theme, or an image read into *image.
StyleSource StyleOf(const py::object& style, Input* image, const char* what) {
    StyleSource src;
    if (py::isinstance<Theme>(style)) {
        src.theme = style.cast<Theme&>().data.get();
    } else {
        *image = ReadImage(style, what);
        src.pixels = &image->view;
    }
    return src;
}

py::array_t<uint8_t> NewImage(const ImageView& like) {
    const py::ssize_t c = like.channels == 4 ? 4 : 3;
    return py::array_t<uint8_t>({static_cast<py::ssize_t>(like.height), static_cast<py::ssize_t>(like.width), c});
}

// ---- functions ----

Theme ThemeOfImage(const py::object& image, const std::string& extract, const py::object& card) {
    const Extraction how = ExtractionOf(extract);
    csColorSystem* cs = nullptr;
    if (how == Extraction::CG) {
        if (card.is_none() || !py::isinstance<Card>(card))
            throw py::value_error("extract='cg' needs a colour card: card=huevane.Card.load(path)");
        cs = card.cast<Card&>().system.get();
    } else if (!card.is_none()) {
        throw py::value_error("card is used only with extract='cg'");
    }
    Input in = ReadImage(image, "image");
    Theme t;
    {
        py::gil_scoped_release nogil;
        Dib dib = ToDib24(in.view);
        t.data = ThemeData::FromImage(dib.get(), how, cs);
    }
    return t;
}

py::array_t<uint8_t> RestyleImage(const py::object& target, const py::object& style, int method,
                                  const py::object& keep, const py::object& links) {
    Input in = ReadImage(target, "target");
    Input styleImage;
    StyleSource src = StyleOf(style, &styleImage, "style");
    const std::vector<Polygon> polygons = KeepOf(keep);
    std::vector<Link> table;
    if (!links.is_none()) table = LinksOf(links);
    py::array_t<uint8_t> out = NewImage(in.view);
    uint8_t* pixels = out.mutable_data();
    {
        py::gil_scoped_release nogil;
        RestylePixels(in.view, src, method, links.is_none() ? nullptr : &table, polygons, pixels);
    }
    return out;
}

py::list MatchImage(const py::object& target, const py::object& style, int method) {
    Input in = ReadImage(target, "target");
    Input styleImage;
    StyleSource src = StyleOf(style, &styleImage, "style");
    std::vector<Link> links;
    {
        py::gil_scoped_release nogil;
        links = Match(in.view, src, method);
    }
    py::list out;
    for (const Link& l : links) out.append(py::make_tuple(l.target, l.style));
    return out;
}

py::list TagsOf(const py::object& image) {
    Input in = ReadImage(image, "image");
    std::vector<Tag> tags;
    {
        py::gil_scoped_release nogil;
        Dib dib = ToDib24(in.view);
        tags = Tags(dib.get());
    }
    py::list out;
    for (const Tag& t : tags) out.append(py::make_tuple(t.family, t.share, py::make_tuple(t.rgb[0], t.rgb[1], t.rgb[2])));
    return out;
}

py::tuple ReduceImage(const py::object& image) {
    Input in = ReadImage(image, "image");
    py::array_t<uint8_t> indices({static_cast<py::ssize_t>(in.view.height), static_cast<py::ssize_t>(in.view.width)});
    py::array_t<uint8_t> palette({py::ssize_t(256), py::ssize_t(3)});
    uint8_t* idx = indices.mutable_data();
    uint8_t* pal = palette.mutable_data();
    {
        py::gil_scoped_release nogil;
        Dib dib = ToDib24(in.view);
        Reduce(dib.get(), idx, pal);
    }
    return py::make_tuple(indices, palette);
}

Card LoadCard(const py::object& path) {
    const std::string p = PathOf(path);
    {
        hv::File probe;
        errno = 0;
        if (!probe.Open(p.c_str(), hv::FileMode::ReadShared)) throw FileError("cannot open the card file", p, errno);
    }
    Card card;
    card.system = std::make_shared<csColorSystem>();
    card.system->LoadFromFile(p.c_str());
    if (card.system->samples.GetSize() == 0) throw py::value_error("'" + p + "': the card has no samples");
    return card;
}

py::list Nearest(const Card& card, const py::object& rgb, int n) {
    if (n < 1) throw py::value_error("n must be at least 1, not " + std::to_string(n));
    if (!py::isinstance<py::sequence>(rgb) || py::isinstance<py::str>(rgb) || py::len(rgb) != 3)
        throw py::value_error("rgb must be a sequence of three integers (red, green, blue)");
    py::sequence s = py::reinterpret_borrow<py::sequence>(rgb);
    RGBQUAD c = {0, 0, 0, 0};
    BYTE* channel[3] = {&c.rgbRed, &c.rgbGreen, &c.rgbBlue};
    for (int i = 0; i < 3; ++i) {
        const int32_t v = Int32Of(s[i], "rgb[" + std::to_string(i) + "]");
        if (v < 0 || v > 255) throw py::value_error("rgb[" + std::to_string(i) + "] must be 0 to 255, not " + std::to_string(v));
        *channel[i] = static_cast<BYTE>(v);
    }
    csColorSystem& cs = *card.system;
    const int count = std::min(n, cs.samples.GetSize());
    std::vector<int> order(static_cast<size_t>(count));
    std::vector<double> dist(static_cast<size_t>(count));
    const int found = cs.GetNearestSamplesByWeight(c, order.data(), dist.data(), count);
    py::list out;
    for (int i = 0; i < found; ++i) {
        const csColorSample* sample = cs.samples[order[i]];
        out.append(py::make_tuple(sample->name, py::make_tuple(sample->rgb.rgbRed, sample->rgb.rgbGreen, sample->rgb.rgbBlue),
                                  dist[i]));
    }
    return out;
}

void RaiseFileError(const FileError& e) {
    std::string message = std::string(e.what()) + " '" + e.path + "'";
    if (e.err == 0) {
        PyErr_SetString(PyExc_OSError, message.c_str());
        return;
    }
    // OSError(errno, ...) picks the subclass (FileNotFoundError and the rest).
    py::object err = py::reinterpret_borrow<py::object>(PyExc_OSError)(
        e.err, std::string(e.what()) + ": " + std::strerror(e.err), e.path);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(err.ptr())), err.ptr());
}

#if defined(__GLIBC__)
// glibc gives large freed blocks back to the system, so each call would
// fault its image-sized buffers in afresh, until the process has once freed
// a block of about 32 MB; from then on it keeps freed memory for reuse.
// Freeing one such block at import puts it in that state at once, as the
// first large numpy array a program drops would.
void KeepFreedMemory() {
    void* volatile block = std::malloc(size_t(30) << 20);
    std::free(block);
}
#else
void KeepFreedMemory() {}
#endif

}  // namespace

PYBIND11_MODULE(huevane, m) {
    KeepFreedMemory();
    m.doc() =
        "Colour themes and re-colouring of images held as numpy arrays.\n\n"
        "Images are uint8 arrays of shape (height, width, 3) in RGB order, (height, width, 4)\n"
        "whose alpha takes no part, or (height, width) greyscale; any strides.";

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const FileError& e) {
            RaiseFileError(e);
        }
    });

    py::class_<PocketInfo>(m, "Pocket", "One colour of a theme: a cluster of the image's palette colours.")
        .def_property_readonly(
            "rgb", [](const PocketInfo& p) { return py::make_tuple(p.rgb[0], p.rgb[1], p.rgb[2]); },
            "Mean colour as (red, green, blue), 0 to 255.")
        .def_property_readonly(
            "hsl", [](const PocketInfo& p) { return py::make_tuple(p.hsl[0], p.hsl[1], p.hsl[2]); },
            "Mean colour as (hue, saturation, lightness), each 0 to 255; hue goes round in 256 steps.")
        .def_property_readonly("share", [](const PocketInfo& p) { return p.share; },
                               "Fraction of the image's pixels in this pocket, 0 to 1.")
        .def_property_readonly("pixels", [](const PocketInfo& p) { return p.pixels; }, "Pixels in this pocket.")
        .def_property_readonly("colours", [](const PocketInfo& p) { return p.colours; },
                               "Palette colours grouped in this pocket.")
        .def("__repr__", [](const PocketInfo& p) {
            char text[96];
            std::snprintf(text, sizeof text, "Pocket(rgb=(%d, %d, %d), share=%.4f, pixels=%d, colours=%d)", p.rgb[0],
                          p.rgb[1], p.rgb[2], p.share, p.pixels, p.colours);
            return std::string(text);
        });

    py::class_<Theme>(m, "Theme",
                      "The colour theme of an image: its pockets, largest first. Made by huevane.theme(),\n"
                      "huevane.load_theme() or Theme.from_bytes(); immutable.")
        .def_property_readonly(
            "pockets", [](const Theme& t) { return t.data->pockets(); }, "The pockets, largest first (a new list).")
        .def_property_readonly("name", [](const Theme& t) { return t.data->name(); }, "The theme's name (often empty).")
        .def_property_readonly("has_image", [](const Theme& t) { return t.data->hasImage(); },
                               "True when the theme keeps its image's 256-colour form (extracted themes),\n"
                               "which restyle's method 5 needs.")
        .def("__len__", [](const Theme& t) { return t.data->pockets().size(); })
        .def("__repr__",
             [](const Theme& t) { return "<huevane.Theme of " + std::to_string(t.data->pockets().size()) + " pockets>"; })
        .def(
            "save", [](const Theme& t, const py::object& path) { t.data->Save(PathOf(path)); }, py::arg("path"),
            "Writes the theme as a .ccs theme file. OSError when it cannot be written.")
        .def(
            "to_bytes",
            [](const Theme& t) {
                const std::vector<char>& b = t.data->buffer();
                return py::bytes(b.data(), b.size());
            },
            "The theme's style buffer: a 4-byte little-endian length, then the theme.")
        .def_static(
            "from_bytes",
            [](const py::object& data) {
                py::object b = py::reinterpret_steal<py::object>(PyBytes_FromObject(data.ptr()));
                if (!b) throw py::error_already_set();
                char* p = nullptr;
                py::ssize_t n = 0;
                PyBytes_AsStringAndSize(b.ptr(), &p, &n);
                return Theme{ThemeData::FromBuffer(p, static_cast<size_t>(n))};
            },
            py::arg("data"), "A theme from a style buffer (bytes-like). ValueError when malformed.");

    py::class_<Card>(m, "Card", "A colour card: named colour samples. Made by Card.load().")
        .def_static("load", &LoadCard, py::arg("path"),
                    "Reads a card file, one 'Name: RGB(r, g, b)' per line. OSError when it cannot be\n"
                    "opened; ValueError when it holds no samples.")
        .def("__len__", [](const Card& c) { return c.system->samples.GetSize(); })
        .def("__repr__", [](const Card& c) { return "<huevane.Card of " + std::to_string(c.system->samples.GetSize()) + " samples>"; })
        .def("nearest", &Nearest, py::arg("rgb"), py::arg("n") = 5,
             "The n samples nearest to an (r, g, b) colour by a red-mean weighted distance,\n"
             "nearest first (ties in card order), as (name, (r, g, b), distance).");

    m.def("theme", &ThemeOfImage, py::arg("image"), py::arg("extract") = "default", py::arg("card") = py::none(),
          "The colour theme of an image. extract picks the method: 'default', 'g' (grown\n"
          "from seed colours), 'd' (touching regions merged), 'cg' (as 'd' within the groups\n"
          "of card) or 'q' (octree, at most ten colours).");
    m.def("load_theme", [](const py::object& path) { return Theme{ThemeData::FromFile(PathOf(path))}; },
          py::arg("path"),
          "Reads a .ccs theme file. OSError when it cannot be opened; ValueError when it\n"
          "holds no well-formed theme.");
    m.def("restyle", &RestyleImage, py::arg("target"), py::arg("style"), py::arg("method") = 2,
          py::arg("keep") = py::none(), py::arg("links") = py::none(),
          "The target re-coloured in the style of another image or of a Theme: every pocket\n"
          "of the target's theme is paired with one of the style's, and each pixel takes the\n"
          "hue and relative saturation of its pocket's partner, keeping its lightness.\n"
          "method pairs 1 by size, 2 by size then hue, 3 by lightness, 4 keeping the colour\n"
          "differences of touching regions, 5 along chains of touching colours (4 and 5:\n"
          "themes of at most 16 colours; 5 needs the style's picture). links, a list of\n"
          "(target_index, style_index) as match() gives, replaces the pairing (-1: unpaired).\n"
          "keep is a list of polygons, each a list of (x, y) pixels from the top-left corner,\n"
          "whose insides keep their first colours. Returns a new (height, width, 3) array, or\n"
          "(height, width, 4) with the target's alpha for a 4-channel target.");
    m.def("match", &MatchImage, py::arg("target"), py::arg("style"), py::arg("method") = 2,
          "The pairing restyle() would use: one (target_index, style_index) per target pocket,\n"
          "largest first, indices into each theme's pockets (style_index -1: unpaired).");
    m.def("tags", &TagsOf, py::arg("image"),
          "The colour families of an image (Red, Orange, Yellow, Green, Cyan, Blue, Purple,\n"
          "Beige, Black, Gray, White) present in it, as (family, share, (r, g, b)) with the\n"
          "family's mean colour.");
    m.def("reduce", &ReduceImage, py::arg("image"),
          "The image in 256 colours without dithering: (indices, palette), a (height, width)\n"
          "uint8 array of palette indices and a (256, 3) uint8 palette in RGB.");
    m.def("live_handles", &LiveHandles,
          "Image handles of the library alive now (a diagnostic: it returns to its first value\n"
          "once every call is done).");
}
