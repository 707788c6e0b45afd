// The target size guard of imgresize_exact: targets that the resampler or an
// encoder cannot handle are refused with one message, before the destination
// buffer is allocated and before any output file exists; targets just inside
// a format's bound are written where that is cheap.
#include "imgresize.h"
#include "test_support.h"

#include <string>
#include <vector>

namespace {

using namespace imgtest;

class SizeGuard : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        grey_ = path("grey.png");
        rgba_ = path("rgba.png");
        write_png(grey_, make_noise(1, 1, 1));
        write_png(rgba_, make_noise(2, 2, 4));
    }

    std::string grey_, rgba_;
};

struct Refusal {
    const char *note;
    bool rgba; // else the 1 x 1 grey source
    const char *output;
    int width, height;
    int filter;
};

TEST_F(SizeGuard, TargetsBeyondABoundAreRefusedBeforeAnyOutputExists)
{
    const int point = IMGRESIZE_FILTER_POINT;
    const int bicubic = IMGRESIZE_FILTER_BICUBIC;
    const Refusal cases[] = {
        {"a side above 2^23", false, "out.bmp", 8388609, 1, point},
        {"a side above 2^23", false, "out.png", 1, 8388609, bicubic},
        {"a side above 2^23 (point sampling overflowed)", false, "out.bmp", 300000000, 1, point},
        {"a side above 2^23 (coefficient table overflowed)", false, "out.bmp", 1073742824, 1,
         bicubic},
        {"more than INT_MAX bytes", false, "out.tga", 65535, 32769, bicubic},
        {"more than INT_MAX bytes", false, "out.jpg", 65535, 32769, bicubic},
        {"more than INT_MAX bytes", true, "out.bmp", 32768, 16384, bicubic},
        {"more than INT_MAX bytes", false, "out.bmp", 2147483647, 1000000, bicubic},
        {"JPEG side above 16 bits", false, "out.jpg", 65536, 1, bicubic},
        {"JPEG side above 16 bits", false, "out.jpeg", 1, 65536, bicubic},
        {"JPEG side above 16 bits", false, "out.jpg", 65536, 40000, bicubic},
        {"TGA side above 16 bits", false, "out.tga", 65536, 1, bicubic},
        {"TGA side above 16 bits", false, "out.tga", 1, 65536, bicubic},
        {"TGA side above 16 bits", false, "out.tga", 65536, 40000, bicubic},
        // 3 bytes a grey pixel in the file, rows of 196608 bytes: 10923 rows
        // make the file 2147549238 bytes, from a buffer of 715849728.
        {"BMP file size above INT_MAX", false, "out.bmp", 65536, 10923, bicubic},
        // 4 x 486737 x 1103 = 2147483644 bytes fits an int; with the 122-byte
        // header the file does not.
        {"BMP file size above INT_MAX", true, "out.bmp", 486737, 1103, bicubic},
        {"PNG filtered image above INT_MAX", false, "out.png", 50000, 85899, bicubic},
        // 2147450880 pixel bytes fit an int; one filter byte per row more does not.
        {"PNG filtered image above INT_MAX", false, "out.png", 65535, 32768, bicubic},
        {"PNG filtered image above INT_MAX", false, "out", 65535, 32768, bicubic},
        {"PNG filtered image above INT_MAX", false, "out.webp", 65535, 32768, bicubic},
        {"PNG row of 2^24 bytes", true, "out.png", 4194304, 1, IMGRESIZE_FILTER_BILINEAR},
    };
    for (const auto &c : cases) {
        const std::string expected =
            "Target dimensions too large: " + std::to_string(c.width) + "x" + std::to_string(c.height);
        SCOPED_TRACE(std::string(c.note) + ": " + c.output + " " + expected);
        imgresize_set_filter(c.filter);
        const std::string output = path(c.output);
        EXPECT_EQ(0, imgresize_exact((c.rgba ? rgba_ : grey_).c_str(), output.c_str(), c.width,
                                     c.height));
        EXPECT_EQ(expected, imgresize_last_error());
        EXPECT_FALSE(fs::exists(output));
    }
}

TEST_F(SizeGuard, TheResamplersTablesForTheSourceCountToo)
{
    // Shrinking 13000000 rows to 1 with Lanczos-3 gives each source row 6
    // coefficients and pads 39000000 rows at each end: a table of 91000000
    // rows x 24 bytes, beyond an int, for a 1 x 1 target.
    // A binary PGM: a text header, then the grey samples as they are.
    const std::string header = "P5\n1 13000000\n255\n";
    std::vector<unsigned char> pgm(header.begin(), header.end());
    pgm.resize(header.size() + 13000000, 7);
    const std::string tall = path("tall.pgm");
    write_bytes(tall, pgm);
    const std::string output = path("out.png");
    imgresize_set_filter(IMGRESIZE_FILTER_LANCZOS3);
    EXPECT_EQ(0, imgresize_exact(tall.c_str(), output.c_str(), 1, 1));
    EXPECT_STREQ("Target dimensions too large: 1x1", imgresize_last_error());
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(SizeGuard, TargetsAtASixteenBitSideAreWritten)
{
    const struct {
        const char *output;
        const char *format;
        int width, height;
    } cases[] = {
        {"wide.jpg", "jpeg", 65535, 1},
        {"tall.jpg", "jpeg", 1, 65535},
        {"wide.tga", "tga", 65535, 1},
        {"tall.tga", "tga", 1, 65535},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        const std::string output = path(c.output);
        ASSERT_EQ(1, imgresize_exact(grey_.c_str(), output.c_str(), c.width, c.height))
            << imgresize_last_error();
        EXPECT_EQ(c.format, format_by_magic(output));
        Image written;
        ASSERT_TRUE(load_image(output, written));
        EXPECT_EQ(c.width, written.width);
        EXPECT_EQ(c.height, written.height);
    }
}

} // namespace
