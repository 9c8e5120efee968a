// ccColorPocketArray: the theme of one image.
//
// A theme holds the image's palette as colour items, the pockets that group
// those items into the theme's colours, and the DIB handles of its image.
// It owns its pockets and palette; it owns palDib only when ownsPalDib is
// set and trueDibCopy unless trueDibCopyBorrowed is set; it never owns
// trueDib. Handles are released with GlobalFree.
//
// Themes are not copyable: a copy would share pockets, palette and handles
// with its source and release them twice.
#pragma once

#include <string>

#include "huevane/color.h"
#include "huevane/dynaarray.h"
#include "huevane/platform.h"
#include "huevane/stroke.h"

class csColorSystem;

class HUEVANE_API ccColorPocketArray {
public:
    ccDynaArray<ccColorPocket*> pockets;  // owned, in the theme's current order
    void* palDib = nullptr;               // 8-bit image; owned when ownsPalDib
    void* trueDib = nullptr;              // 24-bit host image; never owned
    std::string name;
    ccColorItem* palette = nullptr;       // one item per palette index; owned
    int paletteSize = 0;
    int transferCount = 0;                // colour transfers written into trueDib
    tagRGBQUAD savedColors[256];          // colour table saved while highlighted
    int sortMode = 0;                     // 0 none, 1 hue, 2 percentage, 3 lightness
    bool highlighted = false;
    std::string tagText;
    std::string originalPath;
    int themeType = 0;                    // 0 from an image, 1 from a list or interpolation
    void* trueDibCopy = nullptr;          // backup of trueDib; owned unless borrowed
    bool ownsPalDib = false;
    bool trueDibCopyBorrowed = false;

    // An empty theme of the given type.
    explicit ccColorPocketArray(int type = 0);
    // Releases pockets, palette, an owned palDib and an owned trueDibCopy.
    ~ccColorPocketArray();
    ccColorPocketArray(const ccColorPocketArray&) = delete;
    ccColorPocketArray& operator=(const ccColorPocketArray&) = delete;

    // ---- object ----

    // Deletes every pocket; palette, handles and other fields stay.
    void ClearAll();
    // Attaches a palette DIB; a different handle replaces (and, if owned,
    // releases) the current one and takes the given ownership flag.
    void SetPalDib(void* dib, bool owns);
    // Attaches the host's 24-bit image; the theme never releases it.
    void SetTrueDib(void* dib) { trueDib = dib; }
    // Replaces the palette by n default items; returns n, or 0 (no palette)
    // when n is not positive or memory is short. Pockets are not touched.
    int InitPalette(int n);
    // Fills item i from colour fractions 0..1 (truncated bytes) and its
    // count; percentage = count / total. The caller keeps i in range.
    ccColorItem* SetPalEntry(int i, float r, float g, float b, int count, int total);
    ccColorItem* SetPalEntryBYTE(int i, unsigned char r, unsigned char g, unsigned char b, int count,
                                 int total);
    // biWidth of palDib, or -1 without a usable palette DIB.
    int GetImageWidth();
    // Position of pocket p in pockets, or -1.
    int GetIndex(ccColorPocket* p);
    // First pocket whose index field equals id, or null.
    ccColorPocket* GetColorPocket(int id);
    // Hue of the first pocket; std::out_of_range on a theme without pockets.
    int GetMainHue();
    int GetThemeType() { return themeType; }
    void* GetTrueDibCopy() { return trueDibCopy; }
    // Lends the host's backup of trueDib; ignored without a trueDib or when
    // a copy is already in place. The theme does not release it.
    void SetTrueDibCopy(void* dib);

    // ---- extraction ----

    // Attaches the host's 8-bit image (the theme does not own it) and runs
    // GetColorPockets; 0 whatever the extraction gives, -11 with nothing done
    // when dib is already the palette DIB.
    int SetDib(void* dib);
    // Default extraction: palette colours grouped by hue, reclustered by
    // nearest colour, ordered by pixel count, index = position. Derives an
    // owned palDib from trueDib when there is none; reuses an existing
    // palette of 256 or more items. 0, or -1 with the pockets unchanged when
    // there is no usable 8-bit image with a 256-entry colour table (a header
    // width or height of 0 or less counts as unusable).
    int GetColorPockets();
    // The alternative extractions below share GetColorPockets' start (palDib
    // derived from trueDib when needed, the palette made on first use) and
    // return 0, or -1 with the pockets unchanged without a usable 8-bit
    // image. None of them sets index.
    //
    // G: each most frequent colour not yet taken seeds a pocket that takes
    // the colours nearest the seed while they lie within 30 city-block steps
    // of its moving mean; at most 16 pockets, those under 2% merged away.
    // Shares of the image; pockets by descending pixelNum (sortMode 2).
    int GetColorPocketsG();
    // D: one pocket per used colour; the closest pair (hue-weighted HSL
    // distance) of pockets that touch in the image and lie at most 60 hue
    // steps apart merges until 6 remain or no pair qualifies. Shares of the
    // clustered pixels; palette order, no sort.
    int GetColorPocketsD();
    // CG: as D, with closeness the squared RGB distance, and pockets of two
    // different groups of the card never merged. cardIndex (256 ints, the
    // caller's) caches the card sample nearest to each palette colour: it
    // is filled when cardIndex[0] is negative and used as it is otherwise.
    // groupIndex: the last group listing the sample, -1 for none (also for
    // cache entries outside the card); a merged pocket without a group takes
    // its partner's. -1 also for a null cs or cardIndex (nothing changed).
    int GetColorPocketsCG(csColorSystem* cs, int* cardIndex);
    // Q: an octree over the 256 table colours gives at most 10 colours; each
    // used palette colour joins the pocket of its nearest colour, then
    // empty pockets go and the pockets are reclustered. percentage stays 0;
    // call GetPercentage for shares. -1 (pockets unchanged) also when the
    // octree cannot be built for lack of memory.
    int GetColorPocketsQ();
    // Position among the first n pockets of the aveRGB nearest to p's (ties to
    // the lowest position); -1 when n < 1 or p is null; std::out_of_range
    // when n exceeds the pocket count.
    int FindNearestPocket(ccColorPocket* p, int n);
    // The same for an item's rgb.
    int FindNearestPocket(ccColorItem* item, int n);
    // Pours src's items into the pocket at position k (std::out_of_range for a
    // bad k, nothing changed) and empties src, which stays until
    // RemoveEmptyPockets; 0. Merging a pocket into itself changes nothing.
    int MergePockets(int k, ccColorPocket* src);
    // Merges every pocket at position n or later into its nearest among the
    // first n, then removes empty pockets; 0, or -1 with nothing changed when
    // n < 1.
    int MergeAfter(int n);
    // For pockets in descending share order: merges those from the first one
    // whose share is below percent/100 (never the first pocket); the result
    // of MergeAfter, or -1 with fewer than 2 pockets.
    int MergePercentLess(int percent);
    // Each pocket's share of all pockets' pixels; all shares 0 when the
    // pockets' counts add up to 0. 0.
    int GetPercentage();
    // Reassigns every palette item with pixels to the pocket whose mean (as it
    // was before the call) is nearest; means become pixel-weighted; empty
    // pockets are removed. percentage and index stay. 0.
    int Recluster();
    // Does nothing; 0.
    int ReclusterNG();
    // Destroys and removes every pocket without items; the others keep order.
    void RemoveEmptyPockets();

    // Stable orders. Each returns 0, or -10 with nothing changed (sortMode
    // included) when the theme has fewer than 2 pockets.
    int SortOnPercentage();  // descending pixelNum; sortMode 2
    int SortOnHue();         // descending aveHSL hue; sortMode 1
    int SortOnLight();       // descending aveHSL lightness; sortMode 3
    // The first selected pocket (or, with none selected, the largest) at
    // position 0, the rest by ascending RGB distance to it; sortMode 0
    // afterwards. 0, or -1 on an empty theme.
    int SortMainOnClrDiff();
    // 1 hue, 2 percentage, 3 lightness, 4 main colour: that sort's result;
    // -1 for any other mode.
    int Sort(int mode);
    // Palette indices 0..255 in a stable order written to order[256]; the
    // palette is not changed. 0, or -1 with order untouched when order is
    // null or the palette has fewer than 256 items.
    int SortPalOnLight(int* order);         // ascending lightness
    int SortPalOnHue(int* order);           // ascending hue
    int SortPalOnPixelNumDesc(int* order);  // descending pixelNum
    // Ascending squared RGB distance to item center; -1 also when center is
    // outside 0..255.
    int SortPalOnCenterDist(int* order, int center);

    // A new 8-bit DIB of palDib's size whose pixels hold the position of the
    // pocket owning the input pixel's palette index (0 when none owns it).
    // The caller releases it (GlobalFree). Null without a usable 8-bit
    // palDib or when the DIB cannot be made. The theme is not changed.
    void* FillPocketIndexInDib();

    // ---- persistence ----

    // L, the byte count after the length field of the theme's buffer as
    // SaveToBuf would write it now; -1 when L + 4 would not fit an int.
    int GetDataBufLength();
    // Writes the theme (version 21) into a new array of L + 4 bytes whose
    // address goes to buf; returns L. Members are stored as their positions
    // in the palette array (members that are no item of it are left out),
    // so the buffer loads back into the same pockets. The caller releases
    // the array with FreeDataBuf or FreeStyleBuf. -1 with buf null when
    // L + 4 does not fit an int or memory is short.
    int SaveToBuf(char*& buf);
    // Releases an array made by SaveToBuf (null is ignored); returns 0.
    int FreeDataBuf(char* buf);
    // Replaces name, palette and pockets with those of the buffer, which
    // must hold L + 4 bytes, L being its first four bytes; returns L. Nothing
    // beyond those bytes is read; a pocket count of zero or less gives no
    // pockets, a member count of zero or less a pocket without members. A
    // null or malformed buffer (truncated field, negative palette count,
    // oversized count, more than 256 pockets, member
    // index outside the palette, L above INT_MAX - 4, so that the whole
    // buffer's size fits an int)
    // returns -1 and leaves the theme without pockets, its name and palette
    // unchanged. Fields the buffer does not carry stay.
    int LoadFromBuf(char* buf);
    // Writes the theme file (the buffer without its length field), sharing
    // denied while open. 0, or -1 when the file cannot be opened or written.
    int SaveToFile(const char* path);
    // Reads a theme file into the theme. 0; -1 when the file cannot be
    // opened (theme untouched); -2 when it opens but holds no well-formed
    // theme (pockets deleted, name and palette unchanged, as LoadFromBuf).
    int LoadFromFile(const char* path);

    // ---- matching and transfer ----

    // Pairs this (target) theme's pockets with those of style: method 1
    // greedy by size, 2 greedy by size refined by hue, 3 greedy by lightness,
    // 4 best preservation of neighbouring colour differences, 5 neighbour
    // chains. respectBackground (methods 1 to 3) pairs background pockets
    // only with background pockets and leaves pockets flagged 4 unpaired.
    // Linked pockets then get copies of their destination's colours, and the
    // theme is sorted by percentage. Returns 0; method 4: -2 with no pairing
    // when a theme has more than 16 pockets, -1 with no pairing without the
    // target's 8-bit palette DIB; method 5: -1 without palette DIBs, -2
    // above 16 pockets; -1 for an unknown method or a null style. Methods 1
    // to 3 clear the style's links after pairing, so a theme matched with
    // itself stays unpaired. Methods 4 and 5 raise std::out_of_range on an
    // empty theme.
    int GetDstPockets(ccColorPocketArray* style, bool respectBackground, int method);
    // Sets every pocket's destLink to null; the colour copies stay.
    void ClearDstPockets();
    // Kept for compatibility: returns 0 and changes nothing.
    int AdjustDstPocketOnHue();
    // Chain order of the pocket positions into order[] (one entry per
    // pocket): the largest pocket first, each next one the most adjacent in
    // the palette DIB to the previous. 0; -1 with order untouched without a
    // usable 8-bit palette DIB or with more than 16 pockets.
    int SortOnMixNeighboring(int* order);
    // m[i][j] = squared RGB distance of the pockets at i and j. 0, or -1 with
    // m untouched when the theme has more than 16 pockets.
    int GetClrDiffMatrix(int (*m)[16]);
    // Method 4 (the bool is not used): 0; -2 above 16 pockets; -1 without
    // a usable 8-bit palette DIB of this theme (nothing paired).
    int GetMapOnColorDiff(ccColorPocketArray* style, bool unused);
    // Method 5 (the bool is not used): 0, -1 or -2 as GetDstPockets.
    int GetMapOnMixNeighboring(ccColorPocketArray* style, bool unused);

    // Pairs (method refineByHue ? 2 : 1), then runs the palette pass and,
    // with a trueDib, the true-DIB pass. The pairing's result; -1 without a
    // palette DIB; -2 when the pairing fails (no pass run).
    int ApplyColorTrans(ccColorPocketArray* style, bool respectBackground, bool transferLightness,
                        bool refineByHue);
    // Pairs as ApplyColorTrans, then the true-DIB pass only; 0, or -1
    // without a palette DIB or trueDib. transferCount stays.
    int ApplyColorTransToTrueDib(ccColorPocketArray* style, bool respectBackground,
                                 bool transferLightness, bool refineByHue);
    // The palette pass and, with a trueDib, the true-DIB pass over the
    // existing pairing; transferCount grows when the latter gives 0 or more.
    // Returns the true-DIB pass's result (0 without a trueDib).
    int ApplyFinalTrans(ccColorPocketArray* style, bool transferLightness);
    // Re-colours trueDib from trueDibCopy (made on first use, owned by the
    // theme) through the pockets of palDib's pixels; unpaired pockets' pixels
    // stay. 0; -1 without palDib/trueDib or when palDib (8 bits), trueDib
    // and trueDibCopy (24 bits) differ in size or depth; -2 when the copy
    // cannot be made. Nothing is written on failure.
    int ApplyFinalTransToTrueDib(ccColorPocketArray* style = nullptr, bool transferLightness = false);
    // Writes the re-coloured items of one pocket (paired or not; its destHSL
    // as it stands) into palDib's colour table from their stored HSL words.
    // 0 (also when there is nothing to write).
    int ApplyFinalTransToPocket(ccColorPocket* p, bool transferLightness);
    // One true-colour pixel through pocket p: hue of p's destination,
    // saturation scaled, lightness kept. 0, or -1 (dst untouched) when p is
    // unpaired.
    int ClrTransOnRGB(const tagRGBQUAD& src, tagRGBQUAD& dst, ccColorPocket* p);
    // The palette pass over every paired pocket, in list order; 0.
    int ApplyFinalTransToPalDib(bool transferLightness);

    // ---- palette image and restore ----

    // Makes an owned palDib from trueDib by the 24-to-8-bit reduction. 0; -1
    // when palDib exists (kept) or the reduction fails (palDib stays null).
    int GetPalDib();
    // Writes palDib as a BMP file at path. 0 whatever the write gives; -1
    // when palDib or trueDib is missing.
    int SavePalDib(const char* path);
    // Makes an owned palDib by mapping every trueDib pixel to the nearest of
    // the 256 palette colours (lowest index on ties). 0; -1 without trueDib,
    // with a trueDib that is not a readable 24-bit image, or with paletteSize
    // not 256; -2 when palDib exists; -3 when the image cannot be made.
    int ConvertToPalDib();
    // Takes an owned backup of trueDib into trueDibCopy; does nothing
    // without trueDib or when a backup exists (it is never replaced).
    void MakeTrueDibCopy();
    // Writes the palette items' colours into palDib's colour table. 0; -1
    // without palDib or when its table does not have 256 entries.
    int RestorePalDibColors();
    // Ends any highlight, then copies trueDibCopy's pixels back into trueDib
    // (the palette image untouched) or, without trueDib, does what
    // RestorePalDibColors does. 0; -1 without a backup, when the backup no
    // longer matches trueDib's size and depth, or RestorePalDibColors' -1.
    int RestoreColors();

    // A new theme (same type; the caller deletes it) holding this theme's
    // pockets and palette through a theme-buffer round trip and, as its
    // owned palette image, a 180-pixel-wide copy of palDib after
    // RestorePalDibColors. Null without a palDib; a palDib that cannot be
    // zoomed gives a copy without one.
    ccColorPocketArray* MakeNewTheme();

    // ---- editing ----

    // -- selection and highlighting (a pocket is selected when selState >= 256) --

    // Sets every pocket's rdsFlag.
    void SetRDSFlag(int flag);
    // The first selected pocket in list order, or null.
    ccColorPocket* GetFirstSelected();
    // Its position, or -1.
    int GetFirstSelectedIndex();
    // selState = 256 on every pocket; returns the pocket count.
    int SelectAll();
    // selState = -1 on every pocket; returns the pocket count.
    int UnselectAll();
    // Greys palDib's colour table (entry i: 100 + L x 100 / 255 in blue,
    // green and red, L the lightness of palette item i, or of the entry
    // itself where the palette has no item i; reserved bytes kept), then
    // shows in true colour the items of `pocket` (may be null, need not be
    // in the list) and, with withSelected, of every selected pocket. The
    // table as it was goes to savedColors; while a highlight is on, a second
    // one keeps the table saved by the first. 0; -1 with nothing changed
    // without a palDib with a 256-entry colour table.
    int HighlightColors(ccColorPocket* pocket, bool withSelected);
    // Puts back the colour table saved by HighlightColors and ends the
    // highlight. 0; -1 with nothing changed when no highlight is on or
    // palDib is missing or not 256 colours.
    int UnhighlightColors();
    // Empties the selected pockets (their items stay in the palette, in no
    // pocket) and removes every pocket without items. Returns how many
    // selected pockets were removed; counts of the others are not touched.
    int DelSelPockets();
    // Moves the items, pixels and shares of every later selected pocket
    // into the first selected one, sets its aveRGB to the plain mean of its
    // items (reserved byte kept) and aveHSL from it, and removes the emptied
    // pockets. Returns the number merged (0 for one selected pocket); -1
    // with nothing changed when no pocket is selected.
    int MergeSelectedPockets();

    // -- stroke-driven edits --
    // The stroke operations visit the pixels of the stroke's polyline
    // (y flipped into palDib's bottom-up rows), in drawing order, and pass
    // over those outside palDib. Each colour is handled once per call
    // through a table from palette index to owning pocket. None of them
    // raises; only MoveClrItem does, for a bad position.

    // Moves the item at `index` of from to the end of to, carrying its
    // pixels and share, and recomputes both plain means (an emptied from
    // keeps its last colour; it is not removed). 0; -1 with nothing changed
    // when from and to are the same pocket or either is null;
    // std::out_of_range when index is not a position in from.
    int MoveClrItem(ccColorPocket* from, int index, ccColorPocket* to);
    // Offers every colour under the stroke that belongs to no pocket to the
    // one pocket whose selState is exactly 256 (AddColorItem's hue test
    // applies); colours of other pockets stay where they are. Removes empty
    // pockets. 0; -1 without a 256-colour palDib or with a stroke without
    // points (or null); -2 no such pocket, -3 several: nothing changed.
    int AddToSelFromStroke(wStroke* stroke);
    // Appends a new pocket (origin 3, unselected) that takes the colours
    // under the stroke: free colours through AddColorItem, colours of other
    // pockets (selected or not) moved; then, when it took anything, every
    // free colour with pixels whose RGB distance (sum of absolute channel
    // differences) to its running mean is below 20. Removes empty pockets
    // (the new one too when it took nothing). 0; -1 as AddToSelFromStroke.
    int NewPocket(wStroke* stroke);
    // As NewPocket (origin 2) but moves only colours of pockets whose
    // selState is exactly 256 and has no near-colour pass. 0; -1.
    int DetachColor(wStroke* stroke);
    // Moves into the pocket owning the colour under pixels[0] (palDib
    // column and storage row) the colours under the later pixels, skipping
    // pixels outside palDib and colours of no pocket. Emptied pockets stay.
    // 0; -1 with fewer than 2 pixels (or null) or without a 256-colour
    // palDib; -2 with nothing changed when pixel 0 is outside palDib or its
    // colour belongs to no pocket.
    int MergePocketOnStroke(dPointBuf* pixels);
    // Along the cut's points inside palDib (image coordinates, y downwards;
    // the others are dropped first), finds the strongest step in mean
    // brightness ((r + g + b) / 3 of the colour-table entry) between the
    // points before and after it (first largest wins) and moves the colours
    // under the points before the edge into one pocket: the first pocket
    // with a non-zero origin owning one of them, or a new pocket of origin
    // 1 (removed again when it took nothing). Colours of no pocket stay
    // free; emptied pockets stay. 0; -1 without a 256-colour palDib; -3
    // with fewer than 5 points inside palDib (nothing changed).
    int GetColorPocketsFromCut(cPointsCut* cut);

    // -- background --

    // Moves every colour found in the rectangle of palDib (columns left..
    // right, storage rows top..bottom, both inclusive, clipped to the
    // image; nothing when top > bottom or left > right) out of the other
    // pockets into the first pocket flagged as background (flags bit 0),
    // made at the end of the list when there is none; then removes every
    // pocket without items. 0; -1 with nothing changed without a 256-colour
    // palDib or with a null rect.
    int GetBackground(tagRECT* rect);
    // 0 when palDib is present with a 256-entry colour table, else -1; the
    // stroke is not used and nothing changes.
    int GetBackground(wStroke* stroke);
};
