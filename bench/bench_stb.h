/* The benchmark's own stb code: the direct pipeline that the library is
 * measured against, and two PNG encoders that differ only in their deflate. */
#ifndef IMGRESIZE_BENCH_STB_H
#define IMGRESIZE_BENCH_STB_H

/* stb_image and stb_image_resize2 (bench_stb_read.cpp). */
int direct_info(const char *path, int *width, int *height, int *channels);
unsigned char *direct_load(const char *path, int *width, int *height, int *channels);
unsigned char *direct_load_from_memory(const unsigned char *data, int length, int *width,
                                       int *height, int *channels);
void direct_free(void *pixels);
/* One stbir_resize_extended call, Catmull-Rom, clamped edges; 1 on success. */
int direct_resize(const unsigned char *source, int source_width, int source_height,
                  unsigned char *destination, int width, int height, int channels);

/* stb_image_write with zlib as its deflate (bench_stb_write_zlib.cpp), at a
 * level chosen at run time; the CRC comes from zlib as in the library. */
void zlib_png_set_level(int level);
unsigned char *zlib_png_to_mem(const unsigned char *pixels, int width, int height, int channels,
                               int *length);
int zlib_write_png(const char *path, int width, int height, int channels,
                   const unsigned char *pixels);
int zlib_write_jpg(const char *path, int width, int height, int channels,
                   const unsigned char *pixels, int quality);

/* stb_image_write with its own deflate (bench_stb_write_own.cpp). */
unsigned char *own_png_to_mem(const unsigned char *pixels, int width, int height, int channels,
                              int *length);
int own_write_png(const char *path, int width, int height, int channels,
                  const unsigned char *pixels);
int own_write_jpg(const char *path, int width, int height, int channels,
                  const unsigned char *pixels, int quality);

#endif
