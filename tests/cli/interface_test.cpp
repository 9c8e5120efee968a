// The tool's shared interface: --version, the command list of --help, and
// the JSON that every command printing data gives with --json.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "tool_run.h"

using tool::Contains;
using tool::Huevane;
using tool::Temp;

namespace {

// A strict JSON reader that only checks the syntax: objects, arrays,
// strings with escapes, numbers, true/false/null; nothing after the value
// but white space.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& text) : s_(text) {}
    bool Valid() {
        if (!Value()) return false;
        Space();
        return i_ == s_.size();
    }

private:
    void Space() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool Eat(char c) {
        Space();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    bool String() {
        if (!Eat('"')) return false;
        while (i_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            if (e == 'u') {
                for (int k = 0; k < 4; ++k)
                    if (i_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[i_++]))) return false;
            } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool Number() {
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        size_t digits = 0;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_, ++digits;
        if (!digits) return false;
        if (i_ < s_.size() && s_[i_] == '.') {
            ++i_;
            size_t frac = 0;
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_, ++frac;
            if (!frac) return false;
        }
        return i_ > start;
    }
    bool Value() {
        Space();
        if (i_ >= s_.size()) return false;
        const char c = s_[i_];
        if (c == '{') {
            ++i_;
            if (Eat('}')) return true;
            do {
                if (!String() || !Eat(':') || !Value()) return false;
            } while (Eat(','));
            return Eat('}');
        }
        if (c == '[') {
            ++i_;
            if (Eat(']')) return true;
            do {
                if (!Value()) return false;
            } while (Eat(','));
            return Eat(']');
        }
        if (c == '"') return String();
        for (const char* word : {"true", "false", "null"})
            if (s_.compare(i_, std::string(word).size(), word) == 0) return i_ += std::string(word).size(), true;
        return Number();
    }
    const std::string& s_;
    size_t i_ = 0;
};

bool ValidJson(const std::string& text) { return JsonCheck(text).Valid(); }

const std::string kSamples = HUEVANE_SAMPLES;

}  // namespace

TEST(ToolInterface, JsonCheckerRejectsWhatIsNotJson) {
    for (const char* good : {"{}", "[]", "{\"a\": [1, -2.5, \"x\\n\\u00e9\", true, null]}", " 0 "})
        EXPECT_TRUE(ValidJson(good)) << good;
    for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "{\"a\": 1,}", "\"tab\there\"", "1.", "01x", "{} {}",
                            "[\"\\q\"]", "'a'"})
        EXPECT_FALSE(ValidJson(bad)) << bad;
}

TEST(ToolInterface, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(hvcli::JsonString(""), "\"\"");
    EXPECT_EQ(hvcli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(hvcli::JsonString(std::string("\x01\n\x1f ", 4)), "\"\\u0001\\u000a\\u001f \"");
    EXPECT_EQ(hvcli::JsonString("caf\xc3\xa9 /x"), "\"caf\xc3\xa9 /x\"");  // UTF-8 and slash as they are
    EXPECT_TRUE(ValidJson(hvcli::JsonString("tab\there \"q\" \\ end")));
}

TEST(ToolInterface, VersionIsOneLineWithThreeNumbers) {
    const tool::Run r = Huevane({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("huevane [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
    EXPECT_TRUE(r.err.empty());
}

// Every command the help lists has a one-line summary and answers --help
// with its own usage; the commands everyone relies on are all listed.
TEST(ToolInterface, HelpListsEveryCommandWithASummary) {
    const tool::Run r = Huevane({"--help"});
    ASSERT_EQ(r.code, 0);
    std::istringstream lines(r.out.substr(r.out.find("Commands:\n") + 10));
    std::vector<std::string> names;
    std::string line;
    const std::regex entry("  ([a-z][a-z-]*) +(\\S.*)");
    std::smatch m;
    while (std::getline(lines, line) && !line.empty()) {
        ASSERT_TRUE(std::regex_match(line, m, entry)) << "'" << line << "'";
        names.push_back(m[1]);
    }
    for (const char* expected : {"reduce", "restyle", "theme", "tags", "card"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    for (const std::string& name : names) {
        const tool::Run h = Huevane({name, "--help"});
        EXPECT_EQ(h.code, 0) << name;
        EXPECT_TRUE(Contains(h.out, "Usage: huevane " + name)) << name << ": " << h.out;
    }
}

TEST(ToolInterface, CardJsonListsTheSameSamplesAsTheText) {
    const std::string card = kSamples + "/css-colours.txt";
    const tool::Run text = Huevane({"card", card, "200,30,40", "-n", "3"});
    const tool::Run json = Huevane({"card", card, "200,30,40", "-n", "3", "--json"});
    ASSERT_EQ(text.code, 0) << text.err;
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_TRUE(ValidJson(json.out)) << json.out;
    EXPECT_TRUE(Contains(json.out, "\"color\": \"#c81e28\", \"rgb\": [200, 30, 40]")) << json.out;
    // The same names in the same order: each text line starts with its name.
    std::istringstream lines(text.out);
    std::string line;
    std::getline(lines, line);  // the heading
    size_t at = 0;
    int listed = 0;
    while (std::getline(lines, line)) {
        const std::string name = line.substr(2, line.find("  #") - 2);
        const std::string trimmed = name.substr(0, name.find_last_not_of(' ') + 1);
        const size_t found = json.out.find("\"name\": \"" + trimmed + "\"", at);
        ASSERT_NE(found, std::string::npos) << trimmed << " in " << json.out;
        at = found;
        ++listed;
    }
    EXPECT_EQ(listed, 3);
    size_t entries = 0;
    for (size_t p = json.out.find("\"index\""); p != std::string::npos; p = json.out.find("\"index\"", p + 1))
        ++entries;
    EXPECT_EQ(entries, 3u);
}

// Each command that prints data gives valid JSON with --json, and nothing
// but the JSON on stdout.
TEST(ToolInterface, EveryDataCommandPrintsValidJson) {
    const std::string photo = kSamples + "/chelsea.png";
    const std::string data = HUEVANE_TEST_DATA;
    const std::string ccs = Temp("theme.ccs"), image = Temp("result.png"), folder = Temp("results");
    const std::vector<std::vector<std::string>> runs = {
        {"theme", photo, "-o", ccs, "--json"},
        {"theme", ccs, "--json"},
        {"tags", photo, "--json"},
        {"card", kSamples + "/css-colours.txt", "#336699", "--json"},
        {"reduce", data + "/coffee_small.bmp", "-o", image, "--json"},
        {"restyle", data + "/coffee_small.bmp", ccs, "-o", image, "--json"},
        {"reduce", data + "/coffee_small.bmp", data + "/transfer/cups_256.bmp", "-o", folder, "--json"},
    };
    for (const auto& args : runs) {
        const tool::Run r = Huevane(args);
        EXPECT_EQ(r.code, 0) << args[0] << ": " << r.err;
        EXPECT_TRUE(ValidJson(r.out)) << args[0] << ": " << r.out;
    }
    for (const std::string& f : {ccs, image, folder + "/coffee_small.png", folder + "/cups_256.png", folder})
        std::remove(f.c_str());
}
