// ccColorPocketArrayArray: a theme library, an ordered collection of themes
// with the set of tags they carry and the script file they came from.
//
// Files it reads:
// - Script file: a header ("[Version]" and "[Category]" each consume the
//   line after them; "[Examples]" ends the header), then example lines
//   "name image [#tag#tag [original]]" split at space, comma, colon, tab,
//   CR and LF, up to the first empty line. A line holds at most 259
//   characters.
// - Theme list file: "[Version]" and its value line, "[Themes]", then pairs
//   of a "[name]" line and a colour line of up to five "r g b" triples of
//   fractions 0..1. A line holds at most 255 characters.
// Rules for malformed input, the same for both files:
// - a line longer than its limit is dropped as if it were not there (a
//   value line after "[Version]"/"[Category]" is consumed whatever it is);
// - a NUL byte ends a line's text (the rest of that line is ignored);
// - a last line without a line feed is read like any other;
// - a colour line's numbers beyond the fifteenth are ignored, and each
//   number is clamped to 0..1 (a token that is not a number reads as 0).
// Files are held open with sharing denied while a load runs: a load of a
// file that another open holds reads nothing.
#pragma once

#include <map>
#include <string>

#include "huevane/dynaarray.h"
#include "huevane/platform.h"
#include "huevane/theme.h"

class HUEVANE_API ccColorPocketArrayArray {
public:
    ccDynaArray<ccColorPocketArray*> themes;  // library order; owned when ownsThemes
    int selected = 0;                          // the host's chosen theme; the library never moves it
    bool ownsThemes = true;                    // the destructor deletes the themes
    std::string scriptPath;                    // script file of the last LoadFromScriptFile
    std::map<std::string, std::string> tags;   // every tag collected, mapped to itself

    // An empty library; with ownsThemes it deletes its themes when destroyed.
    explicit ccColorPocketArrayArray(bool ownsThemes = true);
    // Deletes the themes when ownsThemes is set; otherwise leaves them alive.
    ~ccColorPocketArrayArray();
    // A copy lists the very same theme objects and never owns them
    // (ownsThemes false), so they are deleted by the source only.
    ccColorPocketArrayArray(const ccColorPocketArrayArray& other);
    // Makes this library list other's themes, with other's selection, script
    // path and tags. The themes this library held and owned that other does
    // not list are deleted first. It keeps owning afterwards only when it
    // owned before, other does not own, and every theme of other was already
    // its own (assigning back a copy of itself); otherwise it does not own.
    // Self-assignment changes nothing.
    ccColorPocketArrayArray& operator=(const ccColorPocketArrayArray& other);

    // Deletes every theme, whatever ownsThemes says, and empties themes;
    // selected, scriptPath and tags stay.
    void ClearAll();
    // themes[selected], or null when selected is outside the list.
    ccColorPocketArray* GetSelPocketArray();

    // ---- files ----

    // Appends one theme (type 0, owned by the library) per example line of
    // the script file; its thumbnail (folder + image, a 24-bit one reduced
    // to 8 bits) becomes its owned palette image; the theme file folder +
    // image + ".ccs" is loaded, or, when it cannot be opened or is
    // malformed, the theme is extracted from the thumbnail. Sets scriptPath
    // when the file opens. Always 0: the caller counts the themes.
    int LoadFromScriptFile(const char* path);
    // Adds one theme (type 1, owned by the library) per entry of the list
    // file, appended or, with hueRing, placed by InsertThemeHueRing (a
    // refused theme is deleted; the load stops once more than 512 are
    // placed). Returns the number added; 0 when the file cannot be opened.
    int LoadColorThemes(const char* path, bool hueRing);

    // ---- generated themes ----

    // Appends steps themes (type 1, owned by the library) between from and
    // to, named "Interpolated k:steps"; from and to are only read. 0; -1
    // with nothing done when from or to is null. When the pockets hold no
    // pixels at all every share is 0.
    int InterpolateThemes(ccColorPocketArray* from, ccColorPocketArray* to, int steps);
    // Places theme by its main hue: the library takes it and returns its
    // index, or refuses it with -1 (it stays the caller's): three ring
    // members of that hue already, no place found, a null theme, or a theme
    // without pockets in a library that is not empty.
    int InsertThemeHueRing(ccColorPocketArray* theme);

    // ---- tags and examples ----

    // Adds the '#'-separated tags of tagText to tags (the text is split in
    // place: each '#' after a tag becomes a string end); only the first 100
    // tags are read. Returns how many were new; 0 for null.
    int TagCollect(char* tagText);
    // Appends a copy of theme (owned by the library) with a 256-pixel-wide
    // thumbnail of its palette image; theme stays the caller's, though its
    // palette image gets the theme's palette colours back. With save, writes
    // the thumbnail to folder + fileName and appends "name\tfileName\ttagText"
    // to the existing script file, unless that line would exceed 99
    // characters (line end included), a field holds a space, comma, colon,
    // tab or line break, or name or fileName is empty: then neither is
    // written. Null strings count as empty. 0; -1 for a null theme.
    int AddExample(ccColorPocketArray* theme, bool save, char* folder, char* name, char* fileName,
                   char* tagText);
};
