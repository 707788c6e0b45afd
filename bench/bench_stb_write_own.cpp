/* stb_image_write exactly as shipped: its own fixed-Huffman deflate. */
#include "bench_stb.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

unsigned char *own_png_to_mem(const unsigned char *pixels, int width, int height, int channels,
                              int *length)
{
    return stbi_write_png_to_mem(pixels, width * channels, width, height, channels, length);
}

int own_write_png(const char *path, int width, int height, int channels,
                  const unsigned char *pixels)
{
    return stbi_write_png(path, width, height, channels, pixels, width * channels);
}

int own_write_jpg(const char *path, int width, int height, int channels,
                  const unsigned char *pixels, int quality)
{
    return stbi_write_jpg(path, width, height, channels, pixels, quality);
}
