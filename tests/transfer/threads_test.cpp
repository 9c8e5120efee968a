// The per-pixel passes split across threads give the same bytes whatever the
// thread count.
#include <algorithm>
#include <random>

#include "platform/workers.h"
#include "transfer/transfer_fixtures.h"

namespace {

// Every byte of a DIB: header, colour table and pixels.
std::vector<BYTE> Bytes(void* dib) {
    hv::HandleLock lock(dib);
    return {lock.bytes(), lock.bytes() + lock.size()};
}

}  // namespace

// The same bytes for one, two and three threads: on a test photo tiled to
// 1536 x 960 with a little fixed noise (as many colours as a real photo of
// that size), and on images whose bands of rows each hold their own run of
// 256 or 300 colours, where the colour count must be taken over all parts
// (no part alone holds more than 256).
TEST(Threads, ReductionAndRestyleAreTheSameForOneTwoAndThreeThreads) {
    tfix::NoLeak noLeak;
    void* photo = tfix::Photo("autumn_256.bmp");
    void* styleImage = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(styleImage);
    std::mt19937 rng(5);
    for (int colours : {0, 256, 300}) {
        void* image = colours ? MakeEmptyDib(1024, 1200, 24, true) : MakeEmptyDib(1536, 960, 24, true);
        {
            ipDibStuff v(image, false), s(photo, false);
            for (int y = 0; y < v.height(); ++y)
                for (int x = 0; x < 3 * v.width(); ++x) {
                    const int c = colours ? (y * colours / 1200 + x / 3 % 2) % colours : 0;
                    const int banded[3] = {c * 7, c, 255 - c / 2};
                    v.rows[y][x] =
                        BYTE(colours ? banded[x % 3]
                                     : std::clamp(s.rows[y % 160][x % 768] + int(rng() % 5) - 2, 0, 255));
                }
        }
        std::vector<BYTE> first[2];
        for (int n = 1; n <= 3; ++n) {
            hv::SetWorkerCount(n);
            ipDibStuff v(image, false);
            ASSERT_EQ(hv::WorkersFor(int64_t(v.width()) * v.height(), v.height()), n);
            void* dib8 = DecreaseBpp24to8(image);
            void* work = tfix::Copy(image);
            ASSERT_EQ(AdjustImageStyle(work, style.data(), nullptr), 0);
            ASSERT_NE(dib8, nullptr);
            const std::vector<BYTE> got[2] = {Bytes(dib8), Bytes(work)};
            EXPECT_TRUE(n > 1 || got[1] != Bytes(image));  // the restyle changed something
            for (int k = 0; k < 2; ++k) {
                if (n == 1) first[k] = got[k];
                EXPECT_TRUE(got[k] == first[k]) << colours << " colours, " << n << " threads";
            }
            for (void* h : {dib8, work}) hv::FreeHandle(h);
        }
        hv::SetWorkerCount(0);
        hv::FreeHandle(image);
    }
    for (void* h : {photo, styleImage}) hv::FreeHandle(h);
}
