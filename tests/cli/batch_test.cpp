// Batch work shared by restyle and reduce: collecting images from folders by
// content, output names, the output folder, the progress line, and the
// runner's order, failures and exit code.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "batch.h"
#include "tool_run.h"

using tool::Contains;
using tool::Temp;

namespace {

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kPngHead("\x89PNG\r\n\x1a\n rest", 13);
const std::string kJpegHead("\xff\xd8\xff\xe0 rest", 9);

// A fresh empty folder for one test.
std::string Folder(const std::string& name) {
    const std::string dir = Temp(name);
    std::system(("rm -rf '" + dir + "'").c_str());
    EXPECT_EQ(mkdir(dir.c_str(), 0777), 0) << dir;
    return dir;
}

}  // namespace

TEST(BatchProgress, BarCountsRateAndTimeLeft) {
    struct Case {
        int done, total;
        double seconds;
        const char* expected;
    };
    const Case cases[] = {
        {0, 10, 0.0, "[....................]  0/10"},
        {5, 20, 2.0, "[#####...............]  5/20  2.5 images/s  0:06 left"},
        {3, 7, 1.5, "[########............]  3/7  2.0 images/s  0:02 left"},  // 60/7 = 8.57 -> 8 filled
        {1, 14, 10.0, "[#...................]  1/14  0.1 images/s  2:10 left"},  // 130 s
        {20, 20, 4.0, "[####################]  20/20  5.0 images/s  0:00 left"},
        {0, 0, 1.0, "[####################]  0/0"},
    };
    for (const Case& c : cases) EXPECT_EQ(hvcli::FormatProgress(c.done, c.total, c.seconds), c.expected);
}

TEST(BatchCollect, SniffsImagesByContent) {
    const std::string dir = Folder("sniff");
    const struct {
        const char* name;
        std::string bytes;
        const char* kind;
    } cases[] = {
        {"a.txt", kPngHead, ".png"},
        {"b.png", kJpegHead, ".jpg"},
        {"c", "BM\x36\x00", ".bmp"},
        {"d.png", "just text", ""},
        {"e.jpg", "", ""},
        {"f.png", std::string("\x89PNG\r\n\x1a", 7), ""},  // a PNG signature needs all 8 bytes
        {"g.jpg", "\xff\xd8", ""},
    };
    for (const auto& c : cases) {
        Write(dir + "/" + c.name, c.bytes);
        std::string error;
        const char* kind = hvcli::SniffImage(dir + "/" + c.name, &error);
        ASSERT_NE(kind, nullptr) << c.name << ": " << error;
        EXPECT_STREQ(kind, c.kind) << c.name;
    }
    std::string error;
    EXPECT_EQ(hvcli::SniffImage(dir + "/missing.png", &error), nullptr);
    EXPECT_TRUE(Contains(error, "No such file")) << error;
}

// A folder with a subfolder, links (to a file, dangling, and back to the
// folder itself), non-images and an image under a name that does not say so.
TEST(BatchCollect, WalksFoldersInNameOrderFollowingLinksOnce) {
    const std::string dir = Folder("walk"), out = Temp("walk_out");
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0777), 0);
    Write(dir + "/b.png", kPngHead);
    Write(dir + "/a.jpeg", kJpegHead);
    Write(dir + "/photo.data", kPngHead);
    Write(dir + "/notes.txt", "not an image");
    Write(dir + "/sub/c.bmp", "BM..");
    Write(dir + "/sub/fake.png", "text named like a picture");
    ASSERT_EQ(symlink("../b.png", (dir + "/sub/link.png").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.png", (dir + "/dangling.png").c_str()), 0);
    ASSERT_EQ(symlink("..", (dir + "/sub/loop").c_str()), 0);

    int skipped = -1;
    std::vector<std::string> notes;
    const auto jobs = hvcli::CollectJobs({dir}, out, "-x", "", &skipped, &notes);
    struct Expect {
        std::string input, output, error;
    };
    const std::vector<Expect> expected = {
        {dir + "/a.jpeg", out + "/a-x.jpg", ""},
        {dir + "/b.png", out + "/b-x.png", ""},
        {dir + "/dangling.png", "", "cannot read"},
        {dir + "/photo.data", out + "/photo-x.png", ""},
        {dir + "/sub/c.bmp", out + "/sub/c-x.bmp", ""},
        {dir + "/sub/link.png", out + "/sub/link-x.png", ""},
    };
    ASSERT_EQ(jobs.size(), expected.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(jobs[i].input, expected[i].input) << i;
        EXPECT_EQ(jobs[i].output, expected[i].output) << i;
        if (expected[i].error.empty())
            EXPECT_TRUE(jobs[i].error.empty()) << jobs[i].error;
        else
            EXPECT_TRUE(Contains(jobs[i].error, expected[i].error)) << jobs[i].error;
    }
    EXPECT_EQ(skipped, 2);  // notes.txt and fake.png
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_TRUE(Contains(notes[0], dir + "/sub/loop")) << notes[0];

    // A forced extension replaces the format's; a file target keeps only its
    // stem; a missing target is one failed job.
    const auto forced = hvcli::CollectJobs({dir + "/sub/c.bmp", dir + "/nothing"}, out, "", ".png", nullptr, nullptr);
    ASSERT_EQ(forced.size(), 2u);
    EXPECT_EQ(forced[0].output, out + "/c.png");
    EXPECT_TRUE(forced[1].output.empty());
    EXPECT_TRUE(Contains(forced[1].error, "No such file")) << forced[1].error;
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(BatchCollect, NoResultReplacesAnInputOrAnotherResult) {
    const std::string dir = Folder("clash");
    Write(dir + "/a.png", kPngHead);
    Write(dir + "/a.bmp", "BM..");
    Write(dir + "/b.png", kPngHead);
    // Written into the inputs' own folder without a suffix: each result
    // would replace its input.
    auto jobs = hvcli::CollectJobs({dir + "/b.png"}, dir, "", "", nullptr, nullptr);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0].output.empty());
    EXPECT_TRUE(Contains(jobs[0].error, "replace an input")) << jobs[0].error;
    // With a suffix they do not; a.bmp and a.png forced to .png meet.
    jobs = hvcli::CollectJobs({dir}, dir + "/", "-r", ".png", nullptr, nullptr);
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].output, dir + "/a-r.png");
    EXPECT_TRUE(jobs[1].output.empty());
    EXPECT_TRUE(Contains(jobs[1].error, "result of another input")) << jobs[1].error;
    EXPECT_EQ(jobs[2].output, dir + "/b-r.png");
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(BatchCollect, OutputFolderIsMadeOrRefusedBeforeWork) {
    const std::string dir = Folder("outdir");
    std::string error;
    EXPECT_TRUE(hvcli::PrepareOutputFolder(dir + "/new/deeper/", &error)) << error;
    struct stat st;
    EXPECT_EQ(stat((dir + "/new/deeper").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(hvcli::PrepareOutputFolder(dir + "/new", &error)) << error;  // exists already

    Write(dir + "/file", "x");
    EXPECT_FALSE(hvcli::PrepareOutputFolder(dir + "/file", &error));
    EXPECT_TRUE(Contains(error, "not a folder")) << error;
    EXPECT_FALSE(hvcli::PrepareOutputFolder(dir + "/file/below", &error));
    EXPECT_TRUE(Contains(error, "cannot create the folder")) << error;
    EXPECT_FALSE(hvcli::PrepareOutputFolder("", &error));

    EXPECT_TRUE(hvcli::MakeParentFolders(dir + "/p/q/r.png", &error)) << error;
    EXPECT_EQ(stat((dir + "/p/q").c_str(), &st), 0);
    EXPECT_NE(stat((dir + "/p/q/r.png").c_str(), &st), 0) << "only the folders";
    std::system(("rm -rf '" + dir + "'").c_str());
}

// Jobs finish out of order on several threads; the results still come in
// job order, failures go to stderr, and the exit code says whether any failed.
TEST(BatchRun, PrintsInJobOrderWhateverTheThreads) {
    std::vector<hvcli::BatchJob> jobs;
    for (int i = 0; i < 8; ++i) jobs.push_back({"in" + std::to_string(i), "out" + std::to_string(i), ""});
    jobs[5].output.clear();
    jobs[5].error = "could not be read";
    std::atomic<int> calls{0};
    auto work = [&](const hvcli::BatchJob& j) {
        ++calls;
        const int i = j.input.back() - '0';
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * (8 - i)));  // later jobs finish first
        hvcli::BatchResult r;
        if (i == 2) throw std::runtime_error("broken image");
        r.ok = true;
        r.text = j.input + " -> " + j.output;
        r.json = "{\"input\": \"" + j.input + "\"}";
        return r;
    };
    std::string expectedOut;
    for (const int i : {0, 1, 3, 4, 6, 7}) expectedOut += "in" + std::to_string(i) + " -> out" + std::to_string(i) + "\n";
    for (const int threads : {1, 3, 8, 50}) {
        calls = 0;
        hvcli::BatchOptions options;
        options.command = "restyle";
        options.threads = threads;
        options.verb = "restyled";
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int code = hvcli::RunBatch(jobs, options, work);
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, 1) << threads;
        EXPECT_EQ(calls, 7) << "the job that failed while collecting is not run";
        EXPECT_EQ(out.substr(0, expectedOut.size()), expectedOut) << threads;
        EXPECT_TRUE(Contains(out, "restyled 6 of 8 images")) << out;
        EXPECT_TRUE(Contains(out, "2 failed")) << out;
        EXPECT_EQ(err,
                  "huevane restyle: in2: broken image\n"
                  "huevane restyle: in5: could not be read\n")
            << threads;
    }
}

TEST(BatchRun, JsonListsEveryFileAndAllGoodIsExitZero) {
    std::vector<hvcli::BatchJob> jobs = {{"a", "A", ""}, {"b", "", "unreadable \"b\""}};
    auto work = [](const hvcli::BatchJob& j) {
        hvcli::BatchResult r;
        r.ok = true;
        r.json = "{\"input\": \"" + j.input + "\"}";
        return r;
    };
    hvcli::BatchOptions options;
    options.command = "reduce";
    options.json = true;
    options.skipped = 3;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(hvcli::RunBatch(jobs, options, work), 1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out,
              "{\"files\": [\n"
              "  {\"input\": \"a\"},\n"
              "  {\"input\": \"b\", \"error\": \"unreadable \\\"b\\\"\"}\n"
              "], \"done\": 1, \"failed\": 1, \"skipped\": 3}\n");

    jobs.pop_back();
    options.json = false;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch(jobs, options, work), 0);
    ::testing::internal::GetCapturedStdout();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch({}, options, work), 0);  // nothing to do is no failure
    ::testing::internal::GetCapturedStdout();
}
