// The tags and card commands of the huevane tool on real photographs and
// the CSS colour card.
#include <gtest/gtest.h>

#include "cli/tool_run.h"

#ifdef HUEVANE_CLI_BINARY

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {
const std::string kSamples = HUEVANE_SAMPLES, kCard = kSamples + "/css-colours.txt";

// The share in per cent printed for a family, or -1 when it is not listed.
double Share(const std::string& out, const std::string& family) {
    std::istringstream lines(out);
    for (std::string line, name; std::getline(lines, line);)
        if (std::istringstream(line) >> name && name == family) {
            const size_t pct = line.rfind('%'), start = line.rfind(' ', pct);
            return std::atof(line.substr(start + 1, pct - start - 1).c_str());
        }
    return -1;
}

// The sample names listed by `huevane card`, nearest first.
std::vector<std::string> Names(const tool::Run& r) {
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<std::string> names;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  ", 0) == 0)
            names.push_back(line.substr(2, line.find_last_not_of(' ', line.find('#') - 1) - 1));
    return names;
}
}  // namespace

TEST(HuevaneTags, PhotosGetTheFamiliesAPersonWouldName) {
    // coffee.png: a red-brown cup on a brown wooden table; no green, cyan or purple to speak of.
    tool::Run r = tool::Huevane({"tags", kSamples + "/coffee.png"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(tool::Contains(r.out, "600 x 400")) << r.out;
    const double red = Share(r.out, "Red"), orange = Share(r.out, "Orange");
    EXPECT_TRUE(red > 10.0 && orange > 10.0 && red + orange > 60.0) << r.out;
    for (const char* none : {"Green", "Cyan", "Purple"}) EXPECT_LT(Share(r.out, none), 1.0) << r.out;
    EXPECT_EQ(Share(r.out, "Beige"), -1) << r.out;
    // rocket.jpg: a rocket at dusk under a deep blue sky filling most of it.
    r = tool::Huevane({"tags", kSamples + "/rocket.jpg"});
    EXPECT_TRUE(Share(r.out, "Blue") > 50.0 && Share(r.out, "Green") < 2.0) << r.out;
    r = tool::Huevane({"tags", kSamples + "/rocket.jpg", "--json"});
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_TRUE(tool::Contains(r.out, "\"tag\": 5, \"name\": \"Blue\"") && !tool::Contains(r.out, "Beige"))
        << r.out;
    EXPECT_EQ(tool::Huevane({"tags"}).code, 2);
    EXPECT_EQ(tool::Huevane({"tags", kSamples + "/no_such_photo.png"}).code, 1);
}

TEST(HuevaneCard, FindsTheNamedColoursTyped) {
    const tool::Run r = tool::Huevane({"card", kCard, "#ff0000"});
    EXPECT_EQ(Names(r), (std::vector<std::string>{"Red", "Crimson", "Orange Red", "Fire Brick", "Brown"}));
    EXPECT_TRUE(tool::Contains(r.out, "distance    0.00")) << r.out;
    for (auto [typed, name] : {std::pair{"250,128,114", "Salmon"},
                               {"#000084", "Navy"},
                               {"30,140,35", "Forest Green"},
                               {"252, 252, 250", "White"}})
        EXPECT_EQ(Names(tool::Huevane({"card", kCard, typed, "-n", "2"})).at(0), name);
    EXPECT_EQ(Names(tool::Huevane({"card", kCard, "#123456", "-n", "1000"})).size(), 54u);  // the whole card
    for (const char* bad : {"#12345", "1,2", "1,2,256"})
        EXPECT_EQ(tool::Huevane({"card", kCard, bad}).code, 2) << bad;
    EXPECT_EQ(tool::Huevane({"card", kCard, "#ff0000", "-n", "0"}).code, 2);
    EXPECT_EQ(tool::Huevane({"card", kSamples + "/no_such_card.txt", "#ff0000"}).code, 1);
}

#endif  // HUEVANE_CLI_BINARY
