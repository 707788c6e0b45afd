/*
 * quendril-imgresize: the whole library in one file.
 *
 * Decoding is stb_image's, resampling stb_image_resize2's, encoding
 * stb_image_write's; all three are compiled into this file with their
 * functions kept static, so the shared library exports only imgresize_*.
 *
 * Process-wide state lives in four file-scope variables below. Every image
 * operation empties g_last_error first and leaves exactly one message there
 * when it fails. Buffers are taken from the heap and released before the
 * call returns, on every path; no file stays open between calls.
 */
#include "imgresize.h"

#include <cerrno>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <direct.h>
#else
#  include <dirent.h>
#  include <fcntl.h>
#  include <unistd.h>
#endif

/* stb on hostile files. A decoder may return a buffer that a short file
 * filled only in part, so every block stb_image takes is zeroed: what the
 * file lacked decodes as 0, not as whatever the heap held (a grown block's
 * new tail too; stb passes the old size). The three headers' assertions are
 * off in every build, as in release builds: a corrupt file or an extreme
 * size fails or decodes, it never aborts the host. Where the code after an
 * assertion went on into a fault on bad input, the build's patched copy of
 * the header mends it (cmake/patches). */
/* A grown block comes from calloc and takes over the old bytes: large
 * blocks are then fresh zero pages that cost nothing until written. (stb
 * grows a PNG's compressed-data buffer to the size a chunk header claims
 * before reading the chunk; zeroing that tail with memset committed up to
 * 1 GiB, and seconds, for a file of a few hundred bytes that then fails.)
 * On failure the old block stays valid, as with realloc. */
static void *stb_zeroed_realloc(void *block, size_t old_size, size_t new_size)
{
    if (new_size <= old_size)
        return realloc(block, new_size);
    unsigned char *grown = (unsigned char *)calloc(1, new_size);
    if (grown != NULL && block != NULL) {
        memcpy(grown, block, old_size);
        free(block);
    }
    return grown;
}
#define STBI_MALLOC(size) calloc(1, (size))
#define STBI_REALLOC_SIZED(block, old_size, new_size) \
    stb_zeroed_realloc((block), (size_t)(old_size), (size_t)(new_size))
#define STBI_FREE(block) free(block)
#define STBI_ASSERT(condition) ((void)0)
#define STBIW_ASSERT(condition) ((void)0)
#define STBIR_ASSERT(condition) ((void)0)

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#ifndef IMGRESIZE_STB_IMAGE_PATCHED
#  error "stb_image.h is not the build's patched copy (cmake/Stb.cmake puts it in _deps/stb/patched)"
#endif

#ifdef IMGRESIZE_PNG_ZLIB
#  include <zlib.h>
/* stb_image_write's own deflate uses fixed Huffman codes only; zlib makes
 * smaller PNG files in less time. The PNG bytes change, the pixels, row
 * filters and channel counts do not. */
static unsigned char *png_zlib_compress(unsigned char *data, int data_len, int *out_len,
                                        int quality);
#  define STBIW_ZLIB_COMPRESS png_zlib_compress
#  define STBIW_CRC32(buffer, len) ((unsigned int)crc32(0UL, (buffer), (uInt)(len)))
#endif

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize2.h>

#if defined(__MINGW32__)
/* MinGW's compilers check "printf" formats against msvcrt's old dialect; the
 * messages are formatted by a C99 vsnprintf (the UCRT's or mingw-w64's). */
#  define IMGRESIZE_PRINTF(fmt_index, first_arg) __attribute__((format(gnu_printf, fmt_index, first_arg)))
#elif defined(__GNUC__)
#  define IMGRESIZE_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#  define IMGRESIZE_PRINTF(fmt_index, first_arg)
#endif

/* ---- Library state ------------------------------------------------------ */

static char g_last_error[1024];
static char g_info_buf[512];
static int g_quality = 85;
static int g_filter = IMGRESIZE_FILTER_BICUBIC;

/* Returned by imgresize_info() on failure: callers always get a string. */
static const char g_empty_text[] = "";

/* Formats a failure message into g_last_error; longer messages are cut to
 * the buffer, always NUL-terminated. */
static void set_error(const char *format, ...) IMGRESIZE_PRINTF(1, 2);
static void set_error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(g_last_error, sizeof g_last_error, format, args);
    va_end(args);
}

static void clear_error(void)
{
    g_last_error[0] = '\0';
}

/* Case-insensitive equality of two whole texts (extensions). */
static int iequals(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b))
            return 0;
        if (*a == '\0')
            return 1;
    }
}

static int is_null_or_empty(const char *text)
{
    return text == NULL || text[0] == '\0';
}

IMGRESIZE_API int IMGRESIZE_CALL imgresize_init(void)
{
    clear_error();
    g_quality = 85;
    g_filter = IMGRESIZE_FILTER_BICUBIC;
    return 1;
}

IMGRESIZE_API void IMGRESIZE_CALL imgresize_cleanup(void)
{
    (void)imgresize_init();
}

IMGRESIZE_API void IMGRESIZE_CALL imgresize_set_quality(int quality)
{
    if (quality > 100)
        quality = 100;
    else if (quality <= 0)
        quality = 1;
    g_quality = quality;
}

IMGRESIZE_API void IMGRESIZE_CALL imgresize_set_filter(int filter)
{
    /* One unsigned comparison rejects negative codes as well as large ones. */
    g_filter = (unsigned)filter < 4u ? filter : IMGRESIZE_FILTER_BICUBIC;
}

IMGRESIZE_API const char *IMGRESIZE_CALL imgresize_last_error(void)
{
    return g_last_error;
}

/* ---- Resampling --------------------------------------------------------- */

/* sinc(t) * sinc(t / 3), cut off at 3, in single precision throughout. */
static float lanczos3_kernel(float x, float scale, void *user_data)
{
    (void)scale;
    (void)user_data;
    const float t = fabsf(x);
    if (t < 1e-7f)
        return 1.0f;
    if (t >= 3.0f)
        return 0.0f;
    const float a = 3.1415927f * t;
    const float b = a / 3.0f;
    return (sinf(b) / b) * (sinf(a) / a);
}

static float lanczos3_support(float scale, void *user_data)
{
    (void)scale;
    (void)user_data;
    return 3.0f;
}

/* Resamples an 8-bit interleaved image with the filter chosen by g_filter.
 * Edges are clamped; 4-channel images are treated as straight alpha. */
static int resize_pixels(const unsigned char *source, int source_width, int source_height,
                         unsigned char *destination, int target_width, int target_height,
                         int channels)
{
    if (source_width <= 0 || source_height <= 0) {
        set_error("Invalid dimensions for pixel resizing (%dx%d -> %dx%d)", source_width,
                  source_height, target_width, target_height);
        return 0;
    }
    if (channels < 1 || channels > 4) {
        set_error("Unsupported channel count: %d", channels);
        return 0;
    }

    /* The layout enum's values 1 to 4 are STBIR_1CHANNEL, STBIR_2CHANNEL,
     * STBIR_RGB and STBIR_RGBA. */
    STBIR_RESIZE resize;
    stbir_resize_init(&resize, source, source_width, source_height, 0, destination, target_width,
                      target_height, 0, (stbir_pixel_layout)channels, STBIR_TYPE_UINT8);
    switch (g_filter) {
    case IMGRESIZE_FILTER_POINT:
        stbir_set_filters(&resize, STBIR_FILTER_POINT_SAMPLE, STBIR_FILTER_POINT_SAMPLE);
        break;
    case IMGRESIZE_FILTER_BILINEAR:
        stbir_set_filters(&resize, STBIR_FILTER_TRIANGLE, STBIR_FILTER_TRIANGLE);
        break;
    case IMGRESIZE_FILTER_LANCZOS3:
        /* Installed callbacks take precedence over the filter setting. */
        stbir_set_filter_callbacks(&resize, lanczos3_kernel, lanczos3_support, lanczos3_kernel,
                                   lanczos3_support);
        break;
    default:
        stbir_set_filters(&resize, STBIR_FILTER_CATMULLROM, STBIR_FILTER_CATMULLROM);
        break;
    }

    if (!stbir_resize_extended(&resize)) {
        set_error("stb_image_resize2 failed to resize image buffer");
        return 0;
    }
    return 1;
}

/* ---- Encoding ----------------------------------------------------------- */

#ifdef IMGRESIZE_PNG_ZLIB
#  ifndef IMGRESIZE_PNG_ZLIB_LEVEL
#    define IMGRESIZE_PNG_ZLIB_LEVEL 1
#  endif
/* The deflate step of the PNG encoder. stb_image_write passes its own
 * compression setting (8, tuned to its encoder); zlib runs at the level
 * measured to beat stb's deflate on both size and time for photographs.
 * Returns a malloc'd zlib stream that the encoder releases with free(), or
 * NULL, which the encoder reports as a failed encoding. */
static unsigned char *png_zlib_compress(unsigned char *data, int data_len, int *out_len,
                                        int quality)
{
    (void)quality;
    if (data_len < 0)
        return NULL;
    uLongf capacity = compressBound((uLong)data_len);
    if (capacity > (uLongf)INT_MAX)
        return NULL;
    unsigned char *out = (unsigned char *)malloc((size_t)capacity);
    if (out == NULL)
        return NULL;
    if (compress2(out, &capacity, data, (uLong)data_len, IMGRESIZE_PNG_ZLIB_LEVEL) != Z_OK) {
        free(out);
        return NULL;
    }
    *out_len = (int)capacity;
    return out;
}
#endif

enum output_format { OUTPUT_PNG, OUTPUT_JPEG, OUTPUT_BMP, OUTPUT_TGA, OUTPUT_PNG_FALLBACK };

static enum output_format output_format_for(const char *path)
{
    const char *extension = strrchr(path, '.');
    if (extension == NULL || iequals(extension, ".png"))
        return OUTPUT_PNG;
    if (iequals(extension, ".jpg") || iequals(extension, ".jpeg"))
        return OUTPUT_JPEG;
    if (iequals(extension, ".bmp"))
        return OUTPUT_BMP;
    if (iequals(extension, ".tga"))
        return OUTPUT_TGA;
    return OUTPUT_PNG_FALLBACK;
}

/* stb_image_write's own file writers ignore short writes and fclose errors,
 * so a full disk would leave a truncated file behind a success. The library
 * therefore opens the file itself and hands the encoders this sink, which
 * remembers any write that did not go through. */
struct file_sink {
    FILE *file;
    int failed;
};

static void file_sink_write(void *context, void *data, int size)
{
    struct file_sink *sink = (struct file_sink *)context;
    if (sink->failed || size <= 0)
        return;
    if (fwrite(data, 1, (size_t)size, sink->file) != (size_t)size)
        sink->failed = 1;
}

/* Writes `pixels` to `path` in `format`; 1 only when every byte reached the
 * file and the file closed cleanly. */
static int encode_to_file(const char *path, enum output_format format, int width, int height,
                          int channels, const unsigned char *pixels)
{
    if (format == OUTPUT_PNG || format == OUTPUT_PNG_FALLBACK) {
        /* The PNG encoder works in memory; the file is created only once
         * the encoding has succeeded. */
        int length = 0;
        unsigned char *png =
            stbi_write_png_to_mem(pixels, width * channels, width, height, channels, &length);
        if (png == NULL)
            return 0;
        int ok = 0;
        FILE *file = fopen(path, "wb");
        if (file != NULL) {
            ok = fwrite(png, 1, (size_t)length, file) == (size_t)length;
            if (fclose(file) != 0)
                ok = 0;
        }
        STBIW_FREE(png);
        return ok;
    }

    /* JPEG, BMP and TGA: the file is created (truncated) before encoding. */
    FILE *file = fopen(path, "wb");
    if (file == NULL)
        return 0;
    struct file_sink sink = {file, 0};
    int encoded = 0;
    switch (format) {
    case OUTPUT_JPEG:
        encoded = stbi_write_jpg_to_func(file_sink_write, &sink, width, height, channels, pixels,
                                         g_quality);
        break;
    case OUTPUT_BMP:
        encoded = stbi_write_bmp_to_func(file_sink_write, &sink, width, height, channels, pixels);
        break;
    default:
        encoded = stbi_write_tga_to_func(file_sink_write, &sink, width, height, channels, pixels);
        break;
    }
    if (fclose(file) != 0)
        sink.failed = 1;
    return encoded != 0 && !sink.failed;
}

/* Chooses the encoder from the output path's extension and writes the image.
 * Returns 1 on success, 0 with the format's message set. */
static int write_image(const char *path, int width, int height, int channels,
                       const unsigned char *pixels)
{
    const enum output_format format = output_format_for(path);
    if (encode_to_file(path, format, width, height, channels, pixels))
        return 1;
    switch (format) {
    case OUTPUT_PNG:
        set_error("Failed to write PNG output: %s", path);
        break;
    case OUTPUT_JPEG:
        set_error("Failed to write JPEG output (quality %d): %s", g_quality, path);
        break;
    case OUTPUT_BMP:
        set_error("Failed to write BMP output: %s", path);
        break;
    case OUTPUT_TGA:
        set_error("Failed to write TGA output: %s", path);
        break;
    case OUTPUT_PNG_FALLBACK:
        set_error("Failed to write output image '%s' with format fallback", path);
        break;
    }
    return 0;
}

/* ---- Target size guard -------------------------------------------------- */

/* stb_image_resize2, stb_image_write and the zlib step keep byte counts in
 * ints and do not check them: a count past INT_MAX wraps, a small buffer is
 * allocated and written past its end. The guard refuses every target for
 * which any such count could pass INT_MAX, before the destination exists.
 * Each bound below was found by running the resampler and each encoder under
 * AddressSanitizer and UndefinedBehaviorSanitizer at and just beyond it.
 *
 * Every format:
 * - each side at most 2^23: the resampler places pixel centres (x + 0.5) in
 *   single precision, exact only below 2^23; point sampling 1 pixel up to
 *   10^7 (or 1000 up to 12582911) already reads outside its coefficient table;
 * - width * height * channels at most INT_MAX: the encoders address pixels
 *   with int offsets (row * stride, (row * width + column) * channels).
 * Per format:
 * - JPEG and TGA: each side at most 65535, the 16-bit fields of their headers;
 * - BMP: the file size, stored from an int, at most INT_MAX (a grey or RGB
 *   pixel takes 3 bytes in the file, rows padded to 4 bytes);
 * - PNG: a row at most 2^24 - 1 bytes, else the row-filter choice, a sum of
 *   up to 128 per byte, overflows its int; the filtered image (a filter byte
 *   per row, then the row) must fit the deflate step's int length, and the
 *   worst-case deflate output the int length of the PNG file.
 * Resampler: its work buffers, sized from both the source and the target
 * (resampler_int_bytes).
 */

/* Largest side of a target, any format. */
static const int64_t MAX_TARGET_SIDE = (int64_t)1 << 23;
/* Largest side of a JPEG or TGA target. */
static const int64_t MAX_16_BIT_SIDE = 65535;
/* PNG: longest row in bytes whose filter estimate, at most 128 per byte,
 * still fits an int. */
static const int64_t MAX_PNG_ROW_BYTES = ((int64_t)1 << 24) - 1;

#ifdef IMGRESIZE_PNG_ZLIB
/* PNG: bytes the file adds to the deflate stream (signature, IHDR, the IDAT
 * chunk's length, tag and CRC, IEND); the file's length is an int. */
static const int64_t PNG_CHUNK_OVERHEAD = 57;
#else
/* stb_image_write's deflate appends to a buffer whose capacity grows
 * 2, 5, 11, ... (3 * 2^k - 1) and is computed in an int: the next step after
 * 1610612735 overflows, so the stream must stay shorter than that. */
static const int64_t STB_DEFLATE_MAX_OUTPUT = 1610612734;
/* Worst-case length of stb's deflate stream for `input` bytes: 2 header
 * bytes, 3 block-header bits, at most 9 bits a byte (a literal of fixed
 * Huffman code; a match costs at most 25 bits for 3 bytes) and a 7-bit end
 * code, padded to a byte. */
static int64_t stb_deflate_worst_output(int64_t input)
{
    return 2 + (3 + 9 * input + 7 + 7) / 8;
}
#endif

static int64_t max64(int64_t a, int64_t b)
{
    return a > b ? a : b;
}

/* The radius, in source pixels at scale 1, of the filter that resize_pixels
 * installs for g_filter. */
static double filter_support(void)
{
    switch (g_filter) {
    case IMGRESIZE_FILTER_POINT:
        return 0.5;
    case IMGRESIZE_FILTER_BILINEAR:
        return 1.0;
    case IMGRESIZE_FILTER_LANCZOS3:
        return 3.0;
    default:
        return 2.0; /* Catmull-Rom */
    }
}

/* The filter width along one axis: how many source lines one output line
 * reads. stb_image_resize2 takes 2 * support when enlarging and
 * ceil(2 * support / scale) when shrinking, with the scale and the division
 * in single precision (a relative error below 2^-20); `least` and `most`
 * bracket the value it gets. */
struct filter_width {
    int64_t least, most;
};

static struct filter_width filter_width_for(double support, int64_t source, int64_t target)
{
    struct filter_width width;
    if (target >= source) {
        width.least = width.most = (int64_t)ceil(2.0 * support);
    } else {
        const double exact = 2.0 * support * (double)source / (double)target;
        const double error = exact / (1 << 20);
        width.least = (int64_t)ceil(exact - error);
        width.most = (int64_t)ceil(exact + error);
    }
    return width;
}

/* The resampler shrinks an axis by gathering (one coefficient run per output
 * line) while the filter spans at most this many source lines, and by
 * scattering (one run per source line) beyond. */
static const int64_t GATHER_MAX_FILTER_WIDTH = 32;

/* An upper bound of the largest byte count that stb_image_resize2 keeps in
 * an int while resizing a `source_width` x `source_height` image of
 * `channels` channels to `width` x `height` with the filter of g_filter.
 * Those counts are its work buffers: a decoded source row, an output row, a
 * ring buffer of rows (one more than the vertical filter width, never more
 * than the target's height when scattering; each row as long as the longer
 * of the two rows, whichever axis it resizes first), and per axis a table of
 * contributors (8 bytes each) and one of coefficients (floats). When
 * scattering it also sums the three row buffers (to reuse them as scratch)
 * and builds a gather table first beside the scatter one. A 4-channel image is filtered as 7 floats a pixel
 * (colour weighted by alpha) unless both axes point-sample. */
static int64_t resampler_int_bytes(int64_t source_width, int64_t source_height, int64_t width,
                                   int64_t height, int64_t channels)
{
    const double support = filter_support();
    const int64_t unscaled_width = (int64_t)ceil(2.0 * support);
    const int64_t floats = channels == 4 && g_filter != IMGRESIZE_FILTER_POINT ? 7 : channels;
    const struct filter_width across = filter_width_for(support, source_width, width);
    const struct filter_width down = filter_width_for(support, source_height, height);
    const int may_gather = down.least <= GATHER_MAX_FILTER_WIDTH;
    const int may_scatter = height < source_height && down.most > GATHER_MAX_FILTER_WIDTH;

    const int64_t decode_row = source_width * floats * 4 + 8;
    const int64_t output_row = width * floats * 4 + 4;
    const int64_t ring_row = max64(output_row, (decode_row + 15) & ~(int64_t)15) + 192;
    int64_t largest = max64(decode_row, output_row);
    if (may_gather) {
        const int64_t rows =
            (down.most < GATHER_MAX_FILTER_WIDTH ? down.most : GATHER_MAX_FILTER_WIDTH) + 1;
        largest = max64(largest, rows * ring_row);
    }
    if (may_scatter) {
        const int64_t rows = down.most + 1 < height ? down.most + 1 : height;
        largest = max64(largest, decode_row + rows * ring_row + output_row);
    }

    largest = max64(largest, width * across.most * 4 + 4);
    largest = max64(largest, width * 8);
    /* Gather tables; when scattering, the gather table built first, both
     * parts summed. */
    largest = max64(largest, height * 8 + height * down.most * 4 + 4);
    if (may_scatter) {
        const int64_t scatter_lines = source_height + down.most;
        largest = max64(largest, scatter_lines * unscaled_width * 4 + 4);
        largest = max64(largest, scatter_lines * 8);
    }
    return largest;
}

/* Applies the rules listed above to a `width` x `height` target of
 * `channels` channels, resampled from a `source_width` x `source_height`
 * source and written as `format`. On success stores the destination's byte
 * count. */
static int target_size_fits(int source_width, int source_height, int width, int height,
                            int channels, enum output_format format, size_t *byte_count)
{
    if (width > MAX_TARGET_SIDE || height > MAX_TARGET_SIDE)
        return 0;
    const int64_t row_bytes = (int64_t)width * channels;
    const int64_t total = row_bytes * height;
    if (total > INT_MAX)
        return 0;

    switch (format) {
    case OUTPUT_JPEG:
    case OUTPUT_TGA:
        if (width > MAX_16_BIT_SIDE || height > MAX_16_BIT_SIDE)
            return 0;
        break;
    case OUTPUT_BMP: {
        const int64_t file_size = channels == 4
                                      ? 14 + 108 + total
                                      : 14 + 40 + (((int64_t)width * 3 + 3) & ~(int64_t)3) * height;
        if (file_size > INT_MAX)
            return 0;
        break;
    }
    default: {
        if (row_bytes > MAX_PNG_ROW_BYTES)
            return 0;
        const int64_t filtered = (row_bytes + 1) * height;
#ifdef IMGRESIZE_PNG_ZLIB
        if (filtered > INT_MAX ||
            (int64_t)compressBound((uLong)filtered) > INT_MAX - PNG_CHUNK_OVERHEAD)
            return 0;
#else
        if (filtered > INT_MAX || stb_deflate_worst_output(filtered) > STB_DEFLATE_MAX_OUTPUT)
            return 0;
#endif
        break;
    }
    }

    /* A source without pixels is refused by resize_pixels itself. */
    if (source_width > 0 && source_height > 0 &&
        resampler_int_bytes(source_width, source_height, width, height, channels) > INT_MAX)
        return 0;

    *byte_count = (size_t)total;
    return 1;
}

/* ---- Exact resize ------------------------------------------------------- */

IMGRESIZE_API int IMGRESIZE_CALL imgresize_exact(const char *input_path, const char *output_path,
                                                 int width, int height)
{
    clear_error();
    if (is_null_or_empty(input_path)) {
        set_error("Input path is NULL or empty");
        return 0;
    }
    if (is_null_or_empty(output_path)) {
        set_error("Output path is NULL or empty");
        return 0;
    }
    if (width <= 0 || height <= 0) {
        set_error("Invalid target dimensions: %dx%d (must be > 0)", width, height);
        return 0;
    }

    int source_width = 0, source_height = 0, channels = 0;
    unsigned char *source = stbi_load(input_path, &source_width, &source_height, &channels, 0);
    if (source == NULL) {
        const char *reason = stbi_failure_reason();
        set_error("Failed to load image '%s': %s", input_path, reason ? reason : "unknown error");
        return 0;
    }

    size_t byte_count = 0;
    if (!target_size_fits(source_width, source_height, width, height, channels,
                          output_format_for(output_path), &byte_count)) {
        stbi_image_free(source);
        set_error("Target dimensions too large: %dx%d", width, height);
        return 0;
    }
    unsigned char *destination = (unsigned char *)malloc(byte_count);
    if (destination == NULL) {
        stbi_image_free(source);
        set_error("Out of memory allocating %dx%d (%zu bytes) destination buffer", width, height,
                  byte_count);
        return 0;
    }

    if (!resize_pixels(source, source_width, source_height, destination, width, height,
                       channels)) {
        stbi_image_free(source);
        free(destination);
        return 0;
    }
    stbi_image_free(source);

    const int written = write_image(output_path, width, height, channels, destination);
    free(destination);
    return written;
}

/* ---- Fit, percent, thumbnail -------------------------------------------- */

/* Finds an image's size from its header, decoding the whole image only when
 * the header query fails or gives no positive size. Returns 0 when neither
 * gives a positive size, with *reason saying why: the decoder's failure
 * reason, or NULL when the decoder has none. Used by fit, percent and info. */
static int probe_image_size(const char *path, int *width, int *height, const char **reason)
{
    int channels = 0;
    *width = 0;
    *height = 0;
    *reason = NULL;
    if (stbi_info(path, width, height, &channels) && *width > 0 && *height > 0)
        return 1;

    unsigned char *pixels = stbi_load(path, width, height, &channels, 0);
    if (pixels == NULL) {
        *reason = stbi_failure_reason();
        return 0;
    }
    stbi_image_free(pixels);
    /* A decode without a size must never reach the scale arithmetic. The
     * decoder succeeded, so its failure reason is stale (a GIF header even
     * leaves it empty) and says nothing about this file. */
    if (*width > 0 && *height > 0)
        return 1;
    *reason = "image has no pixels";
    return 0;
}

static void set_probe_error(const char *path, const char *reason)
{
    set_error("Failed to inspect or load image '%s': %s", path, reason ? reason : "file not found");
}

/* round() with halves away from zero, then at least one pixel. The value is
 * known to lie within the int range. */
static int round_to_pixels(double size)
{
    const int pixels = (int)round(size);
    return pixels < 1 ? 1 : pixels;
}

IMGRESIZE_API int IMGRESIZE_CALL imgresize_fit(const char *input_path, const char *output_path,
                                               int max_width, int max_height)
{
    clear_error();
    if (is_null_or_empty(input_path)) {
        set_error("Input path is NULL or empty");
        return 0;
    }
    if (is_null_or_empty(output_path)) {
        set_error("Output path is NULL or empty");
        return 0;
    }
    if (max_width <= 0 || max_height <= 0) {
        set_error("Invalid bounds: max_width=%d, max_height=%d (must be > 0)", max_width,
                  max_height);
        return 0;
    }

    int width = 0, height = 0;
    const char *reason = NULL;
    if (!probe_image_size(input_path, &width, &height, &reason)) {
        set_probe_error(input_path, reason);
        return 0;
    }

    /* The smaller of the two scales keeps both sides within the box. */
    const double scale_x = (double)max_width / (double)width;
    const double scale_y = (double)max_height / (double)height;
    const double scale = scale_x < scale_y ? scale_x : scale_y;
    const int new_width = round_to_pixels((double)width * scale);
    const int new_height = round_to_pixels((double)height * scale);
    return imgresize_exact(input_path, output_path, new_width, new_height);
}

IMGRESIZE_API int IMGRESIZE_CALL imgresize_percent(const char *input_path, const char *output_path,
                                                   int percent)
{
    clear_error();
    if (is_null_or_empty(input_path)) {
        set_error("Input path is NULL or empty");
        return 0;
    }
    if (is_null_or_empty(output_path)) {
        set_error("Output path is NULL or empty");
        return 0;
    }
    if (percent <= 0) {
        set_error("Invalid percent: %d (must be > 0)", percent);
        return 0;
    }

    int width = 0, height = 0;
    const char *reason = NULL;
    if (!probe_image_size(input_path, &width, &height, &reason)) {
        set_probe_error(input_path, reason);
        return 0;
    }

    const double scaled_width = round((double)width * (double)percent / 100.0);
    const double scaled_height = round((double)height * (double)percent / 100.0);
    if (scaled_width > (double)INT_MAX || scaled_height > (double)INT_MAX) {
        set_error("Invalid percent: %d (target size out of range for %dx%d)", percent, width,
                  height);
        return 0;
    }
    return imgresize_exact(input_path, output_path, round_to_pixels(scaled_width),
                           round_to_pixels(scaled_height));
}

IMGRESIZE_API int IMGRESIZE_CALL imgresize_thumbnail(const char *input_path, const char *output_path,
                                                     int size)
{
    clear_error();
    if (size <= 0) {
        set_error("Invalid thumbnail size: %d (must be > 0)", size);
        return 0;
    }
    return imgresize_fit(input_path, output_path, size, size);
}

/* ---- Directory batch ---------------------------------------------------- */

#ifdef _WIN32
#  define PATH_SEPARATOR "\\"
#else
#  define PATH_SEPARATOR "/"
#endif

/* Path buffers of the batch; a joined path longer than 1023 bytes is refused
 * rather than cut, so a cut name can never be read or overwritten. */
enum { BATCH_PATH_CAPACITY = 1024 };

static int is_batch_extension(const char *extension)
{
    static const char *const accepted[] = {".png", ".jpg", ".jpeg", ".bmp", ".tga"};
    for (size_t i = 0; i < sizeof accepted / sizeof accepted[0]; ++i)
        if (iequals(extension, accepted[i]))
            return 1;
    return 0;
}

static int join_path(char *buffer, const char *directory, const char *name)
{
    const int length = snprintf(buffer, BATCH_PATH_CAPACITY, "%s" PATH_SEPARATOR "%s", directory, name);
    return length >= 0 && length < BATCH_PATH_CAPACITY;
}

/* Handles one directory entry; returns 1 when a file was written. */
static int batch_entry(const char *input_dir, const char *output_dir, const char *name,
                       int is_directory, int max_width, int max_height)
{
    if (is_directory)
        return 0;
    const char *extension = strrchr(name, '.');
    if (extension == NULL || !is_batch_extension(extension))
        return 0;

    char input_path[BATCH_PATH_CAPACITY];
    char output_path[BATCH_PATH_CAPACITY];
    if (!join_path(input_path, input_dir, name)) {
        set_error("Batch path too long: '%s' joined with '%s' exceeds %d bytes", input_dir, name,
                  BATCH_PATH_CAPACITY - 1);
        return 0;
    }
    if (!join_path(output_path, output_dir, name)) {
        set_error("Batch path too long: '%s' joined with '%s' exceeds %d bytes", output_dir, name,
                  BATCH_PATH_CAPACITY - 1);
        return 0;
    }
    return imgresize_fit(input_path, output_path, max_width, max_height);
}

IMGRESIZE_API int IMGRESIZE_CALL imgresize_batch(const char *input_dir, const char *output_dir,
                                                 int max_width, int max_height)
{
    clear_error();
    if (is_null_or_empty(input_dir)) {
        set_error("Input directory is NULL or empty");
        return -1;
    }
    if (is_null_or_empty(output_dir)) {
        set_error("Output directory is NULL or empty");
        return -1;
    }
    if (max_width <= 0 || max_height <= 0) {
        set_error("Invalid batch bounds: %dx%d (must be > 0)", max_width, max_height);
        return -1;
    }

    /* Created before the input is opened, one level only; an existing or
     * uncreatable directory does not stop the batch. */
#ifdef _WIN32
    (void)_mkdir(output_dir);
#else
    (void)mkdir(output_dir, 0777);
#endif

    /* Both platforms refuse an input directory whose search pattern would
     * not fit the path buffer. */
    char pattern[BATCH_PATH_CAPACITY];
    if (!join_path(pattern, input_dir, "*.*")) {
        set_error("Failed to open input directory: %s", input_dir);
        return -1;
    }

    int written = 0;
#ifdef _WIN32
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        set_error("Failed to open input directory: %s", input_dir);
        return -1;
    }
    do {
        const int is_directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        written += batch_entry(input_dir, output_dir, entry.cFileName, is_directory, max_width,
                               max_height);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
#else
    DIR *directory = opendir(input_dir);
    if (directory == NULL) {
        set_error("Failed to open input directory: %s", input_dir);
        return -1;
    }
    const struct dirent *entry;
    while ((entry = readdir(directory)) != NULL) {
        /* stat relative to the open directory: "." and ".." are directories
         * by the same test, and the entry's path never needs joining here. */
        struct stat status;
        const int is_directory = fstatat(dirfd(directory), entry->d_name, &status, 0) == 0 &&
                                 S_ISDIR(status.st_mode);
        written += batch_entry(input_dir, output_dir, entry->d_name, is_directory, max_width,
                               max_height);
    }
    closedir(directory);
#endif
    return written;
}

/* ---- Image information -------------------------------------------------- */

/* Names the format from the file's first bytes, else from the extension of
 * the whole path. */
static const char *detect_format(const unsigned char *header, size_t count, const char *path)
{
    if (count >= 8 && header[0] == 0x89 && header[1] == 'P' && header[2] == 'N' && header[3] == 'G')
        return "png";
    if (count >= 3 && header[0] == 0xFF && header[1] == 0xD8 && header[2] == 0xFF)
        return "jpeg";
    if (count >= 2 && header[0] == 'B' && header[1] == 'M')
        return "bmp";
    if (count >= 6 && (memcmp(header, "GIF87a", 6) == 0 || memcmp(header, "GIF89a", 6) == 0))
        return "gif";
    if (count >= 12 && memcmp(header, "RIFF", 4) == 0 && memcmp(header + 8, "WEBP", 4) == 0)
        return "webp";

    static const struct {
        const char *extension;
        const char *name;
    } by_extension[] = {
        {".png", "png"}, {".jpg", "jpeg"}, {".jpeg", "jpeg"}, {".bmp", "bmp"},
        {".tga", "tga"}, {".gif", "gif"},  {".webp", "webp"},
    };
    const char *extension = strrchr(path, '.');
    if (extension != NULL)
        for (size_t i = 0; i < sizeof by_extension / sizeof by_extension[0]; ++i)
            if (iequals(extension, by_extension[i].extension))
                return by_extension[i].name;
    return "unknown";
}

/* The file's size from a 64-bit status call, so files of 2 GiB and more
 * report their true size. Returns 0 when the status cannot be read. */
static int file_status(const char *path, long long *size, int *is_directory)
{
#ifdef _WIN32
    struct _stat64 status;
    if (_stat64(path, &status) != 0)
        return 0;
    *is_directory = (status.st_mode & _S_IFDIR) != 0;
#else
    struct stat status;
    if (stat(path, &status) != 0)
        return 0;
    *is_directory = S_ISDIR(status.st_mode);
#endif
    *size = (long long)status.st_size;
    return 1;
}

IMGRESIZE_API const char *IMGRESIZE_CALL imgresize_info(const char *path)
{
    clear_error();
    g_info_buf[0] = '\0';
    if (is_null_or_empty(path)) {
        set_error("Input path is NULL or empty");
        return g_empty_text;
    }

    long long file_size = 0;
    int is_directory = 0;
    if (!file_status(path, &file_size, &is_directory)) {
        set_error("Failed to stat file: %s", path);
        return g_empty_text;
    }
#ifndef _WIN32
    /* Windows cannot open a directory as a file; glibc can, and would fail
     * only later at the decoder. Keep the failure at the open step. */
    if (is_directory) {
        set_error("Failed to open file '%s': %s", path, strerror(EISDIR));
        return g_empty_text;
    }
#endif

    FILE *file = fopen(path, "rb");
    if (file == NULL) {
        set_error("Failed to open file '%s': %s", path, strerror(errno));
        return g_empty_text;
    }
    unsigned char header[32];
    memset(header, 0, sizeof header);
    const size_t header_count = fread(header, 1, sizeof header, file);
    fclose(file);

    /* The size rule of fit and percent: a header without a positive size
     * (a top-down BMP's stored height is negative) is decoded in full. */
    int width = 0, height = 0;
    const char *reason = NULL;
    if (!probe_image_size(path, &width, &height, &reason)) {
        set_error("Failed to read image info for '%s': %s", path,
                  reason ? reason : "unsupported format");
        return g_empty_text;
    }

    snprintf(g_info_buf, sizeof g_info_buf,
             "{\"width\":%d,\"height\":%d,\"format\":\"%s\",\"file_size\":%lld}", width, height,
             detect_format(header, header_count, path), file_size);
    return g_info_buf;
}
