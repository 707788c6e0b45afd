/* stb_image_write with zlib plugged into its deflate hook, the way the
 * library does it, but with the level chosen at run time. */
#include "bench_stb.h"

#include <climits>
#include <cstdlib>

#include <zlib.h>

static int g_zlib_level = 1;

static unsigned char *bench_zlib_compress(unsigned char *data, int data_len, int *out_len,
                                          int quality)
{
    (void)quality;
    uLongf capacity = compressBound((uLong)data_len);
    if (capacity > (uLongf)INT_MAX)
        return NULL;
    unsigned char *out = (unsigned char *)malloc((size_t)capacity);
    if (out == NULL)
        return NULL;
    if (compress2(out, &capacity, data, (uLong)data_len, g_zlib_level) != Z_OK) {
        free(out);
        return NULL;
    }
    *out_len = (int)capacity;
    return out;
}

#define STBIW_ZLIB_COMPRESS bench_zlib_compress
#define STBIW_CRC32(buffer, len) ((unsigned int)crc32(0UL, (buffer), (uInt)(len)))
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

void zlib_png_set_level(int level)
{
    g_zlib_level = level;
}

unsigned char *zlib_png_to_mem(const unsigned char *pixels, int width, int height, int channels,
                               int *length)
{
    return stbi_write_png_to_mem(pixels, width * channels, width, height, channels, length);
}

int zlib_write_png(const char *path, int width, int height, int channels,
                   const unsigned char *pixels)
{
    return stbi_write_png(path, width, height, channels, pixels, width * channels);
}

int zlib_write_jpg(const char *path, int width, int height, int channels,
                   const unsigned char *pixels, int quality)
{
    return stbi_write_jpg(path, width, height, channels, pixels, quality);
}
