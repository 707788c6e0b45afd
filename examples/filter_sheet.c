/*
 * filter_sheet: draws a test pattern and shows what each of the library's
 * four filters makes of it, side by side, in one PNG.
 *
 *   filter_sheet [OUTPUT_PNG [WORK_DIR]]
 *
 * OUTPUT_PNG defaults to "filter-sheet.png", WORK_DIR (the pattern and the
 * resized files) to "filter-sheet-work".
 *
 * Columns, left to right: point, bilinear, bicubic, lanczos3. Top row: the
 * filter's kernel, plotted. Middle row: the whole 600x600 pattern reduced to
 * 256x256. Bottom row: a 32x32 crop of the pattern enlarged to 256x256.
 *
 * All resampling is the library's; the program only draws the pattern and
 * the plots, reads the library's BMP output back and lays the pieces out.
 */
#include "imgresize.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#  include <direct.h>
#  define make_directory(path) _mkdir(path)
#else
#  include <sys/stat.h>
#  define make_directory(path) mkdir(path, 0777)
#endif

enum {
    PATTERN = 600,        /* the test pattern's side */
    CELL = 256,           /* side of each resized picture on the sheet */
    CROP = 32,            /* side of the crop that is enlarged */
    CROP_X = 352,         /* its top-left corner in the pattern */
    CROP_Y = 344,
    PLOT_HEIGHT = 72,     /* height of the kernel plots */
    GAP = 8,
    SHEET_WIDTH = GAP + 4 * (CELL + GAP),
    SHEET_HEIGHT = GAP + PLOT_HEIGHT + GAP + CELL + GAP + CELL + GAP,
};

static const double pi = 3.14159265358979323846;

/* ---- grey images -------------------------------------------------------- */

struct grey {
    int width, height;
    unsigned char *pixels;
};

static struct grey new_grey(int width, int height, unsigned char fill)
{
    struct grey image = {width, height, (unsigned char *)malloc((size_t)width * height)};
    if (image.pixels == NULL) {
        fputs("filter_sheet: out of memory\n", stderr);
        exit(1);
    }
    memset(image.pixels, fill, (size_t)width * height);
    return image;
}

static unsigned char *at(struct grey *image, int x, int y)
{
    return &image->pixels[(size_t)y * image->width + x];
}

static int write_pgm(const char *path, const struct grey *image)
{
    FILE *file = fopen(path, "wb");
    if (file == NULL)
        return 0;
    fprintf(file, "P5\n%d %d\n255\n", image->width, image->height);
    const size_t count = (size_t)image->width * image->height;
    const int ok = fwrite(image->pixels, 1, count, file) == count;
    return fclose(file) == 0 && ok;
}

static unsigned read_le(const unsigned char *bytes, int count)
{
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

/* Reads the uncompressed 24-bit BMP that the library writes and keeps its
 * green channel (the pattern is grey, so all three are equal). */
static struct grey read_bmp(const char *path)
{
    struct grey image = {0, 0, NULL};
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return image;
    unsigned char header[54];
    if (fread(header, 1, sizeof header, file) != sizeof header || header[0] != 'B' ||
        header[1] != 'M' || read_le(header + 28, 2) != 24 || read_le(header + 30, 4) != 0) {
        fclose(file);
        return image;
    }
    const int width = (int)read_le(header + 18, 4);
    const int stored_height = (int)read_le(header + 22, 4);
    const int height = stored_height < 0 ? -stored_height : stored_height;
    const size_t row_bytes = ((size_t)width * 3 + 3) & ~(size_t)3;
    unsigned char *row = (unsigned char *)malloc(row_bytes);
    image = new_grey(width, height, 0);
    fseek(file, (long)read_le(header + 10, 4), SEEK_SET);
    for (int stored = 0; stored < height; ++stored) {
        if (fread(row, 1, row_bytes, file) != row_bytes) {
            free(image.pixels);
            image.pixels = NULL;
            break;
        }
        /* Rows are stored bottom-up unless the height is negative. */
        const int y = stored_height < 0 ? stored : height - 1 - stored;
        for (int x = 0; x < width; ++x)
            *at(&image, x, y) = row[x * 3 + 1];
    }
    free(row);
    fclose(file);
    return image;
}

static void paste(struct grey *sheet, const struct grey *piece, int left, int top)
{
    for (int y = 0; y < piece->height; ++y)
        memcpy(at(sheet, left, top + y), &piece->pixels[(size_t)y * piece->width],
               (size_t)piece->width);
}

/* ---- the test pattern --------------------------------------------------- */

/* 1 inside the square of side `side` centred on (cx, cy), turned by `angle`. */
static int in_turned_square(double x, double y, double cx, double cy, double side, double angle)
{
    const double dx = x - cx, dy = y - cy;
    const double u = dx * cos(angle) + dy * sin(angle);
    const double v = -dx * sin(angle) + dy * cos(angle);
    return fabs(u) <= side / 2 && fabs(v) <= side / 2;
}

/* A zone plate whose rings reach the pixel frequency at its rim, with, in
 * its lower right quarter, sharp-edged shapes: a slightly turned square,
 * one-pixel lines at spacings of 2 to 6 pixels, a one-pixel diagonal and a
 * star of wedges. Every value is hard: the only grey is the plate's. */
static struct grey make_pattern(void)
{
    struct grey image = new_grey(PATTERN, PATTERN, 255);
    const double centre = PATTERN / 2.0;
    /* Phase k r^2 has local frequency k r / pi cycles per pixel: 0.5 at the
     * image's edge. */
    const double k = pi * 0.5 / centre;
    for (int y = 0; y < PATTERN; ++y) {
        for (int x = 0; x < PATTERN; ++x) {
            const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
            const double value = 0.5 + 0.5 * cos(k * (dx * dx + dy * dy));
            *at(&image, x, y) = (unsigned char)lround(255 * value);
        }
    }

    /* The lower right quarter: white ground, black shapes. */
    for (int y = 312; y < 592; ++y)
        for (int x = 312; x < 592; ++x)
            *at(&image, x, y) = 255;
    for (int y = 312; y < 592; ++y) {
        for (int x = 312; x < 592; ++x) {
            unsigned char *pixel = at(&image, x, y);
            /* A square turned by 7 degrees: edges that are almost straight. */
            if (in_turned_square(x + 0.5, y + 0.5, 400, 400, 80, 7 * pi / 180))
                *pixel = 0;
            /* Groups of vertical one-pixel lines, spacing 2, 3, 4 and 6. */
            if (y >= 460 && y < 580) {
                static const int spacing[] = {2, 3, 4, 6};
                for (int group = 0; group < 4; ++group) {
                    const int left = 324 + group * 34;
                    if (x >= left && x < left + 28 && (x - left) % spacing[group] == 0)
                        *pixel = 0;
                }
            }
            /* A star of 24 wedges. */
            const double sx = x + 0.5 - 520, sy = y + 0.5 - 392;
            const double radius = sqrt(sx * sx + sy * sy);
            if (radius < 60 && radius > 2) {
                const double turn = atan2(sy, sx) / (2 * pi) + 0.5;
                if ((int)(turn * 24) % 2 == 0)
                    *pixel = 0;
            }
        }
    }
    /* A one-pixel diagonal through the crop, and one lone dot inside it. */
    for (int i = 0; i < 120; ++i)
        *at(&image, 340 + i, 330 + i / 2) = 0;
    *at(&image, CROP_X + 5, CROP_Y + 28) = 0;
    return image;
}

/* ---- kernel plots ------------------------------------------------------- */

static double kernel(int filter, double x)
{
    const double t = fabs(x);
    switch (filter) {
    case IMGRESIZE_FILTER_POINT:
        return t < 0.5 ? 1.0 : 0.0;
    case IMGRESIZE_FILTER_BILINEAR:
        return t < 1.0 ? 1.0 - t : 0.0;
    case IMGRESIZE_FILTER_BICUBIC: /* Catmull-Rom */
        if (t < 1.0)
            return 1.5 * t * t * t - 2.5 * t * t + 1.0;
        if (t < 2.0)
            return -0.5 * t * t * t + 2.5 * t * t - 4.0 * t + 2.0;
        return 0.0;
    default: /* Lanczos-3 */
        if (t < 1e-9)
            return 1.0;
        if (t >= 3.0)
            return 0.0;
        return sin(pi * t) / (pi * t) * sin(pi * t / 3) / (pi * t / 3);
    }
}

/* The kernel over -3..3 on white: a grey zero line, the curve in black. */
static void plot_kernel(struct grey *sheet, int left, int top, int filter)
{
    const double low = -0.25, high = 1.1;
    const int zero_y = top + (int)lround((high - 0.0) / (high - low) * (PLOT_HEIGHT - 1));
    for (int y = top; y < top + PLOT_HEIGHT; ++y)
        for (int x = left; x < left + CELL; ++x)
            *at(sheet, x, y) = 255;
    for (int x = left; x < left + CELL; ++x)
        *at(sheet, x, zero_y) = 190;
    int previous = -1;
    for (int column = 0; column < CELL; ++column) {
        const double u = (column + 0.5) / CELL * 6.0 - 3.0;
        const int y = top + (int)lround((high - kernel(filter, u)) / (high - low) * (PLOT_HEIGHT - 1));
        /* Join to the previous column so that jumps are drawn as lines. */
        const int from = previous < 0 ? y : (previous < y ? previous : y);
        const int to = previous < 0 ? y : (previous > y ? previous : y);
        for (int row = from; row <= to + 1 && row < top + PLOT_HEIGHT; ++row)
            *at(sheet, left + column, row) = 0;
        previous = y;
    }
}

/* ---- main --------------------------------------------------------------- */

static int fail(const char *what)
{
    fprintf(stderr, "filter_sheet: %s: %s\n", what, imgresize_last_error());
    return 1;
}

int main(int argc, char **argv)
{
    const char *output = argc > 1 ? argv[1] : "filter-sheet.png";
    const char *work = argc > 2 ? argv[2] : "filter-sheet-work";
    char pattern_path[1024], crop_path[1024], sheet_path[1024], path[1024];
    (void)make_directory(work);
    snprintf(pattern_path, sizeof pattern_path, "%s/pattern.pgm", work);
    snprintf(crop_path, sizeof crop_path, "%s/crop.pgm", work);
    snprintf(sheet_path, sizeof sheet_path, "%s/sheet.pgm", work);

    struct grey pattern = make_pattern();
    struct grey crop = new_grey(CROP, CROP, 0);
    for (int y = 0; y < CROP; ++y)
        memcpy(at(&crop, 0, y), at(&pattern, CROP_X, CROP_Y + y), CROP);
    if (!write_pgm(pattern_path, &pattern) || !write_pgm(crop_path, &crop)) {
        fprintf(stderr, "filter_sheet: cannot write into %s\n", work);
        return 1;
    }

    struct grey sheet = new_grey(SHEET_WIDTH, SHEET_HEIGHT, 96);
    static const char *const names[] = {"point", "bilinear", "bicubic", "lanczos3"};
    for (int filter = 0; filter < 4; ++filter) {
        const int left = GAP + filter * (CELL + GAP);
        plot_kernel(&sheet, left, GAP, filter);
        imgresize_set_filter(filter);

        const char *sources[] = {pattern_path, crop_path};
        const int tops[] = {GAP + PLOT_HEIGHT + GAP, GAP + PLOT_HEIGHT + GAP + CELL + GAP};
        for (int row = 0; row < 2; ++row) {
            snprintf(path, sizeof path, "%s/%s-%s.bmp", work, row == 0 ? "reduced" : "enlarged",
                     names[filter]);
            if (!imgresize_exact(sources[row], path, CELL, CELL))
                return fail(path);
            struct grey piece = read_bmp(path);
            if (piece.pixels == NULL || piece.width != CELL || piece.height != CELL) {
                fprintf(stderr, "filter_sheet: cannot read back %s\n", path);
                return 1;
            }
            paste(&sheet, &piece, left, tops[row]);
            free(piece.pixels);
        }
    }

    /* The sheet is drawn as PGM and turned into PNG by the library: the same
     * size with point sampling copies every pixel unchanged. */
    if (!write_pgm(sheet_path, &sheet)) {
        fprintf(stderr, "filter_sheet: cannot write %s\n", sheet_path);
        return 1;
    }
    imgresize_set_filter(IMGRESIZE_FILTER_POINT);
    if (!imgresize_exact(sheet_path, output, SHEET_WIDTH, SHEET_HEIGHT))
        return fail(output);
    printf("filter_sheet: wrote %s %s\n", output, imgresize_info(output));
    free(pattern.pixels);
    free(crop.pixels);
    free(sheet.pixels);
    return 0;
}
