// The style-application functions on real photos: 8- and 24-bit images,
// target buffers, lent 8-bit forms and backups, and host-edited pairings.
#include <gtest/gtest.h>

#include "huevane/huevane.h"
#include "transfer/transfer_fixtures.h"

namespace {

struct Photos {
    void* autumn = tfix::Photo("autumn_256.bmp");
    void* cups = tfix::Photo("cups_256.bmp");
    ~Photos() {
        hv::FreeHandle(autumn);
        hv::FreeHandle(cups);
    }
};

// How many pixel bytes differ.
size_t Changed(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
}

}  // namespace

TEST(AdjustImageStyle, TrueColourImageWithAndWithoutTargetBuffer) {
    const long handles = hv::LiveHandles();
    {
        Photos ph;
        ASSERT_NE(ph.autumn, nullptr);
        ASSERT_NE(ph.cups, nullptr);
        std::vector<char> style = tfix::StyleOf(ph.cups);
        std::vector<char> own = tfix::StyleOf(ph.autumn);
        const std::vector<BYTE> original = tfix::Pixels(ph.autumn);
        void* second = tfix::Copy(ph.autumn);

        EXPECT_EQ(AdjustImageStyle(ph.autumn, style.data(), nullptr), 0);
        const std::vector<BYTE> result = tfix::Pixels(ph.autumn);
        EXPECT_GT(Changed(result, original), original.size() / 4);
        EXPECT_EQ(AdjustImageStyle(second, style.data(), own.data()), 0);
        EXPECT_EQ(tfix::Pixels(second), result);
        // Only the image itself is left behind.
        hv::FreeHandle(second);

        // The image's own style re-colours it only slightly.
        void* self = tfix::Copy(ph.cups);
        std::vector<char> cupsStyle = tfix::StyleOf(self);
        const std::vector<BYTE> cups = tfix::Pixels(self);
        AdjustImageStyle(self, cupsStyle.data(), cupsStyle.data());
        EXPECT_LT(Changed(tfix::Pixels(self), cups), Changed(result, original));
        hv::FreeHandle(self);

        // Other depths are refused and left alone.
        void* deep = MakeEmptyDib(4, 4, 32, true);
        const std::vector<BYTE> zeros = tfix::Pixels(deep);
        EXPECT_EQ(AdjustImageStyle(deep, style.data(), nullptr), -1);
        EXPECT_EQ(AdjustImageStyle2(deep, nullptr, style.data(), nullptr, nullptr), -1);
        EXPECT_EQ(AdjustImageStyle3(deep, style.data(), style.data(), nullptr), 0);
        EXPECT_EQ(tfix::Pixels(deep), zeros);
        hv::FreeHandle(deep);
        EXPECT_EQ(AdjustImageStyle(nullptr, style.data(), nullptr), -1);

        // A null style buffer pairs nothing.
        void* plain = tfix::Copy(ph.cups);
        EXPECT_EQ(AdjustImageStyle(plain, nullptr, nullptr), 0);
        EXPECT_EQ(tfix::Pixels(plain), tfix::Pixels(ph.cups));
        hv::FreeHandle(plain);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(AdjustImageStyle, PaletteImageKeepsItsIndices) {
    const long handles = hv::LiveHandles();
    {
        Photos ph;
        void* dib8 = DecreaseBpp24to8(ph.autumn);
        void* twin = tfix::Copy(dib8);
        std::vector<char> style = tfix::StyleOf(ph.cups);
        std::vector<char> own = tfix::StyleOf(dib8);
        const std::vector<BYTE> indices = tfix::Pixels(dib8);
        const std::vector<tagRGBQUAD> colours = tfix::Colors(dib8);
        EXPECT_EQ(AdjustImageStyle(dib8, style.data(), nullptr), 0);
        EXPECT_EQ(tfix::Pixels(dib8), indices);
        const std::vector<tagRGBQUAD> after = tfix::Colors(dib8);
        // Most colours the image uses change.
        bool used[256] = {};
        for (BYTE i : indices) used[i] = true;
        int inUse = 0, changed = 0;
        for (int i = 0; i < 256; ++i) {
            inUse += used[i];
            changed += used[i] && !tfix::Same(after[i], colours[i]);
        }
        EXPECT_GT(changed, inUse / 2);
        // With its own buffer, and through the second form (whose dib8 and
        // backup are not used at 8 bits): the same colour table.
        EXPECT_EQ(AdjustImageStyle2(twin, own.data(), style.data(), ph.cups, ph.cups), 0);
        for (int i = 0; i < 256; ++i) EXPECT_TRUE(tfix::Same(tfix::Colors(twin)[i], after[i])) << i;
        EXPECT_EQ(tfix::Pixels(twin), indices);
        hv::FreeHandle(dib8);
        hv::FreeHandle(twin);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(AdjustImageStyle, RepeatedCallsWithLentFormAndBackup) {
    const long handles = hv::LiveHandles();
    {
        Photos ph;
        std::vector<char> cupsStyle = tfix::StyleOf(ph.cups);
        void* water = tfix::Copy(ph.cups);
        {
            // A third style: the cups photo with its channels rotated.
            ipDibStuff v(water, false);
            for (BYTE* row : v.rows)
                for (int x = 0; x < v.width(); ++x) std::swap(row[3 * x], row[3 * x + 2]);
        }
        std::vector<char> rotated = tfix::StyleOf(water);
        hv::FreeHandle(water);

        void* image = tfix::Copy(ph.autumn);
        void* backup = tfix::Copy(ph.autumn);
        void* dib8 = DecreaseBpp24to8(ph.autumn);
        std::vector<char> own = tfix::StyleOf(ph.autumn);
        EXPECT_EQ(AdjustImageStyle2(image, own.data(), cupsStyle.data(), dib8, backup), 0);
        EXPECT_EQ(AdjustImageStyle2(image, own.data(), rotated.data(), dib8, backup), 0);
        // The same as one call with the second style on the first colours.
        void* once = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle(once, rotated.data(), nullptr), 0);
        EXPECT_EQ(tfix::Pixels(image), tfix::Pixels(once));
        // The host's handles stay the host's, unchanged.
        EXPECT_EQ(tfix::Pixels(backup), tfix::Pixels(ph.autumn));
        // Without a backup each call re-colours the previous result.
        EXPECT_EQ(AdjustImageStyle2(once, nullptr, cupsStyle.data(), dib8, nullptr), 0);
        EXPECT_EQ(AdjustImageStyle2(once, nullptr, rotated.data(), dib8, nullptr), 0);
        EXPECT_NE(tfix::Pixels(once), tfix::Pixels(image));

        // An 8-bit form or a backup of another size: the image is unchanged.
        void* smallDib8 = ZoomImage8(dib8, 100, 60);
        void* smallBackup = tfix::Dib24(100, 60, [](int, int) { return tagRGBQUAD{1, 2, 3, 0}; });
        const std::vector<BYTE> before = tfix::Pixels(image);
        EXPECT_EQ(AdjustImageStyle2(image, nullptr, cupsStyle.data(), smallDib8, nullptr), 0);
        EXPECT_EQ(AdjustImageStyle2(image, own.data(), cupsStyle.data(), dib8, smallBackup), 0);
        EXPECT_EQ(AdjustImageStyle2(image, own.data(), cupsStyle.data(), backup, nullptr), 0);  // 24-bit "dib8"
        EXPECT_EQ(tfix::Pixels(image), before);
        for (void* h : {image, backup, dib8, once, smallDib8, smallBackup}) hv::FreeHandle(h);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(AdjustImageStyle, MatchLinksAndEditedPairings) {
    const long handles = hv::LiveHandles();
    {
        Photos ph;
        std::vector<char> style = tfix::StyleOf(ph.cups);
        std::vector<char> own = tfix::StyleOf(ph.autumn);
        ccColorPocketArray target(0);
        target.LoadFromBuf(own.data());
        const int n = target.pockets.GetSize();
        ASSERT_GT(n, 2);

        std::vector<MatchLink> links(static_cast<size_t>(n) + 1, MatchLink{-5, -5});
        MatchLinkTable table{0, links.data()};
        EXPECT_EQ(GetMatchLinks(style.data(), own.data(), 2, &table), 0);
        EXPECT_EQ(table.count, n);
        EXPECT_EQ(links[n].targetIndex, -5);  // nothing past the count
        // Largest target pocket first.
        int largest = 0;
        for (int i = 1; i < n; ++i)
            if (target.pockets[i]->pixelNum > target.pockets[largest]->pixelNum) largest = i;
        EXPECT_EQ(links[0].targetIndex, target.pockets[largest]->index);
        for (int i = 0; i < n; ++i) EXPECT_GE(links[i].styleIndex, 0);

        // The table, unchanged, re-colours exactly as the plain call.
        void* a = tfix::Copy(ph.autumn);
        void* b = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle3(a, style.data(), own.data(), &table), 0);
        EXPECT_EQ(AdjustImageStyle(b, style.data(), own.data()), 0);
        EXPECT_EQ(tfix::Pixels(a), tfix::Pixels(b));

        // Edited: the largest pocket names a style pocket that does not
        // exist (its pixels keep their colours), an entry names a target
        // pocket that does not exist (skipped), and a later entry for the
        // second pocket replaces an earlier one.
        std::vector<MatchLink> edited(links.begin(), links.begin() + n);
        edited[0].styleIndex = 999;
        edited.push_back({12345, 0});
        edited.push_back({links[1].targetIndex, links[0].styleIndex});
        MatchLinkTable table2{static_cast<int32_t>(edited.size()), edited.data()};
        void* c = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle3(c, style.data(), own.data(), &table2), 0);
        {
            // Pixels of the largest pocket are unchanged, others re-coloured.
            ccColorPocketArray t(0);
            t.LoadFromBuf(own.data());
            void* dib8 = DecreaseBpp24to8(ph.autumn);
            ipDibStuff* palView = new ipDibStuff(dib8, false);
            ipDibStuff& pal = *palView;
            ipDibStuff orig(ph.autumn, false), out(c, false), plain(a, false);
            ccColorPocket* big = t.GetColorPocket(links[0].targetIndex);
            ccColorPocket* second = t.GetColorPocket(links[1].targetIndex);
            bool inBig[256] = {}, inSecond[256] = {};
            for (ccColorItem* it : big->items) inBig[it->palIndex] = true;
            for (ccColorItem* it : second->items) inSecond[it->palIndex] = true;
            size_t bigPixels = 0, secondDiffers = 0;
            for (int y = 0; y < pal.height(); ++y)
                for (int x = 0; x < pal.width(); ++x) {
                    const BYTE idx = pal.rows[y][x];
                    const int o = 3 * x;
                    if (inBig[idx]) {
                        ++bigPixels;
                        ASSERT_EQ(std::memcmp(out.rows[y] + o, orig.rows[y] + o, 3), 0);
                    } else if (inSecond[idx]) {
                        secondDiffers += std::memcmp(out.rows[y] + o, plain.rows[y] + o, 3) != 0;
                    } else {
                        ASSERT_EQ(std::memcmp(out.rows[y] + o, plain.rows[y] + o, 3), 0);
                    }
                }
            EXPECT_GT(bigPixels, 0u);
            EXPECT_GT(secondDiffers, 0u);
            delete palView;
            hv::FreeHandle(dib8);
        }
        // No table, or an empty one: nothing is paired.
        void* d = tfix::Copy(ph.autumn);
        EXPECT_EQ(AdjustImageStyle3(d, style.data(), own.data(), nullptr), 0);
        MatchLinkTable none{3, nullptr};
        EXPECT_EQ(AdjustImageStyle3(d, style.data(), own.data(), &none), 0);
        EXPECT_EQ(tfix::Pixels(d), tfix::Pixels(ph.autumn));
        for (void* h : {a, b, c, d}) hv::FreeHandle(h);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(AdjustImageStyle, MatchLinksOnEveryMethodAndOnEmptyThemes) {
    Photos ph;
    std::vector<char> style = tfix::StyleOf(ph.cups);
    std::vector<char> own = tfix::StyleOf(ph.autumn);
    ccColorPocketArray empty(0);
    char* emptyBuf = nullptr;
    empty.SaveToBuf(emptyBuf);
    std::vector<MatchLink> links(300);
    for (int method : {1, 2, 3, 4, 5, 0, 6, -1}) {
        MatchLinkTable table{0, links.data()};
        for (MatchLink& l : links) l = {-7, -7};
        EXPECT_EQ(GetMatchLinks(style.data(), own.data(), method, &table), 0);
        ASSERT_GT(table.count, 0);
        for (int i = 0; i < table.count; ++i) {
            EXPECT_GE(links[i].targetIndex, 0);
            // Methods 4 and 5 need the images, which buffers do not carry:
            // 4 pairs on colour alone, 5 refuses; unknown methods pair nothing.
            if (method >= 1 && method <= 4)
                EXPECT_GE(links[i].styleIndex, 0) << method;
            else
                EXPECT_EQ(links[i].styleIndex, -1) << method;
        }
        // An empty style theme: every pocket unpaired, no exception.
        table = {0, links.data()};
        EXPECT_EQ(GetMatchLinks(emptyBuf, own.data(), method, &table), 0);
        ASSERT_GT(table.count, 0);
        for (int i = 0; i < table.count; ++i) EXPECT_EQ(links[i].styleIndex, -1);
        // An empty target: no entries.
        table = {-3, links.data()};
        EXPECT_EQ(GetMatchLinks(style.data(), emptyBuf, method, &table), 0);
        EXPECT_EQ(table.count, 0);
    }
    // Only the count when there is no array.
    MatchLinkTable countOnly{0, nullptr};
    EXPECT_EQ(GetMatchLinks(style.data(), own.data(), 2, &countOnly), 0);
    EXPECT_GT(countOnly.count, 0);
    EXPECT_EQ(GetMatchLinks(style.data(), own.data(), 2, nullptr), 0);
    empty.FreeDataBuf(emptyBuf);
}
