// huevane card: the samples of a colour card nearest to a colour.
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "huevane/colorsystem.h"
#include "platform/file.h"
#include "theme_tools.h"

namespace {

const char kHelp[] =
    "Usage: huevane card CARDFILE COLOR [-n N] [--json]\n"
    "Lists the samples of a colour card nearest to a colour, by a red-mean\n"
    "weighted RGB distance, with their names, colours and distances.\n"
    "\n"
    "  CARDFILE     a text file with one sample per line: Name: RGB(r, g, b)\n"
    "  COLOR        #rrggbb or r,g,b (each 0 to 255)\n"
    "  -n, --count N  how many samples to list (default 5)\n"
    "  --json         print the samples as JSON\n"
    "  -h, --help   show this help\n";

bool ParseHexDigit(char c, int* v) {
    if (c >= '0' && c <= '9') *v = c - '0';
    else if (c >= 'a' && c <= 'f') *v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') *v = c - 'A' + 10;
    else return false;
    return true;
}

// "#rrggbb" or "r,g,b" with whole numbers 0..255 (spaces allowed around them).
bool ParseColour(const std::string& text, RGBQUAD* out) {
    int v[3] = {0, 0, 0};
    if (!text.empty() && text[0] == '#') {
        if (text.size() != 7) return false;
        for (int i = 0; i < 3; ++i) {
            int hi = 0, lo = 0;
            if (!ParseHexDigit(text[1 + 2 * i], &hi) || !ParseHexDigit(text[2 + 2 * i], &lo)) return false;
            v[i] = hi * 16 + lo;
        }
    } else {
        size_t pos = 0;
        for (int i = 0; i < 3; ++i) {
            while (pos < text.size() && text[pos] == ' ') ++pos;
            size_t digits = 0;
            int value = 0;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
                value = value * 10 + (text[pos++] - '0');
                ++digits;
            }
            if (digits == 0 || value > 255) return false;
            v[i] = value;
            while (pos < text.size() && text[pos] == ' ') ++pos;
            if (i < 2) {
                if (pos >= text.size() || text[pos] != ',') return false;
                ++pos;
            }
        }
        if (pos != text.size()) return false;
    }
    out->rgbRed = static_cast<BYTE>(v[0]);
    out->rgbGreen = static_cast<BYTE>(v[1]);
    out->rgbBlue = static_cast<BYTE>(v[2]);
    out->rgbReserved = 0;
    return true;
}

}  // namespace

int CmdCard(int argc, char** argv) {
    const char* cmd = "card";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd, {{"count", 'n', true}, {"json", 0, false}}, kHelp, 2,
                                   "need a card file and a colour");
    if (early >= 0) return early;
    std::string error;
    int count = 5;
    if (!args.IntValue("count", 1, 100000, 5, &count, &error)) return hvcli::UsageError(cmd, error);
    const std::string cardPath = args.positional()[0];
    RGBQUAD colour;
    if (!ParseColour(args.positional()[1], &colour))
        return hvcli::UsageError(cmd, "cannot read the colour '" + args.positional()[1] + "' (use #rrggbb or r,g,b)");

    {
        hv::File probe;
        if (!probe.Open(cardPath.c_str(), hv::FileMode::ReadShared))
            return hvcli::Failure(cmd, "cannot open the card file '" + cardPath + "'");
    }
    csColorSystem card;
    card.LoadFromFile(cardPath.c_str());
    if (card.samples.GetSize() == 0) return hvcli::Failure(cmd, cardPath + ": the card has no samples");

    std::vector<int> order(static_cast<size_t>(count));
    std::vector<double> dist(static_cast<size_t>(count));
    const int found = card.GetNearestSamplesByWeight(colour, order.data(), dist.data(), count);
    if (args.Has("json")) {
        std::printf("{\"card\": %s, \"color\": \"%s\", \"rgb\": [%d, %d, %d], \"samples\": [",
                    hvcli::JsonString(cardPath).c_str(), hvcli::Hex(colour).c_str(), colour.rgbRed, colour.rgbGreen,
                    colour.rgbBlue);
        for (int i = 0; i < found; ++i) {
            const csColorSample* s = card.samples[order[i]];
            std::printf("%s\n  {\"index\": %d, \"name\": %s, \"color\": \"%s\", \"rgb\": [%d, %d, %d], "
                        "\"distance\": %.4f}",
                        i ? "," : "", order[i], hvcli::JsonString(s->name).c_str(), hvcli::Hex(s->rgb).c_str(),
                        s->rgb.rgbRed, s->rgb.rgbGreen, s->rgb.rgbBlue, dist[i]);
        }
        std::printf("%s]}\n", found ? "\n" : "");
        return hvcli::kExitOk;
    }
    std::printf("%s: the %d sample%s nearest to %s (%d, %d, %d)\n", cardPath.c_str(), found, found == 1 ? "" : "s",
                hvcli::Hex(colour).c_str(), colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
    for (int i = 0; i < found; ++i) {
        const csColorSample* s = card.samples[order[i]];
        std::printf("  %-24s %s  (%3d, %3d, %3d)  distance %7.2f  sample %d\n", s->name.c_str(), hvcli::Hex(s->rgb).c_str(),
                    s->rgb.rgbRed, s->rgb.rgbGreen, s->rgb.rgbBlue, dist[i], order[i]);
    }
    return hvcli::kExitOk;
}
