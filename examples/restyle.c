/* restyle: re-colours a bitmap in the style of another, from plain C.
 *
 *   restyle TARGET.bmp STYLE.bmp OUT.bmp
 *
 * Build against an installed Huevane:
 *   cc restyle.c -o restyle $(pkg-config --cflags --libs huevane)
 */
#include <stdio.h>

#include <huevane/huevane.h>

int main(int argc, char** argv) {
    void* target = NULL;
    void* style = NULL;
    char* styleBuffer = NULL;
    ColorThemeStruct colours = {0, NULL};
    int status = 1;
    int i;

    if (argc != 4) {
        fprintf(stderr, "usage: restyle TARGET.bmp STYLE.bmp OUT.bmp\n");
        return 2;
    }
    /* Both handles are ours: we release them with GlobalFree. */
    target = (void*)LoadDIB(argv[1]);
    style = (void*)LoadDIB(argv[2]);
    if (!target || !style) {
        fprintf(stderr, "restyle: cannot read '%s'\n", target ? argv[2] : argv[1]);
        goto done;
    }

    /* The style image's theme as a buffer of our own, released with FreeStyleBuf. */
    if (Preprocess(style, &styleBuffer) != 0) {
        fprintf(stderr, "restyle: cannot analyse '%s'\n", argv[2]);
        goto done;
    }
    if (GetColorThemeStruct(&colours, styleBuffer) == 0) {
        printf("style %s: %d colours\n", argv[2], (int)colours.count);
        for (i = 0; i < colours.count; ++i) {
            const RGBQUAD c = colours.entries[i].color;
            printf("  #%02x%02x%02x %5.1f%%\n", c.rgbRed, c.rgbGreen, c.rgbBlue, 100.0 * colours.entries[i].share);
        }
        FreeThemeStruct(&colours);
    }

    /* Re-colour the target in place: 8-bit images in their colour table,
     * 24-bit ones pixel by pixel. */
    if (AdjustImageStyle(target, styleBuffer, NULL) != 0) {
        fprintf(stderr, "restyle: '%s' must have 8 or 24 bits per pixel\n", argv[1]);
        goto done;
    }
    if (!SaveDIB(target, argv[3])) {
        fprintf(stderr, "restyle: cannot write '%s'\n", argv[3]);
        goto done;
    }
    printf("wrote %s\n", argv[3]);
    status = 0;

done:
    FreeStyleBuf(styleBuffer); /* null is ignored */
    if (target) GlobalFree(target);
    if (style) GlobalFree(style);
    return status;
}
