// The style-application functions on real photos: argument order, lent
// 8-bit forms and backups, and host-supplied pairings.
#include <gtest/gtest.h>

#include "huevane/huevane.h"
#include "transfer/transfer_fixtures.h"

namespace {

struct Photos {
    void* autumn = tfix::Photo("autumn_256.bmp");
    void* cups = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(cups);
    std::vector<char> own = tfix::StyleOf(autumn);
    ~Photos() {
        hv::FreeHandle(autumn);
        hv::FreeHandle(cups);
    }
};

}  // namespace

TEST(AdjustImageStyle, ArgumentOrderLentFormsAndBackups) {
    const long handles = hv::LiveHandles();
    {
        Photos ph;
        ASSERT_NE(ph.autumn, nullptr);
        const std::vector<BYTE> original = tfix::Pixels(ph.autumn);
        void* plain = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle(plain, ph.style.data(), nullptr), 0);
        const std::vector<BYTE> result = tfix::Pixels(plain);
        EXPECT_NE(result, original);

        // The second form takes the target buffer before the style buffer;
        // twice with a backup is the same as once (no drift).
        void* image = tfix::Copy(ph.autumn);
        void* backup = tfix::Copy(ph.autumn);
        void* dib8 = DecreaseBpp24to8(ph.autumn);
        EXPECT_EQ(AdjustImageStyle2(image, ph.own.data(), ph.style.data(), dib8, backup), 0);
        EXPECT_EQ(tfix::Pixels(image), result);
        EXPECT_EQ(AdjustImageStyle2(image, ph.own.data(), ph.style.data(), dib8, backup), 0);
        EXPECT_EQ(tfix::Pixels(image), result);
        EXPECT_EQ(tfix::Pixels(backup), original);

        // An 8-bit form or a backup of another size leaves the image as it is.
        void* small8 = ZoomImage8(dib8, 100, 60);
        void* small24 = MakeEmptyDib(100, 60, 24, true);
        void* again = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle2(again, nullptr, ph.style.data(), small8, nullptr), 0);
        EXPECT_EQ(AdjustImageStyle2(again, ph.own.data(), ph.style.data(), dib8, small24), 0);
        EXPECT_EQ(tfix::Pixels(again), original);

        // An 8-bit image keeps its indices; its colours change.
        const std::vector<BYTE> indices = tfix::Pixels(dib8);
        const std::vector<tagRGBQUAD> colours = tfix::Colors(dib8);
        EXPECT_EQ(AdjustImageStyle(dib8, ph.style.data(), nullptr), 0);
        EXPECT_EQ(tfix::Pixels(dib8), indices);
        EXPECT_NE(RgbWord(tfix::Colors(dib8)[indices[0]]), RgbWord(colours[indices[0]]));
        for (void* h : {plain, image, backup, dib8, small8, small24, again}) hv::FreeHandle(h);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(AdjustImageStyle, MatchLinksRoundTripAndEmptyThemes) {
    const long handles = hv::LiveHandles();
    {
        Photos ph;
        std::vector<MatchLink> links(300, MatchLink{-5, -5});
        MatchLinkTable table{0, links.data()};
        EXPECT_EQ(GetMatchLinks(ph.style.data(), ph.own.data(), 2, &table), 0);
        ASSERT_GT(table.count, 2);
        EXPECT_EQ(links[table.count].targetIndex, -5);  // nothing past the count
        // The table, unchanged, re-colours exactly as the plain call.
        void* a = tfix::Copy(ph.autumn);
        void* b = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle3(a, ph.style.data(), ph.own.data(), &table), 0);
        EXPECT_EQ(AdjustImageStyle(b, ph.style.data(), ph.own.data()), 0);
        EXPECT_EQ(tfix::Pixels(a), tfix::Pixels(b));
        EXPECT_NE(tfix::Pixels(a), tfix::Pixels(ph.autumn));
        hv::FreeHandle(a);
        hv::FreeHandle(b);

        // Buffers carry no image, so method 4 has no neighbour counts to
        // weigh colour differences by: it pairs nothing, as method 5 does,
        // rather than every pocket with the first style pocket.
        for (int method : {4, 5}) {
            table = {0, links.data()};
            EXPECT_EQ(GetMatchLinks(ph.style.data(), ph.own.data(), method, &table), 0);
            ASSERT_GT(table.count, 0);
            for (int i = 0; i < table.count; ++i) EXPECT_EQ(links[i].styleIndex, -1) << method;
        }

        // Methods 4 and 5 on empty themes: every pocket unpaired, no entries
        // for an empty target, no exception escaping.
        ccColorPocketArray empty(0);
        char* emptyBuf = nullptr;
        empty.SaveToBuf(emptyBuf);
        for (int method : {4, 5}) {
            table = {0, links.data()};
            EXPECT_EQ(GetMatchLinks(emptyBuf, ph.own.data(), method, &table), 0);
            ASSERT_GT(table.count, 0);
            for (int i = 0; i < table.count; ++i) EXPECT_EQ(links[i].styleIndex, -1) << method;
            table = {-3, links.data()};
            EXPECT_EQ(GetMatchLinks(ph.style.data(), emptyBuf, method, &table), 0);
            EXPECT_EQ(table.count, 0);
        }
        empty.FreeDataBuf(emptyBuf);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}
