/* imgresize_bench: the library's operations on the benchmark workloads,
 * side by side with the same work done by direct stb calls.
 *
 *   imgresize_bench gen DATA_DIR
 *       writes the inputs (photograph-like, deterministic) into DATA_DIR
 *   imgresize_bench run lib|stb W1..W6 DATA_DIR OUT_DIR
 *       does one workload once and prints the seconds it took in-process;
 *       run.py starts a fresh process per measurement for its peak memory
 *   imgresize_bench png-sweep DATA_DIR [ROUNDS]
 *       encodes the PNG outputs of W2, W3 and W4 with stb_image_write's own
 *       deflate and with zlib levels 1 to 9; prints sizes, median encode
 *       times and whether the decoded pixels are identical
 *
 * Workloads:
 *   W1 fit a 4000x3000 RGB JPEG into 800x800 as JPEG (quality 85)
 *   W2 the same into PNG
 *   W3 thumbnail 128 of a 2000x2000 RGBA PNG
 *   W4 exact 640x480 RGB PNG to 2560x1920 PNG
 *   W5 batch of 20 JPEGs 1600x1200 into 400x400
 *   W6 imgresize_info on 200 files
 */
#include "bench_stb.h"
#include "imgresize.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

#ifdef BENCH_PNG_ZLIB
#  define direct_write_png zlib_write_png
#  define direct_write_jpg zlib_write_jpg
#else
#  define direct_write_png own_write_png
#  define direct_write_jpg own_write_jpg
#endif

static double now_seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/* ---- Input generator ------------------------------------------------------ */

/* Photograph-like content: smooth lighting gradients, fractal value noise at
 * several scales (texture), hard-edged shapes with their own shading (edges),
 * slow colour drift and per-pixel grain (sensor noise). Flat or purely
 * synthetic images decode and compress unrealistically fast. */

static uint32_t hash2(int x, int y, uint32_t seed)
{
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

static float value_noise(float x, float y, uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = (int)fx, iy = (int)fy;
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const float k = 1.0f / 4294967295.0f;
    const float a = (float)hash2(ix, iy, seed) * k, b = (float)hash2(ix + 1, iy, seed) * k;
    const float c = (float)hash2(ix, iy + 1, seed) * k, d = (float)hash2(ix + 1, iy + 1, seed) * k;
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

static float fbm(float x, float y, uint32_t seed, int octaves)
{
    float sum = 0.0f, amplitude = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * value_noise(x, y, seed + (uint32_t)i * 101u);
        norm += amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.55f;
    }
    return sum / norm;
}

struct rng {
    uint64_t state;
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return (uint32_t)(state >> 11);
    }
    float uniform() { return (float)(next() & 0xFFFFFF) / 16777216.0f; }
};

struct shape {
    int kind; /* 0 disc, 1 rectangle, 2 half-plane */
    float cx, cy, r, w, h, nx, ny;
    float colour[3];
    float alpha;
};

static std::vector<unsigned char> make_photo(int width, int height, int channels, uint32_t seed)
{
    rng random{0x9E3779B97F4A7C15ull ^ ((uint64_t)seed * 0x100000001B3ull) ^ 0x5bd1e995u};
    for (int i = 0; i < 8; ++i)
        random.next();
    const float top[3] = {60 + 150 * random.uniform(), 60 + 150 * random.uniform(),
                          90 + 150 * random.uniform()};
    const float bottom[3] = {20 + 120 * random.uniform(), 20 + 120 * random.uniform(),
                             10 + 100 * random.uniform()};
    const float scale = (float)std::max(width, height);

    std::vector<shape> shapes(24);
    for (shape &s : shapes) {
        s.kind = (int)(random.next() % 3);
        s.cx = random.uniform() * (float)width;
        s.cy = random.uniform() * (float)height;
        s.r = (0.03f + 0.2f * random.uniform()) * scale;
        s.w = (0.05f + 0.3f * random.uniform()) * scale;
        s.h = (0.05f + 0.3f * random.uniform()) * scale;
        const float angle = 6.2831853f * random.uniform();
        s.nx = std::cos(angle);
        s.ny = std::sin(angle);
        for (float &c : s.colour)
            c = 255.0f * random.uniform();
        s.alpha = 0.6f + 0.4f * random.uniform();
    }

    std::vector<unsigned char> pixels((size_t)width * height * channels);
    for (int y = 0; y < height; ++y) {
        const float v = (float)y / (float)height;
        for (int x = 0; x < width; ++x) {
            const float u = (float)x / (float)width;
            const float px = (float)x / scale * 6.0f, py = (float)y / scale * 6.0f;
            /* Texture at many scales, and a slow drift of hue. */
            const float texture = fbm(px * 4.0f, py * 4.0f, seed, 7) - 0.5f;
            const float drift = fbm(px * 0.7f, py * 0.7f, seed + 7u, 2) - 0.5f;
            float c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = top[k] + (bottom[k] - top[k]) * v + 30.0f * (u - 0.5f);
            float coverage = 0.25f + 0.5f * u; /* alpha ramp for RGBA */
            for (const shape &s : shapes) {
                const float dx = (float)x - s.cx, dy = (float)y - s.cy;
                bool inside;
                if (s.kind == 0)
                    inside = dx * dx + dy * dy < s.r * s.r;
                else if (s.kind == 1)
                    inside = std::fabs(dx * s.nx + dy * s.ny) < s.w * 0.5f &&
                             std::fabs(-dx * s.ny + dy * s.nx) < s.h * 0.5f;
                else
                    inside = dx * s.nx + dy * s.ny > s.r * 2.0f;
                if (inside) {
                    const float shade = 0.75f + 0.5f * (dx * s.nx - dy * s.ny) / (4.0f * s.r);
                    for (int k = 0; k < 3; ++k)
                        c[k] = c[k] * 0.2f + s.colour[k] * std::min(std::max(shade, 0.4f), 1.3f) * 0.8f;
                    coverage = s.alpha;
                }
            }
            const float grain = (random.uniform() + random.uniform() - 1.0f) * 10.0f;
            unsigned char *out = &pixels[((size_t)y * width + x) * channels];
            for (int k = 0; k < 3 && k < channels; ++k) {
                const float tint = k == 0 ? 1.0f + drift : (k == 2 ? 1.0f - drift : 1.0f);
                const float value = c[k] * tint + texture * 110.0f + grain;
                out[k] = (unsigned char)std::min(std::max(value, 0.0f), 255.0f);
            }
            if (channels == 4) {
                float alpha = coverage * 255.0f + texture * 60.0f;
                if (u < 0.12f) /* a fully transparent margin, as cut-outs have */
                    alpha = 0.0f;
                out[3] = (unsigned char)std::min(std::max(alpha, 0.0f), 255.0f);
            }
        }
    }
    return pixels;
}

static bool write_jpeg_input(const fs::path &path, int width, int height, uint32_t seed)
{
    std::vector<unsigned char> pixels = make_photo(width, height, 3, seed);
    /* Quality 90: the 4:2:0 chroma subsampling of camera JPEGs. */
    return own_write_jpg(path.string().c_str(), width, height, 3, pixels.data(), 90) != 0;
}

static bool write_png_input(const fs::path &path, int width, int height, int channels,
                            uint32_t seed)
{
    std::vector<unsigned char> pixels = make_photo(width, height, channels, seed);
    zlib_png_set_level(6);
    return zlib_write_png(path.string().c_str(), width, height, channels, pixels.data()) != 0;
}

static int generate(const fs::path &data)
{
    fs::create_directories(data / "w5");
    fs::create_directories(data / "w6");
    bool ok = write_jpeg_input(data / "w1.jpg", 4000, 3000, 1);
    ok = ok && write_png_input(data / "w3.png", 2000, 2000, 4, 3);
    ok = ok && write_png_input(data / "w4.png", 640, 480, 3, 4);
    for (int i = 0; ok && i < 20; ++i) {
        char name[32];
        snprintf(name, sizeof name, "img%02d.jpg", i);
        ok = write_jpeg_input(data / "w5" / name, 1600, 1200, 100u + (uint32_t)i);
    }
    /* W6: 200 files of mixed formats and sizes, as hard links (or copies)
     * of the generated inputs; only headers and file sizes are read. */
    for (int i = 0; ok && i < 200; ++i) {
        char name[32];
        fs::path source;
        if (i % 4 == 3) {
            source = data / (i % 8 == 3 ? "w3.png" : "w4.png");
            snprintf(name, sizeof name, "f%03d.png", i);
        } else {
            char w5name[32];
            snprintf(w5name, sizeof w5name, "img%02d.jpg", i % 20);
            source = data / "w5" / w5name;
            snprintf(name, sizeof name, "f%03d.jpg", i);
        }
        const fs::path target = data / "w6" / name;
        std::error_code error;
        fs::remove(target, error);
        fs::create_hard_link(source, target, error);
        if (error)
            ok = fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
    }
    if (!ok) {
        fprintf(stderr, "imgresize_bench: could not write the inputs into %s\n",
                data.string().c_str());
        return 1;
    }
    return 0;
}

/* ---- The direct stb pipeline ---------------------------------------------- */

static bool has_extension(const char *path, const char *extension)
{
    const char *dot = strrchr(path, '.');
    return dot != NULL && strcasecmp(dot, extension) == 0;
}

static int direct_exact(const char *input, const char *output, int width, int height)
{
    int source_width = 0, source_height = 0, channels = 0;
    unsigned char *source = direct_load(input, &source_width, &source_height, &channels);
    if (source == NULL)
        return 0;
    unsigned char *destination = (unsigned char *)malloc((size_t)width * height * channels);
    if (destination == NULL || !direct_resize(source, source_width, source_height, destination,
                                              width, height, channels)) {
        direct_free(source);
        free(destination);
        return 0;
    }
    direct_free(source);
    int ok;
    if (has_extension(output, ".jpg"))
        ok = direct_write_jpg(output, width, height, channels, destination, 85);
    else
        ok = direct_write_png(output, width, height, channels, destination);
    free(destination);
    return ok != 0;
}

static int fit_side(double size)
{
    const int pixels = (int)std::round(size);
    return pixels < 1 ? 1 : pixels;
}

static int direct_fit(const char *input, const char *output, int max_width, int max_height)
{
    int width = 0, height = 0, channels = 0;
    if (!direct_info(input, &width, &height, &channels))
        return 0;
    const double scale = std::min((double)max_width / width, (double)max_height / height);
    return direct_exact(input, output, fit_side(width * scale), fit_side(height * scale));
}

static int direct_batch(const std::string &input_dir, const std::string &output_dir,
                        int max_width, int max_height)
{
    mkdir(output_dir.c_str(), 0777);
    DIR *directory = opendir(input_dir.c_str());
    if (directory == NULL)
        return -1;
    int written = 0;
    while (const struct dirent *entry = readdir(directory)) {
        if (entry->d_type == DT_DIR || !has_extension(entry->d_name, ".jpg"))
            continue;
        const std::string input = input_dir + "/" + entry->d_name;
        const std::string output = output_dir + "/" + entry->d_name;
        written += direct_fit(input.c_str(), output.c_str(), max_width, max_height);
    }
    closedir(directory);
    return written;
}

/* What imgresize_info does, with nothing around it. */
static int direct_info_record(const char *path, char *record, size_t capacity)
{
    struct stat status;
    if (stat(path, &status) != 0)
        return 0;
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return 0;
    unsigned char header[32] = {0};
    const size_t count = fread(header, 1, sizeof header, file);
    fclose(file);
    int width = 0, height = 0, channels = 0;
    if (!direct_info(path, &width, &height, &channels))
        return 0;
    const char *format = count >= 8 && header[0] == 0x89 ? "png" : "jpeg";
    snprintf(record, capacity, "{\"width\":%d,\"height\":%d,\"format\":\"%s\",\"file_size\":%lld}",
             width, height, format, (long long)status.st_size);
    return 1;
}

/* ---- One workload, once --------------------------------------------------- */

static std::vector<std::string> sorted_files(const fs::path &directory)
{
    std::vector<std::string> files;
    for (const fs::directory_entry &entry : fs::directory_iterator(directory))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

static int run_workload(const std::string &tool, const std::string &workload, const fs::path &data,
                        const fs::path &out)
{
    const bool lib = tool == "lib";
    if (!lib && tool != "stb") {
        fprintf(stderr, "imgresize_bench: unknown tool '%s'\n", tool.c_str());
        return 2;
    }
#ifdef BENCH_PNG_ZLIB
    zlib_png_set_level(BENCH_PNG_ZLIB_LEVEL);
#endif
    fs::create_directories(out);
    const std::string w1 = (data / "w1.jpg").string(), w3 = (data / "w3.png").string(),
                      w4 = (data / "w4.png").string(), w5 = (data / "w5").string();
    const std::string o1 = (out / "w1.jpg").string(), o2 = (out / "w2.png").string(),
                      o3 = (out / "w3.png").string(), o4 = (out / "w4.png").string(),
                      o5 = (out / "w5").string();
    std::vector<std::string> w6;
    if (workload == "W6")
        w6 = sorted_files(data / "w6");

    int ok = 0;
    const double start = now_seconds();
    if (workload == "W1") {
        ok = lib ? imgresize_fit(w1.c_str(), o1.c_str(), 800, 800)
                 : direct_fit(w1.c_str(), o1.c_str(), 800, 800);
    } else if (workload == "W2") {
        ok = lib ? imgresize_fit(w1.c_str(), o2.c_str(), 800, 800)
                 : direct_fit(w1.c_str(), o2.c_str(), 800, 800);
    } else if (workload == "W3") {
        ok = lib ? imgresize_thumbnail(w3.c_str(), o3.c_str(), 128)
                 : direct_fit(w3.c_str(), o3.c_str(), 128, 128);
    } else if (workload == "W4") {
        ok = lib ? imgresize_exact(w4.c_str(), o4.c_str(), 2560, 1920)
                 : direct_exact(w4.c_str(), o4.c_str(), 2560, 1920);
    } else if (workload == "W5") {
        const int written = lib ? imgresize_batch(w5.c_str(), o5.c_str(), 400, 400)
                                : direct_batch(w5, o5, 400, 400);
        ok = written == 20;
    } else if (workload == "W6") {
        char record[512];
        ok = 1;
        for (const std::string &path : w6) {
            if (lib)
                ok &= imgresize_info(path.c_str())[0] == '{';
            else
                ok &= direct_info_record(path.c_str(), record, sizeof record);
        }
    } else {
        fprintf(stderr, "imgresize_bench: unknown workload '%s'\n", workload.c_str());
        return 2;
    }
    const double elapsed = now_seconds() - start;
    if (!ok) {
        fprintf(stderr, "imgresize_bench: %s %s failed%s%s\n", tool.c_str(), workload.c_str(),
                lib ? ": " : "", lib ? imgresize_last_error() : "");
        return 1;
    }
    printf("%.6f\n", elapsed);
    return 0;
}

/* ---- PNG deflate comparison ----------------------------------------------- */

struct png_case {
    const char *name;
    std::vector<unsigned char> pixels;
    int width, height, channels;
};

static bool resized(const std::string &input, int width, int height, png_case &result)
{
    int source_width = 0, source_height = 0, channels = 0;
    unsigned char *source = direct_load(input.c_str(), &source_width, &source_height, &channels);
    if (source == NULL)
        return false;
    result.pixels.resize((size_t)width * height * channels);
    const bool ok = direct_resize(source, source_width, source_height, result.pixels.data(), width,
                                  height, channels) != 0;
    direct_free(source);
    result.width = width;
    result.height = height;
    result.channels = channels;
    return ok;
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

static int png_sweep(const fs::path &data, int rounds)
{
    png_case cases[3];
    cases[0].name = "W2 800x600 RGB";
    cases[1].name = "W3 128x128 RGBA";
    cases[2].name = "W4 2560x1920 RGB";
    if (!resized((data / "w1.jpg").string(), 800, 600, cases[0]) ||
        !resized((data / "w3.png").string(), 128, 128, cases[1]) ||
        !resized((data / "w4.png").string(), 2560, 1920, cases[2])) {
        fprintf(stderr, "imgresize_bench: inputs missing; run 'gen' first\n");
        return 1;
    }

    /* Encoder 0 is stb's own deflate, encoder L (1..9) zlib at level L. The
     * encoders take turns within each round, so a busy moment of the machine
     * touches all of them alike. */
    printf("| output | deflate | bytes | size vs stb | encode ms (median) | speed-up vs stb | pixels |\n");
    printf("|---|---|---:|---:|---:|---:|---|\n");
    for (png_case &c : cases) {
        const int repeats = c.width * c.height < 100000 ? 25 : 1;
        std::vector<double> times[10];
        int sizes[10] = {0};
        bool identical[10];
        bool dropped[10] = {false};
        for (int r = 0; r < rounds; ++r) {
            /* After three rounds, an encoder at more than twice stb's time
             * has lost on time; it is not timed further (levels 8 and 9
             * take many seconds on the large image). */
            if (r == 3)
                for (int k = 1; k < 10; ++k)
                    dropped[k] = median(times[k]) > 2.0 * median(times[0]);
            for (int k = 0; k < 10; ++k) {
                const int encoder = (k + r) % 10;
                if (dropped[encoder])
                    continue;
                if (encoder > 0)
                    zlib_png_set_level(encoder);
                double start = now_seconds();
                unsigned char *png = NULL;
                int length = 0;
                for (int i = 0; i < repeats; ++i) {
                    free(png);
                    png = encoder == 0
                              ? own_png_to_mem(c.pixels.data(), c.width, c.height, c.channels, &length)
                              : zlib_png_to_mem(c.pixels.data(), c.width, c.height, c.channels, &length);
                }
                times[encoder].push_back((now_seconds() - start) / repeats);
                if (r == 0) {
                    sizes[encoder] = length;
                    int w = 0, h = 0, n = 0;
                    unsigned char *decoded = direct_load_from_memory(png, length, &w, &h, &n);
                    identical[encoder] = decoded != NULL && w == c.width && h == c.height &&
                                         n == c.channels &&
                                         memcmp(decoded, c.pixels.data(), c.pixels.size()) == 0;
                    direct_free(decoded);
                }
                free(png);
            }
        }
        const double stb_time = median(times[0]);
        for (int encoder = 0; encoder < 10; ++encoder) {
            char label[32];
            snprintf(label, sizeof label, encoder == 0 ? "stb own" : "zlib %d", encoder);
            const double t = median(times[encoder]);
            printf("| %s | %s | %d | %+.1f%% | %.2f | %.2fx | %s |\n", c.name, label,
                   sizes[encoder], 100.0 * (sizes[encoder] - sizes[0]) / sizes[0], t * 1000.0,
                   stb_time / t, identical[encoder] ? "identical" : "DIFFERENT");
        }
        fflush(stdout);
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "gen") == 0)
        return generate(argv[2]);
    if (argc >= 6 && strcmp(argv[1], "run") == 0)
        return run_workload(argv[2], argv[3], argv[4], argv[5]);
    if (argc >= 3 && strcmp(argv[1], "png-sweep") == 0)
        return png_sweep(argv[2], argc >= 4 ? atoi(argv[3]) : 15);
    fprintf(stderr,
            "usage: imgresize_bench gen DATA_DIR\n"
            "       imgresize_bench run lib|stb W1|W2|W3|W4|W5|W6 DATA_DIR OUT_DIR\n"
            "       imgresize_bench png-sweep DATA_DIR [ROUNDS]\n");
    return 2;
}
