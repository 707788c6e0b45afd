// Helpers whose results cannot be seen through the exported functions,
// checked on the library's own source compiled into this program.
#include "imgresize.cpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

namespace {

// sinc(t) * sinc(t / 3) in double precision, written from its definition.
double lanczos3(double x)
{
    const double pi = 3.14159265358979323846;
    const double t = std::fabs(x);
    if (t == 0.0)
        return 1.0;
    if (t >= 3.0)
        return 0.0;
    return std::sin(pi * t) / (pi * t) * std::sin(pi * t / 3.0) / (pi * t / 3.0);
}

TEST(Lanczos3Kernel, HasItsDocumentedValues)
{
    const struct {
        float x;
        float expected;
        float tolerance;
    } cases[] = {
        {0.0f, 1.0f, 0.0f},         {5e-8f, 1.0f, 0.0f},      {-5e-8f, 1.0f, 0.0f},
        {3.0f, 0.0f, 0.0f},         {-3.0f, 0.0f, 0.0f},      {3.5f, 0.0f, 0.0f},
        {100.0f, 0.0f, 0.0f},       {0.5f, 0.607927f, 1e-6f}, {-0.5f, 0.607927f, 1e-6f},
        {1.5f, -0.135095f, 1e-6f},  {1.0f, 0.0f, 1e-7f},      {2.0f, 0.0f, 1e-7f},
        {-1.0f, 0.0f, 1e-7f},       {-2.0f, 0.0f, 1e-7f},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x);
        if (c.tolerance == 0.0f)
            EXPECT_EQ(c.expected, lanczos3_kernel(c.x, 1.0f, nullptr));
        else
            EXPECT_NEAR(c.expected, lanczos3_kernel(c.x, 1.0f, nullptr), c.tolerance);
    }
}

TEST(Lanczos3Kernel, FollowsSincTimesSincThirdAndIgnoresScaleAndUserData)
{
    int user_data = 0;
    for (double x = -3.2; x <= 3.2; x += 0.05) {
        SCOPED_TRACE(x);
        const float value = lanczos3_kernel(static_cast<float>(x), 1.0f, nullptr);
        EXPECT_NEAR(lanczos3(static_cast<float>(x)), value, 2e-6);
        EXPECT_EQ(value, lanczos3_kernel(static_cast<float>(x), 0.25f, &user_data));
        EXPECT_EQ(value, lanczos3_kernel(static_cast<float>(-x), 4.0f, nullptr));
    }
}

TEST(Lanczos3Support, IsThreeForEveryScale)
{
    for (float scale : {0.25f, 1.0f, 4.0f, 0.001f, 1000.0f}) {
        SCOPED_TRACE(scale);
        EXPECT_EQ(3.0f, lanczos3_support(scale, nullptr));
    }
}

TEST(Iequals, ComparesWholeTextsIgnoringAsciiCase)
{
    const struct {
        const char *a;
        const char *b;
        int expected;
    } cases[] = {
        {".PNG", ".png", 1},  {".png", ".png", 1},   {".JpEg", ".jpeg", 1}, {"", "", 1},
        {".png", ".pn", 0},   {".pn", ".png", 0},    {"", ".png", 0},       {".png", "", 0},
        {".png", ".png ", 0}, {".png", ".pmg", 0},   {".tga", ".TGB", 0},
        // Only ASCII letters fold in the default locale.
        {"\xC9", "\xE9", 0},  {"\xE9", "\xE9", 1},   {"[", "{", 0},
    };
    ASSERT_STREQ("C", setlocale(LC_CTYPE, nullptr));
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " | " + c.b);
        EXPECT_EQ(c.expected, iequals(c.a, c.b));
    }
}

std::vector<unsigned char> bytes(std::initializer_list<int> values)
{
    std::vector<unsigned char> header(32, 0);
    size_t i = 0;
    for (int value : values)
        header[i++] = static_cast<unsigned char>(value);
    return header;
}

TEST(DetectFormat, SignaturesNeedTheirByteCountsAndOtherwiseTheExtensionDecides)
{
    const auto png = bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    const auto png_first_four = bytes({0x89, 'P', 'N', 'G', 0, 0, 0, 0});
    const auto jpeg = bytes({0xFF, 0xD8, 0xFF, 0xE0});
    const auto bmp = bytes({'B', 'M'});
    const auto gif87 = bytes({'G', 'I', 'F', '8', '7', 'a'});
    const auto gif89 = bytes({'G', 'I', 'F', '8', '9', 'a'});
    const auto gif88 = bytes({'G', 'I', 'F', '8', '8', 'a'});
    const auto webp = bytes({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'E', 'B', 'P'});
    const auto wave = bytes({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E'});
    const auto zeros = bytes({});
    const struct {
        const std::vector<unsigned char> &header;
        size_t count;
        const char *path;
        const char *expected;
    } cases[] = {
        {png, 8, "x.jpg", "png"},
        {png, 32, "x", "png"},
        {png_first_four, 8, "x", "png"}, // only the first four bytes are tested
        {png, 7, "x.bmp", "bmp"},        // too few bytes for the PNG row
        {png, 7, "x", "unknown"},
        {jpeg, 3, "x.png", "jpeg"},
        {jpeg, 2, "x.png", "png"},
        {bmp, 2, "x.gif", "bmp"},
        {bmp, 1, "x.gif", "gif"},
        {gif87, 6, "x", "gif"},
        {gif89, 6, "x", "gif"},
        {gif89, 5, "x", "unknown"},
        {gif88, 6, "x", "unknown"},
        {webp, 12, "x", "webp"},
        {webp, 11, "x", "unknown"},
        {wave, 12, "x", "unknown"},
        {zeros, 0, "x.png", "png"},
        {zeros, 32, "x.PNG", "png"},
        {zeros, 32, "x.jpg", "jpeg"},
        {zeros, 32, "x.JPEG", "jpeg"},
        {zeros, 32, "x.bmp", "bmp"},
        {zeros, 32, "x.Tga", "tga"},
        {zeros, 32, "x.gif", "gif"},
        {zeros, 32, "x.webp", "webp"},
        {zeros, 32, "x.jpe", "unknown"},
        {zeros, 32, "x.tiff", "unknown"},
        {zeros, 32, "x.", "unknown"},
        {zeros, 32, "noextension", "unknown"},
        {zeros, 32, "a.b/file", "unknown"},
        {zeros, 32, "dir.png/file", "unknown"},
        {zeros, 32, ".png", "png"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + ", " + std::to_string(c.count) + " bytes");
        EXPECT_STREQ(c.expected, detect_format(c.header.data(), c.count, c.path));
    }
}

TEST(StbAllocator, BlocksAreZeroedWhenTakenAndWhenGrown)
{
    // Dirty blocks of the sizes used below are freed first, so the heap is
    // likely to hand their memory out again.
    const size_t sizes[] = {24, 4096, 300000};
    for (size_t size : sizes) {
        void *dirty = malloc(size);
        ASSERT_NE(nullptr, dirty);
        memset(dirty, 0xCD, size);
        free(dirty);
    }

    unsigned char *block = static_cast<unsigned char *>(STBI_MALLOC(sizes[0]));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(std::vector<unsigned char>(sizes[0], 0),
              std::vector<unsigned char>(block, block + sizes[0]));
    memset(block, 0xAB, sizes[0]);
    for (size_t i = 1; i < 3; ++i) {
        SCOPED_TRACE(sizes[i]);
        block = static_cast<unsigned char *>(STBI_REALLOC_SIZED(block, sizes[i - 1], sizes[i]));
        ASSERT_NE(nullptr, block);
        // The old contents stay; the new tail is zero.
        EXPECT_EQ(std::vector<unsigned char>(sizes[i - 1], 0xAB),
                  std::vector<unsigned char>(block, block + sizes[i - 1]));
        EXPECT_EQ(std::vector<unsigned char>(sizes[i] - sizes[i - 1], 0),
                  std::vector<unsigned char>(block + sizes[i - 1], block + sizes[i]));
        memset(block, 0xAB, sizes[i]);
    }
    // Shrinking keeps what remains.
    block = static_cast<unsigned char *>(STBI_REALLOC_SIZED(block, sizes[2], 10));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(std::vector<unsigned char>(10, 0xAB), std::vector<unsigned char>(block, block + 10));
    STBI_FREE(block);
}

class ResizePixels : public ::testing::Test {
protected:
    void SetUp() override { imgresize_init(); }
    void TearDown() override { imgresize_init(); }
};

TEST_F(ResizePixels, RefusesAnEmptySourceOrABadChannelCountWithoutResampling)
{
    const std::vector<unsigned char> source(5 * 4 * 4, 200);
    const struct {
        int width, height, channels;
        const char *message;
    } cases[] = {
        {0, 5, 3, "Invalid dimensions for pixel resizing (0x5 -> 2x3)"},
        {5, -1, 3, "Invalid dimensions for pixel resizing (5x-1 -> 2x3)"},
        {0, 0, 0, "Invalid dimensions for pixel resizing (0x0 -> 2x3)"}, // size is checked first
        {5, 4, 0, "Unsupported channel count: 0"},
        {5, 4, 5, "Unsupported channel count: 5"},
        {5, 4, -1, "Unsupported channel count: -1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<unsigned char> destination(2 * 3 * 5, 7);
        clear_error();
        EXPECT_EQ(0, resize_pixels(source.data(), c.width, c.height, destination.data(), 2, 3,
                                   c.channels));
        EXPECT_STREQ(c.message, imgresize_last_error());
        EXPECT_EQ(std::vector<unsigned char>(2 * 3 * 5, 7), destination);
    }
}

TEST_F(ResizePixels, AcceptsOneToFourChannelsAndTheSourceSize)
{
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        std::vector<unsigned char> source(6 * 5 * channels);
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<unsigned char>(i * 37 % 251);
        std::vector<unsigned char> destination(source.size(), 0);
        clear_error();
        EXPECT_EQ(1, resize_pixels(source.data(), 6, 5, destination.data(), 6, 5, channels));
        EXPECT_STREQ("", imgresize_last_error());
        if (channels != 4) { // straight alpha is weighted; colour may round
            EXPECT_EQ(source, destination);
        }
    }
}

TEST_F(ResizePixels, FilterThreeResamplesBothAxesWithTheLanczos3Kernel)
{
    // A single bright pixel enlarged 2x: each output sample is the kernel
    // weighted sum around its centre, normalised, on both axes.
    const int n = 12, m = 24;
    std::vector<unsigned char> source(n * n, 0);
    source[6 * n + 6] = 255;
    std::vector<unsigned char> destination(m * m, 0);
    imgresize_set_filter(3);
    ASSERT_EQ(1, resize_pixels(source.data(), n, n, destination.data(), m, m, 1));

    auto weights_at = [&](int out) {
        const double centre = (out + 0.5) / 2.0 - 0.5; // in source pixels
        std::vector<double> weights(n, 0.0);
        double total = 0.0;
        for (int i = 0; i < n; ++i) {
            weights[i] = lanczos3(i - centre);
            total += weights[i];
        }
        for (double &w : weights)
            w /= total;
        return weights;
    };
    for (int y = 6; y < 18; ++y) {
        for (int x = 6; x < 18; ++x) {
            const double expected = 255.0 * weights_at(x)[6] * weights_at(y)[6];
            const double clamped = std::min(255.0, std::max(0.0, expected));
            EXPECT_NEAR(clamped, destination[y * m + x], 1.0) << x << "," << y;
        }
    }
}

} // namespace
