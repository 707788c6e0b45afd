/*
 * imgresize: the command-line face of quendril-imgresize.
 *
 * Each subcommand is one library call (batch on a terminal: one call per
 * file, so that a progress count can be shown). Failures print the
 * library's own message on stderr. Exit status: 0 success, 1 an operation
 * failed, 2 the command line was wrong.
 */
#include "imgresize.h"

#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <direct.h>
#  include <io.h>
#  define PATH_SEPARATOR "\\"
#else
#  include <dirent.h>
#  include <fcntl.h>
#  include <unistd.h>
#  define PATH_SEPARATOR "/"
#endif

enum { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

static const char usage_line[] =
    "usage: imgresize [--quality N] [--filter F] COMMAND ARGS...  (imgresize --help for details)\n";

static const char help_text[] =
    "usage: imgresize [--quality N] [--filter F] COMMAND ARGS...\n"
    "\n"
    "Resize image files with quendril-imgresize. Input files may be in any format\n"
    "stb_image reads (JPEG, PNG, BMP, GIF, PSD, PIC, PNM, HDR, TGA). The output\n"
    "format follows OUT's extension: .png, .jpg/.jpeg, .bmp or .tga (any case),\n"
    "PNG for anything else. An existing OUT is replaced.\n"
    "\n"
    "Commands:\n"
    "  exact IN OUT W H        resize IN to exactly W x H pixels (aspect ratio not kept)\n"
    "  fit IN OUT W H          resize IN to fit within W x H, keeping its aspect ratio;\n"
    "                          enlarges as well as shrinks\n"
    "  percent IN OUT P        scale IN by P percent (50 halves, 200 doubles)\n"
    "  thumbnail IN OUT SIZE   fit IN within a SIZE x SIZE square\n"
    "  batch INDIR OUTDIR W H  fit every .png, .jpg, .jpeg, .bmp and .tga file directly\n"
    "                          in INDIR (any case; subdirectories are not entered)\n"
    "                          within W x H and write it under the same name into\n"
    "                          OUTDIR, which is created when missing (one level only);\n"
    "                          prints how many files were written; on a terminal a\n"
    "                          progress count is shown on stderr\n"
    "  info FILE...            print one JSON record per readable FILE, one per line:\n"
    "                          {\"path\":...,\"width\":...,\"height\":...,\"format\":...,\n"
    "                          \"file_size\":...}\n"
    "\n"
    "Options (anywhere on the line; \"--\" ends them):\n"
    "  --quality N             JPEG quality 1 to 100 (default 85)\n"
    "  --filter F              resampling filter: point (0), bilinear (1),\n"
    "                          bicubic (2, Catmull-Rom, the default) or lanczos3 (3)\n"
    "  -h, --help              show this help and exit\n"
    "  --version               show the version and exit\n"
    "\n"
    "Exit status: 0 success; 1 an operation failed (the library's message is printed\n"
    "on stderr; for batch: the batch could not start or an eligible file failed);\n"
    "2 the command line was wrong.\n";

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
static int usage_error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("imgresize: ", stderr);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    fputs(usage_line, stderr);
    return EXIT_USAGE;
}

/* The whole text must be a decimal int; anything else is a usage error. */
static int parse_int(const char *text, int *value)
{
    char *end = NULL;
    errno = 0;
    const long parsed = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return 0;
    *value = (int)parsed;
    return 1;
}

static int parse_filter(const char *text, int *filter)
{
    static const char *const names[] = {"point", "bilinear", "bicubic", "lanczos3"};
    for (int code = 0; code < 4; ++code) {
        if (strcmp(text, names[code]) == 0) {
            *filter = code;
            return 1;
        }
    }
    return parse_int(text, filter) && *filter >= 0 && *filter <= 3;
}

static int failed(void)
{
    fprintf(stderr, "imgresize: %s\n", imgresize_last_error());
    return EXIT_FAILED;
}

/* A record or count that never reached stdout (a full disk, a closed pipe)
 * is a failure too. */
static int finish(int status)
{
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fputs("imgresize: cannot write to standard output\n", stderr);
        return status == EXIT_OK ? EXIT_FAILED : status;
    }
    return status;
}

/* ---- info --------------------------------------------------------------- */

/* Writes `text` as a JSON string. Bytes from 0x80 up are passed through, so
 * UTF-8 paths stay readable. */
static void print_json_string(const char *text)
{
    putchar('"');
    for (const unsigned char *c = (const unsigned char *)text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\')
            printf("\\%c", *c);
        else if (*c < 0x20)
            printf("\\u%04x", *c);
        else
            putchar(*c);
    }
    putchar('"');
}

static int run_info(int count, char **files)
{
    int status = EXIT_OK;
    for (int i = 0; i < count; ++i) {
        const char *record = imgresize_info(files[i]);
        if (record[0] != '{') {
            status = failed();
            continue;
        }
        /* The library's record with the path put in front of its keys. */
        fputs("{\"path\":", stdout);
        print_json_string(files[i]);
        printf(",%s\n", record + 1);
        fflush(stdout);
    }
    return status;
}

/* ---- batch -------------------------------------------------------------- */

/* The library's batch reports only how many files it wrote. To tell whether
 * any failed, the tool lists the eligible files itself with the library's
 * rule: any entry directly in the directory that is not a directory and whose
 * name ends in .png, .jpg, .jpeg, .bmp or .tga, compared without case. */
struct name_list {
    char **names;
    int count;
    int capacity;
};

static int iequals(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        const int ca = (*a >= 'A' && *a <= 'Z') ? *a - 'A' + 'a' : *a;
        const int cb = (*b >= 'A' && *b <= 'Z') ? *b - 'A' + 'a' : *b;
        if (ca != cb)
            return 0;
        if (*a == '\0')
            return 1;
    }
}

static int is_eligible_name(const char *name)
{
    static const char *const accepted[] = {".png", ".jpg", ".jpeg", ".bmp", ".tga"};
    const char *extension = strrchr(name, '.');
    if (extension == NULL)
        return 0;
    for (size_t i = 0; i < sizeof accepted / sizeof accepted[0]; ++i)
        if (iequals(extension, accepted[i]))
            return 1;
    return 0;
}

static void add_name(struct name_list *list, const char *name)
{
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : 64;
        char **grown = (char **)realloc(list->names, (size_t)capacity * sizeof *grown);
        if (grown == NULL) {
            fputs("imgresize: out of memory\n", stderr);
            exit(EXIT_FAILED);
        }
        list->names = grown;
        list->capacity = capacity;
    }
    const size_t length = strlen(name) + 1;
    char *copy = (char *)malloc(length);
    if (copy == NULL) {
        fputs("imgresize: out of memory\n", stderr);
        exit(EXIT_FAILED);
    }
    memcpy(copy, name, length);
    list->names[list->count++] = copy;
}

static void free_names(struct name_list *list)
{
    for (int i = 0; i < list->count; ++i)
        free(list->names[i]);
    free(list->names);
}

/* Lists the eligible files in directory order; 0 when the directory cannot
 * be read (the library then reports that itself). */
static int list_eligible(const char *directory, struct name_list *list)
{
#ifdef _WIN32
    char pattern[1024];
    const int length = snprintf(pattern, sizeof pattern, "%s\\*.*", directory);
    if (length < 0 || length >= (int)sizeof pattern)
        return 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            is_eligible_name(entry.cFileName))
            add_name(list, entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
#else
    DIR *handle = opendir(directory);
    if (handle == NULL)
        return 0;
    const struct dirent *entry;
    while ((entry = readdir(handle)) != NULL) {
        struct stat status;
        const int is_directory = fstatat(dirfd(handle), entry->d_name, &status, 0) == 0 &&
                                 S_ISDIR(status.st_mode);
        if (!is_directory && is_eligible_name(entry->d_name))
            add_name(list, entry->d_name);
    }
    closedir(handle);
#endif
    return 1;
}

static int stderr_is_terminal(void)
{
#ifdef _WIN32
    return _isatty(_fileno(stderr));
#else
    return isatty(fileno(stderr));
#endif
}

/* Joins as the library does; 0 when the result would not fit its 1023-byte
 * path buffer. */
static int join_path(char *buffer, size_t capacity, const char *directory, const char *name)
{
    const int length = snprintf(buffer, capacity, "%s" PATH_SEPARATOR "%s", directory, name);
    return length >= 0 && length < 1024 && (size_t)length < capacity;
}

static int progress_width;

static void show_progress(int done, int total)
{
    progress_width = fprintf(stderr, "\rbatch: %d/%d files", done, total) - 1;
    fflush(stderr);
}

static void clear_progress(void)
{
    if (progress_width > 0)
        fprintf(stderr, "\r%*s\r", progress_width, "");
    progress_width = 0;
}

/* The batch one file at a time, with a progress count: the same files, in
 * the same order, through the same imgresize_fit call that the library's
 * batch makes. Returns the number written, or -1 when the library's own
 * batch must run instead (it then reports why it cannot start, or handles a
 * path too long for its buffers). */
static int batch_with_progress(const char *input_dir, const char *output_dir, int width,
                               int height, const struct name_list *files)
{
    char input_path[1024], output_path[1024];
    for (int i = 0; i < files->count; ++i)
        if (!join_path(input_path, sizeof input_path, input_dir, files->names[i]) ||
            !join_path(output_path, sizeof output_path, output_dir, files->names[i]))
            return -1;
#ifdef _WIN32
    (void)_mkdir(output_dir);
#else
    (void)mkdir(output_dir, 0777);
#endif

    int written = 0;
    for (int i = 0; i < files->count; ++i) {
        show_progress(i, files->count);
        join_path(input_path, sizeof input_path, input_dir, files->names[i]);
        join_path(output_path, sizeof output_path, output_dir, files->names[i]);
        if (imgresize_fit(input_path, output_path, width, height)) {
            ++written;
        } else {
            clear_progress();
            fprintf(stderr, "imgresize: %s\n", imgresize_last_error());
        }
    }
    clear_progress();
    return written;
}

static int run_batch(const char *input_dir, const char *output_dir, int width, int height)
{
    struct name_list files = {NULL, 0, 0};
    const int listed = list_eligible(input_dir, &files);

    int written = -1;
    int each_failure_shown = 0;
    if (listed && width > 0 && height > 0 && stderr_is_terminal()) {
        written = batch_with_progress(input_dir, output_dir, width, height, &files);
        each_failure_shown = written >= 0;
    }
    if (!each_failure_shown) {
        written = imgresize_batch(input_dir, output_dir, width, height);
        if (written < 0) {
            free_names(&files);
            return failed();
        }
    }

    printf("%d of %d files written to %s\n", written, files.count, output_dir);
    fflush(stdout);
    int status = EXIT_OK;
    if (written < files.count) {
        const int failures = files.count - written;
        fprintf(stderr, "imgresize: %d of %d files failed\n", failures, files.count);
        /* The library keeps the message of the last file only, and only
         * when that file failed. */
        if (!each_failure_shown && imgresize_last_error()[0] != '\0')
            fprintf(stderr, "imgresize: last failure: %s\n", imgresize_last_error());
        status = EXIT_FAILED;
    }
    free_names(&files);
    return status;
}

/* ---- command line ------------------------------------------------------- */

struct command {
    const char *name;
    const char *operands; /* for the usage message */
    int operand_count;    /* -1: one or more */
};

static const struct command commands[] = {
    {"exact", "IN OUT W H", 4},        {"fit", "IN OUT W H", 4},
    {"percent", "IN OUT P", 3},        {"thumbnail", "IN OUT SIZE", 3},
    {"batch", "INDIR OUTDIR W H", 4},  {"info", "FILE...", -1},
};

/* Parses the command line and runs the command; `operands` has room for
 * every argument. Returns the exit status. */
static int run_command_line(int argc, char **argv, char **operands)
{
    /* Options may stand anywhere; everything else is the command and its
     * operands, in order. */
    int count = 0;
    int quality = -1, filter = -1, options_done = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (options_done || arg[0] != '-' || arg[1] == '\0' ||
            (arg[1] >= '0' && arg[1] <= '9')) {
            operands[count++] = argv[i];
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            options_done = 1;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            fputs(help_text, stdout);
            return finish(EXIT_OK);
        } else if (strcmp(arg, "--version") == 0) {
            printf("imgresize %s\n", IMGRESIZE_VERSION_STRING);
            return finish(EXIT_OK);
        } else if (strncmp(arg, "--quality", 9) == 0 || strncmp(arg, "--filter", 8) == 0) {
            const int is_quality = arg[2] == 'q';
            const size_t name_length = is_quality ? 9 : 8;
            const char *value;
            if (arg[name_length] == '=')
                value = arg + name_length + 1;
            else if (arg[name_length] == '\0' && i + 1 < argc)
                value = argv[++i];
            else if (arg[name_length] == '\0')
                return usage_error("%s needs a value", arg);
            else
                return usage_error("unknown option '%s'", arg);
            if (is_quality) {
                if (!parse_int(value, &quality) || quality < 1 || quality > 100)
                    return usage_error("--quality takes an integer from 1 to 100, not '%s'", value);
            } else if (!parse_filter(value, &filter)) {
                return usage_error(
                    "--filter takes point, bilinear, bicubic, lanczos3 or 0 to 3, not '%s'", value);
            }
        } else {
            return usage_error("unknown option '%s'", arg);
        }
    }

    if (count == 0)
        return usage_error("no command given");
    const struct command *command = NULL;
    for (size_t c = 0; c < sizeof commands / sizeof commands[0]; ++c)
        if (strcmp(operands[0], commands[c].name) == 0)
            command = &commands[c];
    if (command == NULL)
        return usage_error("unknown command '%s'", operands[0]);

    char **args = operands + 1;
    const int arg_count = count - 1;
    if ((command->operand_count < 0 && arg_count < 1) ||
        (command->operand_count >= 0 && arg_count != command->operand_count)) {
        return usage_error("%s takes %s", command->name, command->operands);
    }
    static const char *const number_names[] = {"W", "H"};
    int numbers[2] = {0, 0};
    if (command->operand_count > 2) {
        for (int n = 0; n + 2 < arg_count; ++n) {
            if (!parse_int(args[2 + n], &numbers[n])) {
                const char *name = arg_count == 3 ? (strcmp(command->name, "percent") == 0 ? "P" : "SIZE")
                                                  : number_names[n];
                return usage_error("%s %s must be an integer, not '%s'", command->name, name,
                                   args[2 + n]);
            }
        }
    }

    if (quality >= 0)
        imgresize_set_quality(quality);
    if (filter >= 0)
        imgresize_set_filter(filter);

    int status;
    const char *name = command->name;
    if (strcmp(name, "exact") == 0)
        status = imgresize_exact(args[0], args[1], numbers[0], numbers[1]) ? EXIT_OK : failed();
    else if (strcmp(name, "fit") == 0)
        status = imgresize_fit(args[0], args[1], numbers[0], numbers[1]) ? EXIT_OK : failed();
    else if (strcmp(name, "percent") == 0)
        status = imgresize_percent(args[0], args[1], numbers[0]) ? EXIT_OK : failed();
    else if (strcmp(name, "thumbnail") == 0)
        status = imgresize_thumbnail(args[0], args[1], numbers[0]) ? EXIT_OK : failed();
    else if (strcmp(name, "batch") == 0)
        status = run_batch(args[0], args[1], numbers[0], numbers[1]);
    else
        status = run_info(arg_count, args);
    return finish(status);
}

int main(int argc, char **argv)
{
    /* Released on every path, --help, --version and usage errors included. */
    char **operands = (char **)calloc((size_t)argc + 1, sizeof *operands);
    if (operands == NULL)
        return EXIT_FAILED;
    const int status = run_command_line(argc, argv, operands);
    free(operands);
    return status;
}
