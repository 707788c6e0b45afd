/* stb_image and stb_image_resize2 for the benchmark, configured as the
 * library configures them. */
#include "bench_stb.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize2.h>

int direct_info(const char *path, int *width, int *height, int *channels)
{
    return stbi_info(path, width, height, channels);
}

unsigned char *direct_load(const char *path, int *width, int *height, int *channels)
{
    return stbi_load(path, width, height, channels, 0);
}

unsigned char *direct_load_from_memory(const unsigned char *data, int length, int *width,
                                       int *height, int *channels)
{
    return stbi_load_from_memory(data, length, width, height, channels, 0);
}

void direct_free(void *pixels)
{
    stbi_image_free(pixels);
}

int direct_resize(const unsigned char *source, int source_width, int source_height,
                  unsigned char *destination, int width, int height, int channels)
{
    STBIR_RESIZE resize;
    stbir_resize_init(&resize, source, source_width, source_height, 0, destination, width, height,
                      0, (stbir_pixel_layout)channels, STBIR_TYPE_UINT8);
    stbir_set_filters(&resize, STBIR_FILTER_CATMULLROM, STBIR_FILTER_CATMULLROM);
    return stbir_resize_extended(&resize);
}
