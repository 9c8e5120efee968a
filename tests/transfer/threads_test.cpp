// The per-pixel passes split across threads give the same bytes whatever the
// thread count, and a theme used once re-colours its image in place with the
// same result as a theme that keeps a backup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "huevane/huevane.h"
#include "platform/workers.h"
#include "transfer/transfer.h"
#include "transfer/transfer_fixtures.h"

namespace {

// A test photo enlarged to w x h (bilinear, with a little fixed noise so
// that it has as many colours as a real photo of that size): large enough
// for the passes to use threads.
void* Large(const char* name, int w, int h) {
    void* small = tfix::Photo(name);
    if (!small) return nullptr;
    void* out = MakeEmptyDib(w, h, 24, true);
    {
        ipDibStuff s(small, false), d(out, false);
        std::mt19937 rng(5);
        const int sw = s.width(), sh = s.height();
        for (int y = 0; y < h; ++y) {
            const double fy = std::min(double(sh - 1), y * double(sh - 1) / (h - 1));
            const int y0 = std::min(int(fy), sh - 2);
            const double ty = fy - y0;
            for (int x = 0; x < w; ++x) {
                const double fx = std::min(double(sw - 1), x * double(sw - 1) / (w - 1));
                const int x0 = std::min(int(fx), sw - 2);
                const double tx = fx - x0;
                for (int c = 0; c < 3; ++c) {
                    auto at = [&](int yy, int xx) { return double(s.rows[yy][3 * xx + c]); };
                    const double v = (at(y0, x0) * (1 - tx) + at(y0, x0 + 1) * tx) * (1 - ty) +
                                     (at(y0 + 1, x0) * (1 - tx) + at(y0 + 1, x0 + 1) * tx) * ty;
                    const int noisy = int(std::lround(v)) + int(rng() % 5) - 2;
                    d.rows[y][3 * x + c] = BYTE(std::clamp(noisy, 0, 255));
                }
            }
        }
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

TEST(Threads, ReductionAndRestyleAreTheSameForOneTwoAndThreeThreads) {
    void* image = Large("autumn_256.bmp", 1536, 960);
    void* styleImage = tfix::Photo("cups_256.bmp");
    ASSERT_TRUE(image && styleImage);
    ASSERT_GE(int64_t(1536) * 960, hv::kThreadedPixels);
    std::vector<char> style = tfix::StyleOf(styleImage);
    const long handles = hv::LiveHandles();
    std::vector<BYTE> reduced[3], restyled[3];
    for (int n = 1; n <= 3; ++n) {
        Threads threads(n);
        ASSERT_EQ(hv::WorkersFor(int64_t(1536) * 960, 960), n);
        void* dib8 = DecreaseBpp24to8(image);
        ASSERT_NE(dib8, nullptr);
        reduced[n - 1] = Bytes(dib8);
        hv::FreeHandle(dib8);
        void* work = tfix::Copy(image);
        ASSERT_EQ(AdjustImageStyle(work, style.data(), nullptr), 0);
        restyled[n - 1] = Bytes(work);
        hv::FreeHandle(work);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
    EXPECT_NE(restyled[0], Bytes(image));  // the restyle changed something
    for (int n = 2; n <= 3; ++n) {
        EXPECT_TRUE(reduced[n - 1] == reduced[0]) << n << " threads";
        EXPECT_TRUE(restyled[n - 1] == restyled[0]) << n << " threads";
    }
    hv::FreeHandle(styleImage);
    hv::FreeHandle(image);
}

// At most 256 colours in the whole image keep their exact colours, also
// when each thread's rows hold only some of them; more than 256 in all
// (though at most 256 in each part) do not.
TEST(Threads, ColourCountIsTakenOverAllParts) {
    for (int colours : {256, 300}) {
        void* image = MakeEmptyDib(1024, 1200, 24, true);
        {
            ipDibStuff v(image, false);
            for (int y = 0; y < 1200; ++y)
                for (int x = 0; x < 1024; ++x) {
                    // Each band of rows has its own run of colours.
                    const int c = (y * colours / 1200 + (x % 2)) % colours;
                    BYTE* p = v.rows[y] + 3 * x;
                    p[0] = BYTE(c * 7);
                    p[1] = BYTE(c);
                    p[2] = BYTE(255 - c / 2);
                }
        }
        for (int n : {1, 3}) {
            Threads threads(n);
            void* dib8 = DecreaseBpp24to8(image);
            ASSERT_NE(dib8, nullptr);
            int exact = 0;
            {
                ipDibStuff in(image, false), out(dib8, false);
                for (int y = 0; y < 1200; y += 7)
                    for (int x = 0; x < 1024; x += 5) {
                        const BYTE* p = in.rows[y] + 3 * x;
                        const tagRGBQUAD& q = out.colors[out.rows[y][x]];
                        exact += q.rgbBlue == p[0] && q.rgbGreen == p[1] && q.rgbRed == p[2];
                    }
            }
            const int samples = ((1200 + 6) / 7) * ((1024 + 4) / 5);
            if (colours <= 256)
                EXPECT_EQ(exact, samples) << n << " threads";
            else
                EXPECT_LT(exact, samples) << n << " threads";
            hv::FreeHandle(dib8);
        }
        hv::FreeHandle(image);
    }
}

// A theme used once and a theme that keeps the first colours give the same
// image; only the second holds a copy, which later transfers start from.
TEST(Threads, PassInPlaceEqualsPassFromBackup) {
    void* image = Large("cups_256.bmp", 1200, 900);
    void* styleImage = tfix::Photo("autumn_256.bmp");
    ASSERT_TRUE(image && styleImage);
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
        EXPECT_EQ(hv::TrueDibPassOnce(*std::make_unique<ccColorPocketArray>(0)), -1);
        hv::FreeHandle(once);
        hv::FreeHandle(kept);
    }
    hv::FreeHandle(styleImage);
    hv::FreeHandle(image);
}
