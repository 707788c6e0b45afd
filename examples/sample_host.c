/*
 * sample_host: loads quendril-imgresize at run time, makes a sample image of
 * its own and puts the library's operations to work on it.
 *
 *   sample_host [LIBRARY] [OUTPUT_DIR]
 *
 * LIBRARY defaults to the library built beside this program; OUTPUT_DIR to
 * "sample-out" in the current directory.
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#  include <direct.h>
#  include <windows.h>
#  define IMGRESIZE_CALL __stdcall
typedef HMODULE library_handle;
typedef void (*any_function)(void);
static library_handle open_library(const char *path) { return LoadLibraryA(path); }
static any_function find_function(library_handle library, const char *name)
{
    return (any_function)GetProcAddress(library, name);
}
static void make_directory(const char *path) { (void)_mkdir(path); }
#  define SEPARATOR "\\"
#else
#  include <dlfcn.h>
#  include <sys/stat.h>
#  define IMGRESIZE_CALL
typedef void *library_handle;
typedef void (*any_function)(void);
static library_handle open_library(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static any_function find_function(library_handle library, const char *name)
{
    /* dlsym returns an object pointer; POSIX guarantees it holds a function's
     * address, and memcpy keeps ISO C's pointer rules. */
    void *address = dlsym(library, name);
    any_function function;
    memcpy(&function, &address, sizeof function);
    return function;
}
static void make_directory(const char *path) { (void)mkdir(path, 0777); }
#  define SEPARATOR "/"
#endif

#ifndef IMGRESIZE_DEFAULT_LIBRARY
#  define IMGRESIZE_DEFAULT_LIBRARY "libquendril-imgresize.so.1"
#endif

/* The library's functions as a dynamic host declares them. */
typedef int(IMGRESIZE_CALL *exact_fn)(const char *, const char *, int, int);
typedef int(IMGRESIZE_CALL *fit_fn)(const char *, const char *, int, int);
typedef int(IMGRESIZE_CALL *percent_fn)(const char *, const char *, int);
typedef int(IMGRESIZE_CALL *thumbnail_fn)(const char *, const char *, int);
typedef int(IMGRESIZE_CALL *batch_fn)(const char *, const char *, int, int);
typedef const char *(IMGRESIZE_CALL *info_fn)(const char *);
typedef const char *(IMGRESIZE_CALL *last_error_fn)(void);
typedef void(IMGRESIZE_CALL *set_int_fn)(int);

static library_handle library;

static any_function need(const char *name)
{
    any_function function = find_function(library, name);
    if (function == NULL) {
        fprintf(stderr, "sample_host: the library has no function %s\n", name);
        exit(1);
    }
    return function;
}

/* A 640x480 binary PPM: colour gradients, a ring pattern and a hard-edged
 * square, so every filter has something to show. */
static int write_sample(const char *path)
{
    const int width = 640, height = 480;
    FILE *file = fopen(path, "wb");
    if (file == NULL)
        return 0;
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x - width / 2.0, dy = y - height / 2.0;
            const double ring = 0.5 + 0.5 * cos((dx * dx + dy * dy) / 900.0);
            unsigned char pixel[3];
            pixel[0] = (unsigned char)(255 * x / (width - 1));
            pixel[1] = (unsigned char)(255 * ring);
            pixel[2] = (unsigned char)(255 * y / (height - 1));
            if (x >= 40 && x < 160 && y >= 40 && y < 160)
                pixel[0] = pixel[1] = pixel[2] = (unsigned char)((((x / 8) + (y / 8)) & 1) ? 255 : 0);
            fwrite(pixel, 1, 3, file);
        }
    }
    return fclose(file) == 0;
}

/* Prints one operation's outcome; returns 1 for a failure. */
static int report(const char *label, int ok, const char *path, info_fn info, last_error_fn last_error)
{
    if (!ok) {
        printf("failed   %s: %s\n", path, last_error());
        return 1;
    }
    printf("%-8s %s %s\n", label, path, info(path));
    return 0;
}

int main(int argc, char **argv)
{
    const char *library_path = argc > 1 ? argv[1] : IMGRESIZE_DEFAULT_LIBRARY;
    const char *out = argc > 2 ? argv[2] : "sample-out";

    library = open_library(library_path);
    if (library == NULL) {
        fprintf(stderr, "sample_host: cannot load %s\n", library_path);
        return 1;
    }
    exact_fn exact = (exact_fn)need("imgresize_exact");
    fit_fn fit = (fit_fn)need("imgresize_fit");
    percent_fn percent = (percent_fn)need("imgresize_percent");
    thumbnail_fn thumbnail = (thumbnail_fn)need("imgresize_thumbnail");
    batch_fn batch = (batch_fn)need("imgresize_batch");
    info_fn info = (info_fn)need("imgresize_info");
    last_error_fn last_error = (last_error_fn)need("imgresize_last_error");
    set_int_fn set_quality = (set_int_fn)need("imgresize_set_quality");
    set_int_fn set_filter = (set_int_fn)need("imgresize_set_filter");

    char sample[1024], batch_dir[1024], path[1024];
    make_directory(out);
    snprintf(batch_dir, sizeof batch_dir, "%s" SEPARATOR "batch", out);
    snprintf(sample, sizeof sample, "%s" SEPARATOR "sample.ppm", out);
    if (!write_sample(sample)) {
        fprintf(stderr, "sample_host: cannot write %s\n", sample);
        return 1;
    }
    printf("sample   %s %s\n", sample, info(sample));

    int failures = 0;
    snprintf(path, sizeof path, "%s" SEPARATOR "exact-320x320.png", out);
    failures += report("exact", exact(sample, path, 320, 320), path, info, last_error);

    set_quality(90);
    snprintf(path, sizeof path, "%s" SEPARATOR "fit-200x200.jpg", out);
    failures += report("fit", fit(sample, path, 200, 200), path, info, last_error);

    set_filter(3); /* Lanczos-3 for the enlargement */
    snprintf(path, sizeof path, "%s" SEPARATOR "percent-150.png", out);
    failures += report("percent", percent(sample, path, 150), path, info, last_error);

    set_filter(2);
    snprintf(path, sizeof path, "%s" SEPARATOR "thumb-64.bmp", out);
    failures += report("thumb", thumbnail(sample, path, 64), path, info, last_error);

    /* The batch takes the PNG, JPEG and BMP just written (not the .ppm). */
    const int written = batch(out, batch_dir, 100, 100);
    if (written >= 0)
        printf("batch    %d files fitted into %s\n", written, batch_dir);
    else {
        printf("failed   batch: %s\n", last_error());
        ++failures;
    }

    /* A failure and its message. */
    snprintf(path, sizeof path, "%s" SEPARATOR "missing.png", out);
    if (!exact(path, sample, 10, 10))
        printf("expected failure: %s\n", last_error());

    return failures == 0 ? 0 : 1;
}
