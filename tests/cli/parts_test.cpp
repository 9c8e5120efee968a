// The pieces the tool's commands share: the option parser, JSON strings,
// the batch form's progress line, its collecting of images from folders and
// its runner's order, messages and exit code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "args.h"
#include "batch.h"
#include "tool_run.h"

using tool::Contains;
using tool::Temp;
using tool::Write;

TEST(CliArgs, ParsesOptionsFlagsValuesAndPositionals) {
    const std::vector<hvcli::Option> opts = {{"output", 'o', true}, {"level", 0, true}, {"fast", 'f', false}};
    hvcli::Args a;
    std::string error;
    auto parse = [&](std::vector<std::string> words) {
        words.insert(words.begin(), "cmd");
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(&w[0]);
        return a.Parse(static_cast<int>(argv.size()), argv.data(), opts, &error);
    };
    ASSERT_TRUE(parse({"in.png", "-o", "a.png", "--level=3", "-f", "-", "--", "--fast", "-o"})) << error;
    EXPECT_EQ(a.Value("output"), "a.png");
    EXPECT_TRUE(a.Has("fast"));
    EXPECT_FALSE(a.Has("help"));
    EXPECT_EQ(a.positional(), (std::vector<std::string>{"in.png", "-", "--fast", "-o"}));
    int level = 0;
    EXPECT_TRUE(a.IntValue("level", 1, 9, 5, &level, &error) && level == 3);
    EXPECT_TRUE(a.IntValue("absent", 1, 9, 5, &level, &error) && level == 5);
    // The last of a repeated option wins; an empty value is a value.
    ASSERT_TRUE(parse({"--output", "x", "--output=", "-h"}));
    EXPECT_EQ(a.Value("output", "unset"), "");
    EXPECT_TRUE(a.Has("help") && a.positional().empty());
    for (const char* bad : {"10", "0", "3x", "", " 4", "99999999999999999999"}) {
        ASSERT_TRUE(parse({std::string("--level=") + bad}));
        EXPECT_FALSE(a.IntValue("level", 1, 9, 5, &level, &error)) << bad;
        EXPECT_TRUE(Contains(error, "from 1 to 9")) << error;
    }
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--lev", "3"}, "unknown option '--lev'"},  // no abbreviations
        {{"-x"}, "unknown option"},
        {{"-of"}, "unknown option"},  // no bundling
        {{"--fast=1"}, "takes no value"},
        {{"in", "--level"}, "needs a value"},
    };
    for (const auto& [words, message] : refused) {
        EXPECT_FALSE(parse(words)) << message;
        EXPECT_TRUE(Contains(error, message)) << error;
    }
}

TEST(CliArgs, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(hvcli::JsonString(""), "\"\"");
    EXPECT_EQ(hvcli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(hvcli::JsonString(std::string("\x01\n\x1f ", 4)), "\"\\u0001\\u000a\\u001f \"");
    EXPECT_EQ(hvcli::JsonString("caf\xc3\xa9 /x"), "\"caf\xc3\xa9 /x\"");  // UTF-8 and slash as they are
}

TEST(BatchProgress, BarCountsRateAndTimeLeft) {
    const struct {
        int done, total;
        double seconds;
        const char* expected;
    } cases[] = {
        {0, 10, 0.0, "[....................]  0/10"},
        {5, 20, 2.0, "[#####...............]  5/20  2.5 images/s  0:06 left"},
        {3, 7, 1.5, "[########............]  3/7  2.0 images/s  0:02 left"},  // 60/7 = 8.57 -> 8 filled
        {1, 14, 10.0, "[#...................]  1/14  0.1 images/s  2:10 left"},  // 130 s
        {20, 20, 4.0, "[####################]  20/20  5.0 images/s  0:00 left"},
        {0, 0, 1.0, "[####################]  0/0"},
    };
    for (const auto& c : cases) EXPECT_EQ(hvcli::FormatProgress(c.done, c.total, c.seconds), c.expected);
}

// A folder of images by content (whatever their names), files that only
// look like images, a subfolder, links to a file, to nowhere and back up.
TEST(BatchCollect, WalksFoldersInNameOrderByContentFollowingLinksOnce) {
    const std::string dir = tool::Folder(Temp("walk") + "/sub"), top = Temp("walk"), out = Temp("walk_out");
    const std::string png("\x89PNG\r\n\x1a\n rest", 13);
    Write(top + "/b.png", png);
    Write(top + "/a.jpeg", "\xff\xd8\xff\xe0 rest");
    Write(top + "/photo.data", png);
    Write(top + "/notes.txt", "not an image");
    Write(top + "/short.png", png.substr(0, 7));  // a PNG signature needs all 8 bytes
    Write(top + "/soi.jpg", "\xff\xd8");
    Write(top + "/empty.bmp", "");
    Write(dir + "/c", "BM..");
    Write(dir + "/fake.png", "text named like a picture");
    symlink("../b.png", (dir + "/link.png").c_str());
    symlink("nowhere.png", (top + "/dangling.png").c_str());
    symlink("..", (dir + "/loop").c_str());
    int skipped = -1;
    std::vector<std::string> notes;
    const auto jobs = hvcli::CollectJobs({top}, out, "-x", "", &skipped, &notes);
    const std::vector<std::vector<std::string>> expected = {  // input, output, error
        {top + "/a.jpeg", out + "/a-x.jpg", ""},
        {top + "/b.png", out + "/b-x.png", ""},
        {top + "/dangling.png", "", "cannot read: No such file"},
        {top + "/photo.data", out + "/photo-x.png", ""},
        {dir + "/c", out + "/sub/c-x.bmp", ""},
        {dir + "/link.png", out + "/sub/link-x.png", ""},
    };
    ASSERT_EQ(jobs.size(), expected.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(jobs[i].input, expected[i][0]);
        EXPECT_EQ(jobs[i].output, expected[i][1]);
        EXPECT_TRUE(expected[i][2].empty() ? jobs[i].error.empty() : Contains(jobs[i].error, expected[i][2]))
            << jobs[i].error;
    }
    EXPECT_EQ(skipped, 5);  // notes.txt, short.png, soi.jpg, empty.bmp and fake.png
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_TRUE(Contains(notes[0], dir + "/loop: skipped")) << notes[0];

    // A forced extension replaces the format's; a file target keeps only its
    // stem; a missing target is one failed job; no result may replace an
    // input or another result (b.png and photo.data both give b.png here).
    const auto forced = hvcli::CollectJobs({dir + "/c", top + "/nothing", top + "/b.png", top + "/photo.data",
                                            top + "/a.jpeg"}, top, "", ".png", nullptr, nullptr);
    ASSERT_EQ(forced.size(), 5u);
    EXPECT_EQ(forced[0].output, top + "/c.png");
    EXPECT_TRUE(forced[1].output.empty() && Contains(forced[1].error, "No such file")) << forced[1].error;
    EXPECT_TRUE(forced[2].output.empty() && Contains(forced[2].error, "would replace an input")) << forced[2].error;
    EXPECT_EQ(forced[3].output, top + "/photo.png");
    EXPECT_EQ(forced[4].output, top + "/a.png");
    const auto clash = hvcli::CollectJobs({top + "/a.jpeg", top + "/b.png", dir + "/../a.jpeg"}, out + "/", "",
                                          ".png", nullptr, nullptr);
    EXPECT_TRUE(clash[0].error.empty() && clash[1].error.empty());
    EXPECT_TRUE(clash[2].output.empty() && Contains(clash[2].error, "the result of another input")) << clash[2].error;
    tool::RemoveTree(top);
}

// Jobs finish out of order on several threads; the results still come in
// job order, failures go to stderr, and the exit code says whether any failed.
TEST(BatchRun, PrintsInJobOrderWhateverTheThreads) {
    std::vector<hvcli::BatchJob> jobs;
    for (int i = 0; i < 8; ++i) jobs.push_back({"in" + std::to_string(i), "out" + std::to_string(i), ""});
    jobs[5] = {"in5", "", "unreadable \"5\""};
    std::atomic<int> calls{0};
    auto work = [&](const hvcli::BatchJob& j) {
        ++calls;
        const int i = j.input.back() - '0';
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * (8 - i)));  // later jobs finish first
        if (i == 2) throw std::runtime_error("broken image");
        hvcli::BatchResult r;
        r.ok = true;
        r.text = j.input + " -> " + j.output;
        r.json = "{\"input\": \"" + j.input + "\"}";
        return r;
    };
    std::string expectedOut, expectedJson = "{\"files\": [";
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        if (i != 2 && i != 5) expectedOut += "in" + n + " -> out" + n + "\n";
        expectedJson += std::string(i ? "," : "") + "\n  {\"input\": \"in" + n + "\"" +
                        (i == 2 ? ", \"error\": \"broken image\"}" : i == 5 ? ", \"error\": \"unreadable \\\"5\\\"\"}" : "}");
    }
    for (const int threads : {1, 3, 8, 50}) {
        calls = 0;
        hvcli::BatchOptions options;
        options.command = "restyle";
        options.threads = threads;
        options.verb = "restyled";
        options.json = threads == 3;
        options.skipped = 3;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(hvcli::RunBatch(jobs, options, work), 1) << threads;
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(calls, 7) << "the job that failed while collecting is not run";
        if (options.json) {
            EXPECT_EQ(out, expectedJson + "\n], \"done\": 6, \"failed\": 2, \"skipped\": 3}\n");
        } else {
            EXPECT_EQ(out.substr(0, expectedOut.size()), expectedOut) << threads;
            EXPECT_TRUE(Contains(out, "restyled 6 of 8 images")) << out;
            EXPECT_TRUE(Contains(out, ", 2 failed, 3 files skipped (not images)\n")) << out;
        }
        EXPECT_EQ(err, "huevane restyle: in2: broken image\nhuevane restyle: in5: unreadable \"5\"\n") << threads;
    }
    // All good, or nothing to do, is no failure.
    jobs.resize(2);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch(jobs, {}, work), 0);
    EXPECT_EQ(hvcli::RunBatch({}, {}, work), 0);
    ::testing::internal::GetCapturedStdout();
}
