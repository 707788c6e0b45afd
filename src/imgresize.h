/*
 * quendril-imgresize: resize image files from any language.
 *
 * The library reads an image file (any format stb_image decodes: JPEG, PNG,
 * BMP, GIF, PSD, PIC, PNM, HDR, TGA), resamples it and writes a new file whose
 * format follows from the output path's extension: ".png", ".jpg"/".jpeg",
 * ".bmp" or ".tga", compared without regard to case; PNG for anything else.
 *
 * Conventions shared by every function below:
 *
 *  - Operations that do work return 1 on success and 0 on failure
 *    (imgresize_batch: a count, or -1). On failure imgresize_last_error()
 *    returns a message naming the offending path or value; every operation
 *    first empties that message, so after a success it is "".
 *  - Paths are NUL-terminated narrow strings in the process's code page,
 *    passed to the C runtime unchanged. A NULL path is reported, never
 *    dereferenced.
 *  - Returned strings point into static storage owned by the library. Never
 *    free them. Their content stays valid until the next call that rewrites
 *    it: copy the text before calling the library again.
 *  - Threads: the library creates none and takes no locks. The last-error
 *    text, the info record, the JPEG quality and the filter are shared by the
 *    whole process, so calls must not overlap in time. A host that calls from
 *    several threads serialises the calls itself.
 *  - Nothing needs to be called first; loading the library runs no code.
 *
 * On Windows the functions use the __stdcall convention, which on x64 is the
 * one standard convention; the exported names carry no decoration.
 */
#ifndef QUENDRIL_IMGRESIZE_H
#define QUENDRIL_IMGRESIZE_H

#define IMGRESIZE_VERSION_MAJOR 1
#define IMGRESIZE_VERSION_MINOR 0
#define IMGRESIZE_VERSION_PATCH 0
#define IMGRESIZE_VERSION_STRING "1.0.0"

#ifndef IMGRESIZE_API
#  if defined(_WIN32)
#    if defined(IMGRESIZE_BUILD)
#      define IMGRESIZE_API __declspec(dllexport)
#    elif defined(IMGRESIZE_STATIC)
#      define IMGRESIZE_API
#    else
#      define IMGRESIZE_API __declspec(dllimport)
#    endif
#  elif defined(__GNUC__) && !defined(IMGRESIZE_STATIC)
#    define IMGRESIZE_API __attribute__((visibility("default")))
#  else
#    define IMGRESIZE_API
#  endif
#endif

#ifndef IMGRESIZE_CALL
#  if defined(_WIN32)
#    define IMGRESIZE_CALL __stdcall
#  else
#    define IMGRESIZE_CALL
#  endif
#endif

/* Filter codes for imgresize_set_filter(). */
#define IMGRESIZE_FILTER_POINT    0 /* point sampling (box average when shrinking) */
#define IMGRESIZE_FILTER_BILINEAR 1 /* triangle */
#define IMGRESIZE_FILTER_BICUBIC  2 /* Catmull-Rom, the default */
#define IMGRESIZE_FILTER_LANCZOS3 3 /* Lanczos-3 */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Settings and errors ------------------------------------------------ */

/*
 * imgresize_init() resets the settings: empties the last-error text, sets the
 * JPEG quality to 85 and the filter to IMGRESIZE_FILTER_BICUBIC. The info
 * record of the last imgresize_info() call is left alone. Calling it is
 * optional; the defaults hold from load.
 *
 * @return 1, always.
 */
IMGRESIZE_API int IMGRESIZE_CALL imgresize_init(void);

/*
 * imgresize_cleanup() makes the same three resets as imgresize_init(). The
 * library holds no memory or open file between calls, so nothing else needs
 * releasing; calling it is optional.
 */
IMGRESIZE_API void IMGRESIZE_CALL imgresize_cleanup(void);

/*
 * imgresize_set_quality() sets the JPEG quality used by later writes to
 * ".jpg"/".jpeg" outputs. Values above 100 store 100, values of 0 or below
 * store 1. Leaves the last-error text alone. Default 85.
 */
IMGRESIZE_API void IMGRESIZE_CALL imgresize_set_quality(int quality);

/*
 * imgresize_set_filter() selects the resampling filter for later resizes:
 * 0 point, 1 bilinear, 2 bicubic (Catmull-Rom), 3 Lanczos-3. Any other value,
 * negative ones included, selects 2. Leaves the last-error text alone.
 */
IMGRESIZE_API void IMGRESIZE_CALL imgresize_set_filter(int filter);

/*
 * imgresize_last_error() returns the message of the most recent failure, or
 * "" when the last operation succeeded or nothing has failed yet.
 *
 * @return never NULL; the same library-owned buffer for the life of the
 *         library. Its text changes with the next operation.
 */
IMGRESIZE_API const char *IMGRESIZE_CALL imgresize_last_error(void);

/* ---- Resizing ----------------------------------------------------------- */

/*
 * imgresize_exact() resizes the image at `input_path` to exactly `width` x
 * `height` pixels (the aspect ratio is not kept) and writes it to
 * `output_path`, replacing any file there; input and output may be the same
 * path. The channel count of the source is kept where the output format can
 * hold it (PNG and TGA: 1 to 4; BMP: RGB or RGBA; JPEG: no alpha).
 *
 * @return 1 when the output file was written completely; 0 otherwise, with
 *         one of these messages:
 *         "Input path is NULL or empty", "Output path is NULL or empty",
 *         "Invalid target dimensions: WxH (must be > 0)",
 *         "Target dimensions too large: WxH",
 *         "Failed to load image 'PATH': REASON",
 *         "Out of memory allocating WxH (N bytes) destination buffer",
 *         "Unsupported channel count: N",
 *         "stb_image_resize2 failed to resize image buffer",
 *         "Failed to write PNG output: PATH",
 *         "Failed to write JPEG output (quality Q): PATH",
 *         "Failed to write BMP output: PATH",
 *         "Failed to write TGA output: PATH",
 *         "Failed to write output image 'PATH' with format fallback".
 *         A failed write (disk full, unwritable path) is reported as failure,
 *         though a partly written file may remain at `output_path`.
 */
IMGRESIZE_API int IMGRESIZE_CALL imgresize_exact(const char *input_path, const char *output_path,
                                                 int width, int height);

/*
 * imgresize_fit() resizes the image so that it fits within `max_width` x
 * `max_height` with its aspect ratio kept, enlarging as well as shrinking:
 * the result touches the box on at least one side. Each side is rounded to
 * the nearest pixel (halves away from zero) and is at least 1.
 *
 * @return 1 on success; 0 on failure with "Input path is NULL or empty",
 *         "Output path is NULL or empty",
 *         "Invalid bounds: max_width=W, max_height=H (must be > 0)",
 *         "Failed to inspect or load image 'PATH': REASON", or any message of
 *         imgresize_exact().
 */
IMGRESIZE_API int IMGRESIZE_CALL imgresize_fit(const char *input_path, const char *output_path,
                                               int max_width, int max_height);

/*
 * imgresize_percent() scales the image by `percent` (100 keeps its size,
 * 50 halves it, 200 doubles it). Each side is rounded to the nearest pixel
 * (halves away from zero) and is at least 1.
 *
 * @return 1 on success; 0 on failure with the path messages of
 *         imgresize_fit(), "Invalid percent: P (must be > 0)",
 *         "Invalid percent: P (target size out of range for WxH)" when a side
 *         would exceed 2147483647, "Failed to inspect or load image 'PATH':
 *         REASON", or any message of imgresize_exact().
 */
IMGRESIZE_API int IMGRESIZE_CALL imgresize_percent(const char *input_path, const char *output_path,
                                                   int percent);

/*
 * imgresize_thumbnail() fits the image within a `size` x `size` square; the
 * same as imgresize_fit(input_path, output_path, size, size).
 *
 * @return 1 on success; 0 on failure with "Invalid thumbnail size: N (must be
 *         > 0)" (checked before the paths) or any message of imgresize_fit().
 */
IMGRESIZE_API int IMGRESIZE_CALL imgresize_thumbnail(const char *input_path, const char *output_path,
                                                     int size);

/*
 * imgresize_batch() fits every file directly inside `input_dir` whose name
 * ends in ".png", ".jpg", ".jpeg", ".bmp" or ".tga" (any case) into
 * `max_width` x `max_height`, as imgresize_fit() does, and writes the result
 * under the same file name (and so in the same format) into `output_dir`.
 * `output_dir` is created first when missing (one level only); it may equal
 * `input_dir`, in which case the images are replaced. Subdirectories are not
 * entered. Files are processed in the order the file system lists them; a
 * failing file does not stop the batch.
 *
 * @return the number of files written (0 or more), or -1 when the batch
 *         cannot start: "Input directory is NULL or empty", "Output directory
 *         is NULL or empty", "Invalid batch bounds: WxH (must be > 0)",
 *         "Failed to open input directory: DIR".
 *         After a count is returned, imgresize_last_error() holds the message
 *         of the last file processed if that file failed, and "" otherwise,
 *         so check the count against the number of files you expect.
 *         A file whose joined path would exceed 1023 bytes is not processed
 *         and counts as a failure ("Path too long in batch: 'DIR' + 'NAME'").
 */
IMGRESIZE_API int IMGRESIZE_CALL imgresize_batch(const char *input_dir, const char *output_dir,
                                                 int max_width, int max_height);

/* ---- Information -------------------------------------------------------- */

/*
 * imgresize_info() describes the image at `path` as a one-line JSON record:
 *   {"width":640,"height":480,"format":"png","file_size":12345}
 * "format" is one of "png", "jpeg", "bmp", "gif", "webp", "tga", "unknown",
 * taken from the file's first bytes and else from the path's extension;
 * "file_size" is the size in bytes. Only files stb_image can read get a
 * record, and only with a positive width and height: when the header gives
 * none (a top-down BMP stores a negative height) the image is decoded in
 * full, and a decode without pixels fails with REASON "image has no pixels".
 *
 * @return never NULL. On success a library-owned buffer holding the record,
 *         valid until the next imgresize_info() call. On failure "" and one of
 *         "Input path is NULL or empty", "Failed to stat file: PATH",
 *         "Failed to open file 'PATH': REASON" (also for a directory),
 *         "Failed to read image info for 'PATH': REASON".
 */
IMGRESIZE_API const char *IMGRESIZE_CALL imgresize_info(const char *path);

#ifdef __cplusplus
}
#endif

#endif /* QUENDRIL_IMGRESIZE_H */
