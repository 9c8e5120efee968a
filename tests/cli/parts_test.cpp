// The pieces the tool's commands share (the option parser is seen through
// the table of command lines): JSON strings, the batch form's progress line, its collecting of images from
// folders and its runner's order, messages and exit code.
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

TEST(CliArgs, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(hvcli::JsonString(""), "\"\"");
    EXPECT_EQ(hvcli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(hvcli::JsonString(std::string("\x01\n\x1f ", 4)), "\"\\u0001\\u000a\\u001f \"");
    EXPECT_EQ(hvcli::JsonString("caf\xc3\xa9 /x"), "\"caf\xc3\xa9 /x\"");  // UTF-8 and slash as they are
}

TEST(BatchProgress, BarCountsRateAndTimeLeft) {
    for (const auto& c : tool::Rows("progress_lines.txt")) {
        int done = 0, total = 0;
        double seconds = 0;
        std::istringstream(c.at(0)) >> done >> total >> seconds;
        EXPECT_EQ(hvcli::FormatProgress(done, total, seconds), c.at(1));
    }
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
    std::vector<hvcli::BatchJob> jobs = {
        {"in0", "out0", ""}, {"in1", "out1", ""}, {"in2", "", "unreadable \"2\""}};
    jobs.push_back({"in3", "out3", ""});
    std::atomic<int> calls{0};
    auto work = [&](const hvcli::BatchJob& j) {
        ++calls;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(10 * ('4' - j.input[2])));  // later jobs end first
        if (j.input == "in1") throw std::runtime_error("broken image");
        return hvcli::BatchResult{true, j.input + " -> " + j.output, "{\"input\": \"" + j.input + "\"}", ""};
    };
    for (const int threads : {1, 3, 50}) {
        calls = 0;
        hvcli::BatchOptions options{"restyle", threads, false, threads == 3, 3, "restyled"};
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(hvcli::RunBatch(jobs, options, work), 1) << threads;
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "huevane restyle: in1: broken image\nhuevane restyle: in2: unreadable \"2\"\n");
        EXPECT_EQ(calls, 3) << "the job that failed while collecting is not run";
        if (options.json) {
            EXPECT_EQ(
                out,
                "{\"files\": [\n  {\"input\": \"in0\"},\n  {\"input\": \"in1\", \"error\": \"broken image\"},"
                "\n  {\"input\": \"in2\", \"error\": \"unreadable \\\"2\\\"\"},\n  {\"input\": \"in3\"}\n],"
                " \"done\": 2, \"failed\": 2, \"skipped\": 3}\n");
        } else {
            EXPECT_EQ(out.substr(0, 50), "in0 -> out0\nin3 -> out3\nrestyled 2 of 4 images in ");
            EXPECT_EQ(out.substr(out.find(" at once)")),
                      " at once), 2 failed, 3 files skipped (not images)\n");
        }
    }
    // All good, or nothing to do, is no failure.
    jobs.resize(1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch(jobs, {}, work), 0);
    EXPECT_EQ(hvcli::RunBatch({}, {}, work), 0);
    ::testing::internal::GetCapturedStdout();
}
