// The tags and card commands of the huevane tool, run as a user runs them.
#include <gtest/gtest.h>

#ifdef HUEVANE_CLI_BINARY

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

struct ToolRun {
    int code;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

ToolRun Huevane(const std::vector<std::string>& args) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string base = ::testing::TempDir() + "hvcard_" + info->name();
    std::string cmd = "\"" HUEVANE_CLI_BINARY "\"";
    for (const std::string& a : args) cmd += " '" + a + "'";
    const std::string out = base + "_stdout.txt", err = base + "_stderr.txt";
    cmd += " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(cmd.c_str());
#if defined(_WIN32)
    const int code = status;
#else
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    ToolRun r{code, Slurp(out), Slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

const std::string kSamples = HUEVANE_SAMPLES;
const std::string kCard = kSamples + "/css-colours.txt";

// The share in per cent printed after a family's name, or -1 when absent.
double SharePercent(const std::string& out, const std::string& family) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (name != family) continue;
        const size_t pct = line.rfind('%');
        const size_t start = line.rfind(' ', pct);
        return std::atof(line.substr(start + 1, pct - start - 1).c_str());
    }
    return -1;
}

// The sample names listed by `huevane card`, in order.
std::vector<std::string> Names(const std::string& out) {
    std::vector<std::string> names;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);  // heading
    while (std::getline(lines, line)) {
        const size_t hash = line.find('#');
        if (hash == std::string::npos) continue;
        std::string name = line.substr(2, hash - 2);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(HuevaneTags, CoffeeCupIsRedAndOrangeOnBrownWood) {
    // coffee.png: a red-brown cup and saucer on a brown wooden table, the
    // coffee's crema light brown, the inside of the cup and a spoon whitish.
    // A person names it red and orange/brown; no green, cyan or purple.
    const ToolRun r = Huevane({"tags", kSamples + "/coffee.png"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("600 x 400"), std::string::npos) << r.out;
    const double red = SharePercent(r.out, "Red"), orange = SharePercent(r.out, "Orange");
    EXPECT_GT(red, 10.0) << r.out;
    EXPECT_GT(orange, 10.0) << r.out;
    EXPECT_GT(red + orange, 60.0) << r.out;
    EXPECT_LT(SharePercent(r.out, "Green"), 1.0) << r.out;
    EXPECT_LT(SharePercent(r.out, "Cyan"), 1.0) << r.out;
    EXPECT_LT(SharePercent(r.out, "Purple"), 1.0) << r.out;
    EXPECT_EQ(SharePercent(r.out, "Beige"), -1) << r.out;
}

TEST(HuevaneTags, RocketSkyIsBlueAndJsonCarriesTheSameFamilies) {
    // rocket.jpg: a rocket on its pad at dusk under a deep blue sky that
    // fills most of the frame; dark towers and ground, a few orange lamps.
    const ToolRun r = Huevane({"tags", kSamples + "/rocket.jpg"});
    ASSERT_EQ(r.code, 0) << r.err;
    const double blue = SharePercent(r.out, "Blue");
    EXPECT_GT(blue, 50.0) << r.out;
    EXPECT_LT(SharePercent(r.out, "Green"), 2.0) << r.out;

    const ToolRun j = Huevane({"tags", kSamples + "/rocket.jpg", "--json"});
    ASSERT_EQ(j.code, 0) << j.err;
    EXPECT_EQ(j.out.front(), '{');
    EXPECT_NE(j.out.find("\"name\": \"Blue\""), std::string::npos) << j.out;
    EXPECT_NE(j.out.find("\"tag\": 5"), std::string::npos) << j.out;
    EXPECT_EQ(j.out.find("\"name\": \"Beige\""), std::string::npos) << j.out;

    EXPECT_EQ(Huevane({"tags"}).code, 2);
    EXPECT_EQ(Huevane({"tags", kSamples + "/no_such_photo.png"}).code, 1);
}

TEST(HuevaneCard, FindsTheNamedColoursTyped) {
    ToolRun r = Huevane({"card", kCard, "#ff0000"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> names = Names(r.out);
    ASSERT_EQ(names.size(), 5u) << r.out;
    EXPECT_EQ(names[0], "Red");
    EXPECT_NE(r.out.find("distance    0.00"), std::string::npos) << r.out;

    r = Huevane({"card", kCard, "250,128,114", "-n", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    names = Names(r.out);
    ASSERT_EQ(names.size(), 2u) << r.out;
    EXPECT_EQ(names[0], "Salmon");

    // Near misses land on the sample a person would name.
    EXPECT_EQ(Names(Huevane({"card", kCard, "#000084"}).out).at(0), "Navy");
    EXPECT_EQ(Names(Huevane({"card", kCard, "30,140,35"}).out).at(0), "Forest Green");
    EXPECT_EQ(Names(Huevane({"card", kCard, "#8c0202"}).out).at(0), "Dark Red");
    EXPECT_EQ(Names(Huevane({"card", kCard, "252, 252, 250"}).out).at(0), "White");

    // More than the card holds lists the whole card.
    r = Huevane({"card", kCard, "#123456", "-n", "1000"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Names(r.out).size(), 54u);

    EXPECT_EQ(Huevane({"card", kCard, "#12345"}).code, 2);
    EXPECT_EQ(Huevane({"card", kCard, "1,2"}).code, 2);
    EXPECT_EQ(Huevane({"card", kCard, "1,2,256"}).code, 2);
    EXPECT_EQ(Huevane({"card", kCard, "#ff0000", "-n", "0"}).code, 2);
    EXPECT_EQ(Huevane({"card", kSamples + "/no_such_card.txt", "#ff0000"}).code, 1);
}

#endif  // HUEVANE_CLI_BINARY
