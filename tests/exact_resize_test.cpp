// imgresize_exact: argument checks, decoding failures, the encoder chosen by
// the output extension, channel counts, the four filters, failed writes and
// the guards on sizes the encoders cannot represent.
#include "imgresize.h"
#include "test_support.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#  include <sys/resource.h>
#  include <unistd.h>
#endif

// AddressSanitizer reserves its shadow memory up front and cannot run under
// an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
#  define IMGRESIZE_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#  if __has_feature(address_sanitizer)
#    define IMGRESIZE_TEST_UNDER_ASAN 1
#  endif
#endif

namespace {

using namespace imgtest;

class ExactResize : public TempDirTest {
protected:
    // A noise PNG of the given shape in the test directory.
    std::string noise_png(const std::string &name, int width, int height, int channels)
    {
        const std::string file = path(name);
        write_png(file, make_noise(width, height, channels));
        return file;
    }
};

TEST_F(ExactResize, ArgumentsAreCheckedInOrderBeforeAnyFileIsTouched)
{
    const std::string missing = path("missing.png");
    const std::string out = path("out.png");
    const struct {
        const char *input;
        const char *output;
        int width, height;
        const char *message;
    } cases[] = {
        {nullptr, nullptr, 0, 0, "Input path is NULL or empty"},
        {"", out.c_str(), 5, 5, "Input path is NULL or empty"},
        {missing.c_str(), nullptr, 0, 0, "Output path is NULL or empty"},
        {missing.c_str(), "", 5, 5, "Output path is NULL or empty"},
        {missing.c_str(), out.c_str(), 0, 100, "Invalid target dimensions: 0x100 (must be > 0)"},
        {missing.c_str(), out.c_str(), 100, 0, "Invalid target dimensions: 100x0 (must be > 0)"},
        {missing.c_str(), out.c_str(), -5, -6, "Invalid target dimensions: -5x-6 (must be > 0)"},
        {missing.c_str(), out.c_str(), INT_MIN, 1,
         "Invalid target dimensions: -2147483648x1 (must be > 0)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(0, imgresize_exact(c.input, c.output, c.width, c.height));
        EXPECT_STREQ(c.message, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(ExactResize, UndecodableInputNamesPathAndDecoderReason)
{
    write_text(path("notes.png"), "plain text, not an image\n");
    write_bytes(path("empty.png"), {});
    const struct {
        std::string input;
        const char *reason;
    } cases[] = {
        {path("missing.png"), "can't fopen"},
        {path("notes.png"), "unknown image type"},
        {path("empty.png"), "unknown image type"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(0, imgresize_exact(c.input.c_str(), path("out.png").c_str(), 4, 4));
        EXPECT_EQ("Failed to load image '" + c.input + "': " + c.reason, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(path("out.png")));
}

TEST_F(ExactResize, OutputFormatFollowsTheExtension)
{
    const std::string input = noise_png("in.png", 4, 3, 3);
    fs::create_directory(dir_ / "a.b");
    const struct {
        const char *output;
        const char *format;
    } cases[] = {
        {"out.png", "png"},     {"out.PNG", "png"},     {"out", "png"},
        {"out.", "png"},        {"out.jpe", "png"},     {"out.gif", "png"},
        {"out.webp", "png"},    {"out.jpg", "jpeg"},    {"out.Jpg", "jpeg"},
        {"out.jpeg", "jpeg"},   {"OUT.JPEG", "jpeg"},   {"out.bmp", "bmp"},
        {"out.BMP", "bmp"},     {"out.tga", "tga"},     {"out.Tga", "tga"},
        {"a.b/out", "png"},     {"a.b/out.bmp", "bmp"}, {"out.png.bmp", "bmp"},
        {"out.bmp.png", "png"}, {"out.jpgx", "png"},    {"out.tg", "png"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        const std::string output = path(c.output);
        ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 7, 5));
        EXPECT_STREQ("", imgresize_last_error());
        EXPECT_EQ(c.format, format_by_magic(output));
        Image written;
        ASSERT_TRUE(load_image(output, written));
        EXPECT_EQ(7, written.width);
        EXPECT_EQ(5, written.height);
    }
}

TEST_F(ExactResize, ChannelCountsAreKeptWhereTheFormatHoldsThem)
{
    // What each format stores for a source of 1 to 4 channels: PNG and TGA
    // keep them, BMP is RGB or RGBA, JPEG is always three colour components.
    const struct {
        const char *extension;
        int stored[4];
    } cases[] = {
        {".png", {1, 2, 3, 4}},
        {".tga", {1, 2, 3, 4}},
        {".bmp", {3, 3, 3, 4}},
        {".jpg", {3, 3, 3, 3}},
    };
    for (int channels = 1; channels <= 4; ++channels) {
        const std::string input = noise_png("in" + std::to_string(channels) + ".png", 5, 4, channels);
        for (const auto &c : cases) {
            SCOPED_TRACE(std::to_string(channels) + " channels to " + c.extension);
            const std::string output = path("out" + std::to_string(channels) + c.extension);
            ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 3, 6));
            EXPECT_EQ(c.stored[channels - 1], stored_channels(output));
        }
    }
}

TEST_F(ExactResize, RgbJpegBecomesThreeChannelTga)
{
    const std::string input = path("photo.jpg");
    write_jpeg(input, make_noise(16, 12, 3));
    const std::string output = path("photo.tga");
    ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 8, 6));
    EXPECT_EQ("tga", format_by_magic(output));
    Image written;
    ASSERT_TRUE(load_image(output, written));
    EXPECT_EQ(8, written.width);
    EXPECT_EQ(6, written.height);
    EXPECT_EQ(3, written.channels);
}

TEST_F(ExactResize, LosslessOutputAtTheSourceSizeKeepsEveryPixelUnderEachFilter)
{
    for (int channels = 1; channels <= 3; ++channels) {
        const Image source = make_noise(7, 5, channels, 40u + channels);
        const std::string input = path("in" + std::to_string(channels) + ".png");
        write_png(input, source);
        for (int filter = 0; filter <= 3; ++filter) {
            SCOPED_TRACE("channels " + std::to_string(channels) + ", filter " + std::to_string(filter));
            imgresize_set_filter(filter);
            const std::string output = path("same" + std::to_string(channels) + std::to_string(filter) + ".png");
            ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 7, 5));
            Image written;
            ASSERT_TRUE(load_image(output, written));
            EXPECT_EQ(channels, written.channels);
            EXPECT_EQ(source.pixels, written.pixels);
        }
    }
}

TEST_F(ExactResize, PointSamplingOnA2xEnlargementReplicatesEachPixel)
{
    // RGBA with a fully transparent pixel that still has a colour: point
    // sampling applies no alpha weighting, so that colour survives too.
    Image source = make_noise(3, 2, 4, 7);
    source.at(1, 0, 3) = 0;
    const std::string input = path("in.png");
    write_png(input, source);
    imgresize_set_filter(0);
    const std::string output = path("out.png");
    ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 6, 4));
    Image written;
    ASSERT_TRUE(load_image(output, written));
    ASSERT_EQ(4, written.channels);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(source.at(x / 2, y / 2, c), written.at(x, y, c))
                    << "pixel " << x << "," << y << " channel " << c;
}

TEST_F(ExactResize, PointSamplingOnA2xReductionAveragesEachBlock)
{
    const Image source{4, 2, 1, {10, 30, 200, 100, 50, 70, 0, 60}};
    const std::string input = path("in.png");
    write_png(input, source);
    imgresize_set_filter(0);
    const std::string output = path("out.png");
    ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 2, 1));
    Image written;
    ASSERT_TRUE(load_image(output, written));
    ASSERT_EQ(2u, written.pixels.size());
    EXPECT_NEAR(40, written.pixels[0], 1); // (10 + 30 + 50 + 70) / 4
    EXPECT_NEAR(90, written.pixels[1], 1); // (200 + 100 + 0 + 60) / 4
}

TEST_F(ExactResize, TheFourFiltersGiveFourDifferentResults)
{
    const std::string input = noise_png("in.png", 6, 5, 3);
    std::vector<Image> results;
    for (int filter = 0; filter <= 3; ++filter) {
        imgresize_set_filter(filter);
        const std::string output = path("f" + std::to_string(filter) + ".png");
        ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 13, 11));
        results.emplace_back();
        ASSERT_TRUE(load_image(output, results.back()));
    }
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            EXPECT_NE(results[a].pixels, results[b].pixels) << "filters " << a << " and " << b;
}

TEST_F(ExactResize, SmoothingFiltersWeightColourByAlphaOnlyInFourChannelImages)
{
    // Opaque red beside a fully transparent green pixel. In RGBA the green
    // carries no weight, so every enlarged pixel stays pure red; a grey and
    // alpha image has two independent channels, so its grey is blended.
    Image rgba{2, 1, 4, {255, 0, 0, 255, 0, 255, 0, 0}};
    Image grey_alpha{2, 1, 2, {0, 255, 255, 0}};
    write_png(path("rgba.png"), rgba);
    write_png(path("ga.png"), grey_alpha);
    for (int filter = 1; filter <= 3; ++filter) {
        SCOPED_TRACE("filter " + std::to_string(filter));
        imgresize_set_filter(filter);
        ASSERT_EQ(1, imgresize_exact(path("rgba.png").c_str(), path("rgba-out.png").c_str(), 8, 1));
        ASSERT_EQ(1, imgresize_exact(path("ga.png").c_str(), path("ga-out.png").c_str(), 8, 1));
        Image out_rgba, out_ga;
        ASSERT_TRUE(load_image(path("rgba-out.png"), out_rgba));
        ASSERT_TRUE(load_image(path("ga-out.png"), out_ga));
        bool blended_alpha = false, blended_grey = false;
        for (int x = 0; x < 8; ++x) {
            if (out_rgba.at(x, 0, 3) != 0) {
                EXPECT_EQ(255, out_rgba.at(x, 0, 0)) << x;
                EXPECT_EQ(0, out_rgba.at(x, 0, 1)) << x;
            }
            blended_alpha |= out_rgba.at(x, 0, 3) > 0 && out_rgba.at(x, 0, 3) < 255;
            blended_grey |= out_ga.at(x, 0, 0) > 0 && out_ga.at(x, 0, 0) < 255;
        }
        EXPECT_TRUE(blended_alpha);
        EXPECT_TRUE(blended_grey);
    }
}

TEST_F(ExactResize, EachAxisMayGrowOrShrinkOnItsOwn)
{
    const std::string input = noise_png("in.png", 100, 100, 3);
    const std::string output = path("out.png");
    ASSERT_EQ(1, imgresize_exact(input.c_str(), output.c_str(), 300, 20));
    Image written;
    ASSERT_TRUE(load_image(output, written));
    EXPECT_EQ(300, written.width);
    EXPECT_EQ(20, written.height);
}

TEST_F(ExactResize, InputAndOutputMayBeTheSameFile)
{
    for (const char *name : {"same.png", "same.jpg", "same.bmp", "same.tga"}) {
        SCOPED_TRACE(name);
        const std::string file = path(name);
        write_png(path("source.png"), make_noise(9, 8, 3));
        ASSERT_EQ(1, imgresize_exact(path("source.png").c_str(), file.c_str(), 9, 8));
        ASSERT_EQ(1, imgresize_exact(file.c_str(), file.c_str(), 4, 3));
        EXPECT_STREQ("", imgresize_last_error());
        Image written;
        ASSERT_TRUE(load_image(file, written));
        EXPECT_EQ(4, written.width);
        EXPECT_EQ(3, written.height);
    }
}

TEST_F(ExactResize, AWriteIntoAMissingDirectoryFailsWithTheFormatsMessage)
{
    const std::string input = noise_png("in.png", 4, 4, 3);
    imgresize_set_quality(10);
    const struct {
        const char *name;
        const char *before_path;
        const char *after_path;
    } cases[] = {
        {"out.png", "Failed to write PNG output: ", ""},
        {"out", "Failed to write PNG output: ", ""},
        {"out.JPG", "Failed to write JPEG output (quality 10): ", ""},
        {"out.jpeg", "Failed to write JPEG output (quality 10): ", ""},
        {"out.bmp", "Failed to write BMP output: ", ""},
        {"out.tga", "Failed to write TGA output: ", ""},
        {"out.gif", "Failed to write output image '", "' with format fallback"},
        {"out.", "Failed to write output image '", "' with format fallback"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = narrow(dir_ / "missing" / c.name);
        EXPECT_EQ(0, imgresize_exact(input.c_str(), output.c_str(), 2, 2));
        EXPECT_EQ(c.before_path + output + c.after_path, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(ExactResize, AFullDiskIsReportedAsAFailedWrite)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs Linux's /dev/full";
#else
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    // /dev/full opens, and every write to it fails with ENOSPC. Links give
    // it the extensions that choose each encoder. A tiny image still sits in
    // the stdio buffer when the encoder returns, so only the close reports
    // the failure; a larger one fails in the writes themselves.
    const struct {
        const char *link;
        const char *before_path;
        const char *after_path;
    } cases[] = {
        {"full.png", "Failed to write PNG output: ", ""},
        {"full.jpg", "Failed to write JPEG output (quality 85): ", ""},
        {"full.bmp", "Failed to write BMP output: ", ""},
        {"full.tga", "Failed to write TGA output: ", ""},
        {"full.webp", "Failed to write output image '", "' with format fallback"},
        {"full", "Failed to write PNG output: ", ""},
    };
    for (const int side : {2, 300}) {
        const std::string input = noise_png("in" + std::to_string(side) + ".png", side, side, 3);
        const auto input_bytes = read_bytes(input);
        {
            SCOPED_TRACE("/dev/full itself, side " + std::to_string(side));
            EXPECT_EQ(0, imgresize_exact(input.c_str(), "/dev/full", side, side));
            EXPECT_STREQ("Failed to write PNG output: /dev/full", imgresize_last_error());
        }
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.link) + ", side " + std::to_string(side));
            const std::string link = path(c.link);
            if (!fs::exists(fs::symlink_status(link)))
                fs::create_symlink("/dev/full", link);
            EXPECT_EQ(0, imgresize_exact(input.c_str(), link.c_str(), side, side));
            EXPECT_EQ(c.before_path + link + c.after_path, imgresize_last_error());
        }
        EXPECT_EQ(input_bytes, read_bytes(input));
    }
#endif
}

TEST_F(ExactResize, TargetsWhoseRowsExceedTheIntRangeAreRefused)
{
    const std::string rgb = noise_png("rgb.png", 2, 2, 3);
    const std::string rgba = noise_png("rgba.png", 2, 2, 4);
    const std::string out = path("out.png");
    const struct {
        const std::string &input;
        int width, height;
        const char *message;
    } cases[] = {
        {rgb, 2147483647, 1, "Target dimensions too large: 2147483647x1"},
        {rgb, 715827883, 1, "Target dimensions too large: 715827883x1"}, // 3 bytes over
        {rgb, 2147483647, 2147483647, "Target dimensions too large: 2147483647x2147483647"},
        {rgba, 536870912, 3, "Target dimensions too large: 536870912x3"}, // 2^31 bytes a row
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(0, imgresize_exact(c.input.c_str(), out.c_str(), c.width, c.height));
        EXPECT_STREQ(c.message, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(out));

    // The size is judged once the source's channels are known, after decoding.
    const std::string missing = path("missing.png");
    EXPECT_EQ(0, imgresize_exact(missing.c_str(), out.c_str(), 2147483647, 1));
    EXPECT_EQ("Failed to load image '" + missing + "': can't fopen", imgresize_last_error());
}

#if !defined(_WIN32) && !defined(IMGRESIZE_TEST_UNDER_ASAN)
// Limits the process's address space to 256 MiB above what it maps now,
// resizes, prints "result: message" to stderr and exits 0; exits 2 when the
// limit cannot be set. Meant for a death test's child process.
[[noreturn]] void resize_in_256_mib_more(const std::string &input, const std::string &output,
                                         int width, int height)
{
    long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr || fscanf(statm, "%ld", &pages) != 1)
        _exit(2);
    fclose(statm);
    struct rlimit limit;
    limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                     (static_cast<rlim_t>(256) << 20);
    limit.rlim_max = limit.rlim_cur;
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        _exit(2);
    const int result = imgresize_exact(input.c_str(), output.c_str(), width, height);
    fprintf(stderr, "%d: %s", result, imgresize_last_error());
    _exit(0);
}
#endif

TEST_F(ExactResize, AnUnallocatableDestinationNamesItsByteCount)
{
#if defined(_WIN32) || defined(IMGRESIZE_TEST_UNDER_ASAN)
    GTEST_SKIP() << "needs an address-space limit (setrlimit), which AddressSanitizer cannot run under";
#else
    // 40000 x 25000 grey passes the size guard. A child process limits its
    // address space to 256 MiB above what it already maps, so the
    // 1000000000-byte destination cannot be allocated there.
    const std::string grey = noise_png("grey.png", 1, 1, 1);
    const std::string out = path("out.tga");
    EXPECT_EXIT(resize_in_256_mib_more(grey, out, 40000, 25000), ::testing::ExitedWithCode(0),
                "0: Out of memory allocating 40000x25000 \\(1000000000 bytes\\) destination buffer");
    EXPECT_FALSE(fs::exists(out));
#endif
}

TEST_F(ExactResize, ASourceWithoutPixelsStopsAtTheResamplersSizeCheck)
{
    // stb_image decodes a GIF whose logical screen is 0 x 0 into an empty
    // image, so the resampler's own check on the source size is what refuses it.
    const std::string input = path("empty-screen.gif");
    write_bytes(input, make_gif(0, 0));
    const std::string out = path("out.png");
    EXPECT_EQ(0, imgresize_exact(input.c_str(), out.c_str(), 4, 3));
    EXPECT_STREQ("Invalid dimensions for pixel resizing (0x0 -> 4x3)", imgresize_last_error());
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(ExactResize, GifInputArrivesAsItsFirstFrameWithFourChannels)
{
    const std::string input = path("in.gif");
    write_bytes(input, make_gif(5, 3));
    const std::string out = path("out.png");
    ASSERT_EQ(1, imgresize_exact(input.c_str(), out.c_str(), 10, 6));
    Image written;
    ASSERT_TRUE(load_image(out, written));
    EXPECT_EQ(4, written.channels);
    EXPECT_EQ(10, written.width);
    EXPECT_EQ(6, written.height);
    for (size_t i = 0; i < written.pixels.size(); i += 4) {
        EXPECT_EQ(0, written.pixels[i]); // palette colour 0 is black
        EXPECT_EQ(255, written.pixels[i + 3]);
    }
}

} // namespace
