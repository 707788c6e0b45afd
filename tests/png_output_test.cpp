// PNG output: the deflate step may change (zlib or stb_image_write's own),
// nothing else may. A file written by the library must hold the same PNG
// header, the same row filters and the same filtered bytes as stb_image_write
// produces on its own for the same pixels, and a failed PNG write must keep
// its message.
#include "imgresize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir()
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("imgresize_png_") + info->test_suite_name() + "_" + info->name();
        for (char &c : name)
            if (c == '/')
                c = '_';
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const char *name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// Textured content with edges and noise, so that all five row filters get
// chosen somewhere and the deflate has real work.
std::vector<unsigned char> textured(int width, int height, int channels)
{
    std::vector<unsigned char> pixels((size_t)width * height * channels);
    uint32_t state = 12345u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                state = state * 1664525u + 1013904223u;
                int value = (x * 5 + y * 3 + c * 40) % 256;
                if ((x / 16 + y / 11) % 3 == 0)
                    value = 255 - value;
                if (y % 7 == 0)
                    value = (int)(state >> 24);
                value += (int)((state >> 28) & 7u) - 3;
                pixels[((size_t)y * width + x) * channels + c] =
                    (unsigned char)(value < 0 ? 0 : value > 255 ? 255 : value);
            }
    return pixels;
}

std::vector<unsigned char> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

uint32_t be32(const unsigned char *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

struct png_parts {
    std::vector<unsigned char> ihdr;     // the 13 header bytes
    std::vector<unsigned char> filtered; // inflated IDAT: filter byte + row, per row
};

// Splits a PNG file into its header and its inflated image data.
bool parse_png(const std::vector<unsigned char> &file, png_parts &parts)
{
    static const unsigned char signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (file.size() < 8 || memcmp(file.data(), signature, 8) != 0)
        return false;
    std::vector<unsigned char> idat;
    size_t at = 8;
    while (at + 12 <= file.size()) {
        const uint32_t length = be32(&file[at]);
        if (at + 12 + length > file.size())
            return false;
        const std::string type(file.begin() + (long)at + 4, file.begin() + (long)at + 8);
        const unsigned char *body = &file[at + 8];
        if (type == "IHDR")
            parts.ihdr.assign(body, body + length);
        else if (type == "IDAT")
            idat.insert(idat.end(), body, body + length);
        at += 12 + length;
    }
    int inflated_length = 0;
    char *inflated = stbi_zlib_decode_malloc((const char *)idat.data(), (int)idat.size(),
                                             &inflated_length);
    if (inflated == NULL)
        return false;
    parts.filtered.assign(inflated, inflated + inflated_length);
    free(inflated);
    return parts.ihdr.size() == 13;
}

struct ChannelCase {
    int channels;
    unsigned char colour_type; // PNG colour type the file must carry
};

// GoogleTest would otherwise print the case as raw bytes, padding included,
// which reads uninitialised memory (valgrind reports it).
void PrintTo(const ChannelCase &c, std::ostream *out)
{
    *out << c.channels << " channels, colour type " << int{c.colour_type};
}

class PngOutput : public ::testing::TestWithParam<ChannelCase> {
protected:
    void TearDown() override { imgresize_init(); }
};

// Point sampling at 100 % copies every pixel, so the library's file must
// carry exactly the source pixels: compare it, past the deflate, with what
// stb_image_write alone makes of those pixels.
TEST_P(PngOutput, SameHeaderFiltersAndPixelsAsStbImageWrite)
{
    const ChannelCase param = GetParam();
    const int width = 173, height = 67;
    TempDir dir;
    const std::vector<unsigned char> pixels = textured(width, height, param.channels);
    const std::string source = dir.file("source.png");
    const std::string output = dir.file("output.png");
    ASSERT_TRUE(stbi_write_png(source.c_str(), width, height, param.channels, pixels.data(),
                               width * param.channels));

    imgresize_set_filter(IMGRESIZE_FILTER_POINT);
    ASSERT_EQ(imgresize_percent(source.c_str(), output.c_str(), 100), 1) << imgresize_last_error();
    EXPECT_STREQ(imgresize_last_error(), "");

    png_parts expected, actual;
    ASSERT_TRUE(parse_png(read_file(source), expected));
    ASSERT_TRUE(parse_png(read_file(output), actual));
    ASSERT_EQ(actual.ihdr.size(), 13u);
    EXPECT_EQ(be32(&actual.ihdr[0]), (uint32_t)width);
    EXPECT_EQ(be32(&actual.ihdr[4]), (uint32_t)height);
    EXPECT_EQ(actual.ihdr[8], 8) << "bit depth";
    EXPECT_EQ(actual.ihdr[9], param.colour_type);
    EXPECT_EQ(actual.ihdr, expected.ihdr);
    // Same row filters and same filtered bytes: only the deflate may differ.
    ASSERT_EQ(actual.filtered.size(), (size_t)(width * param.channels + 1) * height);
    EXPECT_TRUE(actual.filtered == expected.filtered);

    int w = 0, h = 0, n = 0;
    unsigned char *decoded = stbi_load(output.c_str(), &w, &h, &n, 0);
    ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
    EXPECT_EQ(n, param.channels);
    EXPECT_TRUE(memcmp(decoded, pixels.data(), pixels.size()) == 0);
    stbi_image_free(decoded);
}

INSTANTIATE_TEST_SUITE_P(Channels, PngOutput,
                         ::testing::Values(ChannelCase{1, 0}, ChannelCase{2, 4}, ChannelCase{3, 2},
                                           ChannelCase{4, 6}),
                         [](const ::testing::TestParamInfo<ChannelCase> &info) {
                             return std::to_string(info.param.channels) + "channels";
                         });

// A resize that really resamples: the decoded PNG equals the decoded BMP of
// the same request (BMP stores the 3 channels uncompressed).
TEST(PngOutputResampled, DecodesToTheSamePixelsAsAnUncompressedFormat)
{
    TempDir dir;
    const std::vector<unsigned char> pixels = textured(300, 200, 3);
    const std::string source = dir.file("source.png");
    ASSERT_TRUE(stbi_write_png(source.c_str(), 300, 200, 3, pixels.data(), 300 * 3));
    const std::string png = dir.file("out.png"), bmp = dir.file("out.bmp");
    ASSERT_EQ(imgresize_exact(source.c_str(), png.c_str(), 451, 97), 1) << imgresize_last_error();
    ASSERT_EQ(imgresize_exact(source.c_str(), bmp.c_str(), 451, 97), 1) << imgresize_last_error();

    int pw = 0, ph = 0, pn = 0, bw = 0, bh = 0, bn = 0;
    unsigned char *from_png = stbi_load(png.c_str(), &pw, &ph, &pn, 0);
    unsigned char *from_bmp = stbi_load(bmp.c_str(), &bw, &bh, &bn, 0);
    ASSERT_NE(from_png, nullptr);
    ASSERT_NE(from_bmp, nullptr);
    EXPECT_EQ(pw, 451);
    EXPECT_EQ(ph, 97);
    EXPECT_EQ(pn, 3);
    EXPECT_EQ(bn, 3);
    EXPECT_TRUE(memcmp(from_png, from_bmp, (size_t)451 * 97 * 3) == 0);
    stbi_image_free(from_png);
    stbi_image_free(from_bmp);
}

// The PNG failure messages do not depend on which deflate is built in.
TEST(PngOutputFailure, MessagesNameTheOutputPath)
{
    TempDir dir;
    const std::vector<unsigned char> pixels = textured(40, 30, 3);
    const std::string source = dir.file("source.png");
    ASSERT_TRUE(stbi_write_png(source.c_str(), 40, 30, 3, pixels.data(), 40 * 3));

    struct {
        std::string output;
        std::string message;
    } cases[] = {
        {dir.file("missing/out.png"), "Failed to write PNG output: " + dir.file("missing/out.png")},
        {dir.file("missing/out"), "Failed to write PNG output: " + dir.file("missing/out")},
        {dir.file("missing/out.webp"),
         "Failed to write output image '" + dir.file("missing/out.webp") + "' with format fallback"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(imgresize_exact(source.c_str(), c.output.c_str(), 20, 15), 0);
        EXPECT_EQ(std::string(imgresize_last_error()), c.message);
        EXPECT_FALSE(fs::exists(c.output));
    }
}

TEST(PngOutputFailure, FullDeviceIsAFailedWrite)
{
#ifdef _WIN32
    GTEST_SKIP() << "no /dev/full on Windows";
#else
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    const std::vector<unsigned char> pixels = textured(200, 150, 3);
    const std::string source = dir.file("source.png");
    ASSERT_TRUE(stbi_write_png(source.c_str(), 200, 150, 3, pixels.data(), 200 * 3));
    EXPECT_EQ(imgresize_exact(source.c_str(), "/dev/full", 200, 150), 0);
    EXPECT_STREQ(imgresize_last_error(), "Failed to write PNG output: /dev/full");
#endif
}

} // namespace
