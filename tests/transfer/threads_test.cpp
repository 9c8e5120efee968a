// The per-pixel passes split across threads give the same bytes whatever the
// thread count, and a theme used once re-colours its image in place with the
// same result as a theme that keeps a backup.
#include <algorithm>
#include <random>

#include "platform/workers.h"
#include "transfer/transfer.h"
#include "transfer/transfer_fixtures.h"

namespace {

// A test photo tiled to w x h with a little fixed noise (so that it has as
// many colours as a real photo of that size): large enough for the passes
// to use threads.
void* Large(const char* name, int w, int h) {
    void* small = tfix::Photo(name);
    void* out = MakeEmptyDib(w, h, 24, true);
    {
        ipDibStuff s(small, false), d(out, false);
        std::mt19937 rng(5);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 3 * w; ++x)
                d.rows[y][x] = BYTE(
                    std::clamp(s.rows[y % s.height()][x % (3 * s.width())] + int(rng() % 5) - 2, 0, 255));
    }
    hv::FreeHandle(small);
    return out;
}

// Every byte of a DIB: header, colour table and pixels.
std::vector<BYTE> Bytes(void* dib) {
    hv::HandleLock lock(dib);
    return {lock.bytes(), lock.bytes() + lock.size()};
}

struct Threads {
    explicit Threads(int n) { hv::SetWorkerCount(n); }
    ~Threads() { hv::SetWorkerCount(0); }
};

}  // namespace

// The same bytes for one, two and three threads: on a photo, and on images
// whose bands of rows each hold their own run of 256 or 300 colours, where
// the colour count must be taken over all parts (at most 256 keep their
// exact colours).
TEST(Threads, ReductionAndRestyleAreTheSameForOneTwoAndThreeThreads) {
    tfix::NoLeak noLeak;
    void* styleImage = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(styleImage);
    hv::FreeHandle(styleImage);
    for (int colours : {0, 256, 300}) {
        void* image = colours ? MakeEmptyDib(1024, 1200, 24, true) : Large("autumn_256.bmp", 1536, 960);
        {
            ipDibStuff v(image, false);
            for (int y = 0; colours && y < v.height(); ++y)
                for (int x = 0; x < v.width(); ++x) {
                    const int c = (y * colours / 1200 + (x % 2)) % colours;
                    BYTE* p = v.rows[y] + 3 * x;
                    p[0] = BYTE(c * 7), p[1] = BYTE(c), p[2] = BYTE(255 - c / 2);
                }
            std::vector<BYTE> reduced[3], restyled[3];
            for (int n = 1; n <= 3; ++n) {
                Threads threads(n);
                ASSERT_EQ(hv::WorkersFor(int64_t(v.width()) * v.height(), v.height()), n);
                void* dib8 = DecreaseBpp24to8(image);
                ASSERT_NE(dib8, nullptr);
                reduced[n - 1] = Bytes(dib8);
                int changed = 0;
                {
                    ipDibStuff out(dib8, false);
                    for (int y = 0; y < v.height(); y += 7)
                        for (int x = 0; x < v.width(); x += 5) {
                            const BYTE* p = v.rows[y] + 3 * x;
                            const tagRGBQUAD& q = out.colors[out.rows[y][x]];
                            changed += q.rgbBlue != p[0] || q.rgbGreen != p[1] || q.rgbRed != p[2];
                        }
                }
                if (colours) {
                    EXPECT_EQ(changed == 0, colours <= 256) << colours << " colours, " << n << " threads";
                }
                void* work = tfix::Copy(image);
                ASSERT_EQ(AdjustImageStyle(work, style.data(), nullptr), 0);
                restyled[n - 1] = Bytes(work);
                for (void* h : {dib8, work}) hv::FreeHandle(h);
            }
            EXPECT_NE(restyled[0], Bytes(image));  // the restyle changed something
            for (int n = 2; n <= 3; ++n) {
                EXPECT_TRUE(reduced[n - 1] == reduced[0]) << colours << " colours, " << n << " threads";
                EXPECT_TRUE(restyled[n - 1] == restyled[0]) << colours << " colours, " << n << " threads";
            }
        }
        hv::FreeHandle(image);
    }
}

// A theme used once and a theme that keeps the first colours give the same
// image; only the second holds a copy, which later transfers start from.
TEST(Threads, PassInPlaceEqualsPassFromBackup) {
    void* image = Large("cups_256.bmp", 1200, 900);
    void* styleImage = tfix::Photo("autumn_256.bmp");
    std::vector<char> style = tfix::StyleOf(styleImage);
    for (int n : {1, 2}) {
        Threads threads(n);
        void* once = tfix::Copy(image);
        void* kept = tfix::Copy(image);
        const long handles = hv::LiveHandles();
        std::vector<BYTE> results[2];
        for (int way = 0; way < 2; ++way) {
            void* dib = way ? kept : once;
            ccColorPocketArray t(0), s(0);
            t.SetTrueDib(dib);
            t.SetPalDib(DecreaseBpp24to8(dib), true);
            t.GetColorPockets();
            s.LoadFromBuf(style.data());
            t.GetDstPockets(&s, true, 2);
            if (way == 0) {
                EXPECT_EQ(hv::TrueDibPassOnce(t), 0);
                EXPECT_EQ(t.trueDibCopy, nullptr);
                EXPECT_EQ(hv::LiveHandles(), handles + 1);  // the 8-bit form alone
            } else {
                EXPECT_EQ(t.ApplyFinalTransToTrueDib(), 0);
                ASSERT_NE(t.trueDibCopy, nullptr);
                EXPECT_EQ(Bytes(t.trueDibCopy), Bytes(image));
                // With a backup the pass reads the backup, also when run once.
                EXPECT_EQ(hv::TrueDibPassOnce(t), 0);
            }
            results[way] = Bytes(dib);
        }
        EXPECT_TRUE(results[0] == results[1]) << n << " threads";
        EXPECT_NE(results[0], Bytes(image));
        ccColorPocketArray empty(0);
        EXPECT_EQ(hv::TrueDibPassOnce(empty), -1);
        for (void* h : {once, kept}) hv::FreeHandle(h);
    }
    for (void* h : {styleImage, image}) hv::FreeHandle(h);
}
