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
using Words = std::vector<std::string>;

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
    ASSERT_TRUE(parse({"-ob.png"}));  // a value right after its letter
    EXPECT_EQ(a.Value("output"), "b.png");
    for (const char* bad : {"10", "0", "3x", "", " 4", "99999999999999999999"}) {
        ASSERT_TRUE(parse({std::string("--level=") + bad}));
        EXPECT_FALSE(a.IntValue("level", 1, 9, 5, &level, &error)) << bad;
        EXPECT_TRUE(Contains(error, "from 1 to 9")) << error;
    }
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--lev", "3"}, "unknown option '--lev'"},  // no abbreviations
        {{"-x"}, "unknown option"},
        {{"-fo"}, "unknown option"},  // no bundling of flags
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
        {3, 7, 1.5, "[########............]  3/7  2.0 images/s  0:02 left"},     // 60/7 = 8.57 -> 8 filled
        {1, 14, 10.0, "[#...................]  1/14  0.1 images/s  2:10 left"},  // 130 s
        {20, 20, 4.0, "[####################]  20/20  5.0 images/s  0:00 left"},
        {0, 0, 1.0, "[####################]  0/0"},
    };
    for (const auto& c : cases) EXPECT_EQ(hvcli::FormatProgress(c.done, c.total, c.seconds), c.expected);
}

// Images are found by content, whatever their names (a PNG signature needs
// all 8 bytes, a JPEG one 3); results keep the subfolders and take the
// suffix and the format's extension, or the one forced; no result may
// replace an input or another result.
TEST(BatchCollect, NamesResultsByContentAndRefusesClashes) {
    const std::string top = Temp("walk"), dir = tool::Folder(top + "/sub"), out = Temp("out");
    const std::string png("\x89PNG\r\n\x1a\n", 8);
    Write(top + "/b.png", png);
    Write(top + "/a.txt", "\xff\xd8\xff");
    Write(top + "/short.png", png.substr(0, 7));
    Write(top + "/soi.jpg", "\xff\xd8");
    Write(dir + "/c", "BM");
    Write(dir + "/d.bmp", "B");
    symlink("../b.png", (dir + "/link.png").c_str());
    symlink("missing.jpg", (top + "/dangling.jpg").c_str());
    symlink("..", (dir + "/up").c_str());  // a loop, noted once
    int skipped = -1;
    Words outputs, notes;
    for (const auto& job : hvcli::CollectJobs({top}, out, "-x", "", &skipped, &notes))
        outputs.push_back(job.output + job.error.substr(0, 12));
    EXPECT_EQ(outputs, (Words{out + "/a-x.jpg", out + "/b-x.png", "cannot read:", out + "/sub/c-x.bmp",
                              out + "/sub/link-x.png"}));
    EXPECT_EQ(skipped, 3);
    EXPECT_EQ(notes, Words{dir + "/up: skipped, a folder already searched (a link loop or a second link)"});
    const auto jobs =
        hvcli::CollectJobs({top + "/b.png", top + "/a.txt", dir + "/../a.txt", top + "/nothing"}, top + "/",
                           "", ".png", nullptr, nullptr);
    const Words want[] = {{"", "would replace an input"},
                          {top + "/a.png", ""},
                          {"", "the result of another input"},
                          {"", "cannot read: No such file"}};
    ASSERT_EQ(jobs.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(jobs[i].output, want[i][0]);
        EXPECT_TRUE(Contains(jobs[i].error, want[i][1]) && jobs[i].error.empty() == want[i][1].empty())
            << jobs[i].error;
    }
    tool::RemoveTree(top);
}

// Jobs finish out of order on several threads; the results still come in
// job order, failures go to stderr, and the exit code says whether any failed.
TEST(BatchRun, PrintsInJobOrderWhateverTheThreads) {
    std::vector<hvcli::BatchJob> jobs;
    std::string wantOut, wantJson = "{\"files\": [";
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        jobs.push_back({"in" + n, "out" + n, ""});
        if (i != 2 && i != 5) wantOut += "in" + n + " -> out" + n + "\n";
        wantJson += std::string(i ? "," : "") + "\n  {\"input\": \"in" + n + "\"" +
                    (i == 2   ? ", \"error\": \"broken image\"}"
                     : i == 5 ? ", \"error\": \"unreadable \\\"5\\\"\"}"
                              : "}");
    }
    jobs[5] = {"in5", "", "unreadable \"5\""};
    std::atomic<int> calls{0};
    auto work = [&](const hvcli::BatchJob& j) {
        ++calls;
        const int i = j.input.back() - '0';
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * (8 - i)));  // later jobs finish first
        if (i == 2) throw std::runtime_error("broken image");
        return hvcli::BatchResult{true, j.input + " -> " + j.output, "{\"input\": \"" + j.input + "\"}", ""};
    };
    for (const int threads : {1, 3, 8, 50}) {
        calls = 0;
        hvcli::BatchOptions options{"restyle", threads, false, threads == 3, 3, "restyled"};
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(hvcli::RunBatch(jobs, options, work), 1) << threads;
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "huevane restyle: in2: broken image\nhuevane restyle: in5: unreadable \"5\"\n");
        EXPECT_EQ(calls, 7) << "the job that failed while collecting is not run";
        if (options.json) {
            EXPECT_EQ(out, wantJson + "\n], \"done\": 6, \"failed\": 2, \"skipped\": 3}\n");
        } else {
            EXPECT_EQ(out.substr(0, wantOut.size() + 23), wantOut + "restyled 6 of 8 images ");
            EXPECT_EQ(out.substr(out.find(" at once)")),
                      " at once), 2 failed, 3 files skipped (not images)\n");
        }
    }
    // All good, or nothing to do, is no failure.
    jobs.resize(2);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch(jobs, {}, work), 0);
    EXPECT_EQ(hvcli::RunBatch({}, {}, work), 0);
    ::testing::internal::GetCapturedStdout();
}
