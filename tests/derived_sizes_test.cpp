// imgresize_fit, imgresize_percent and imgresize_thumbnail: target sizes
// worked out from the source's size, their argument checks and the probe.
#include "imgresize.h"
#include "test_support.h"

#include <climits>
#include <functional>

namespace {

using namespace imgtest;

class DerivedSizes : public TempDirTest {
protected:
    // A uniform grey run-length TGA: cheap to write and read at any size.
    std::string blank(int width, int height)
    {
        const std::string file =
            path("blank-" + std::to_string(width) + "x" + std::to_string(height) + ".tga");
        if (!fs::exists(file))
            write_tga(file, make_uniform(width, height, 1, 128));
        return file;
    }
};

enum class Operation { fit, percent, thumbnail };

struct SizeCase {
    Operation operation;
    int source_width, source_height;
    int a, b; // fit: the bounds; percent: the percent; thumbnail: the side
    int expected_width, expected_height;
};

std::string describe(const SizeCase &c)
{
    const std::string source = std::to_string(c.source_width) + "x" + std::to_string(c.source_height);
    switch (c.operation) {
    case Operation::fit:
        return "fit " + source + " into " + std::to_string(c.a) + "x" + std::to_string(c.b);
    case Operation::percent:
        return "percent " + std::to_string(c.a) + " of " + source;
    case Operation::thumbnail:
        return "thumbnail " + std::to_string(c.a) + " of " + source;
    }
    return "";
}

// Runs the case's operation from `input` to `output`; returns its result.
int run(const SizeCase &c, const std::string &input, const std::string &output)
{
    switch (c.operation) {
    case Operation::fit:
        return imgresize_fit(input.c_str(), output.c_str(), c.a, c.b);
    case Operation::percent:
        return imgresize_percent(input.c_str(), output.c_str(), c.a);
    case Operation::thumbnail:
        return imgresize_thumbnail(input.c_str(), output.c_str(), c.a);
    }
    return -1;
}

TEST_F(DerivedSizes, TargetSizesAreRoundedHalfAwayFromZeroAndAtLeastOnePixel)
{
    const SizeCase cases[] = {
        {Operation::fit, 4000, 3000, 800, 800, 800, 600},
        {Operation::fit, 100, 50, 400, 400, 400, 200}, // enlarged
        {Operation::fit, 50, 100, 400, 400, 200, 400},
        {Operation::fit, 1000, 10, 50, 50, 50, 1},     // 0.5 rounds up
        {Operation::fit, 1000, 9, 50, 50, 50, 1},      // 0.45 rounds to 0, raised to 1
        {Operation::fit, 10, 5, 5, 100, 5, 3},         // 2.5 rounds away from zero
        {Operation::fit, 3, 1000, 1, 1, 1, 1},
        {Operation::fit, 7, 7, 7, 7, 7, 7},
        {Operation::fit, 300, 200, 90, 1000, 90, 60},
        {Operation::percent, 101, 101, 50, 0, 51, 51}, // 50.5 rounds up
        {Operation::percent, 40, 40, 1, 0, 1, 1},      // 0.4 rounds to 0, raised to 1
        {Operation::percent, 37, 23, 100, 0, 37, 23},
        {Operation::percent, 20, 10, 200, 0, 40, 20},
        {Operation::percent, 3, 3, 250, 0, 8, 8},      // 7.5 rounds up
        {Operation::percent, 10, 10, 33, 0, 3, 3},
        {Operation::percent, 10, 30, 15, 0, 2, 5},     // 1.5 and 4.5 round up
        {Operation::thumbnail, 300, 600, 128, 0, 64, 128},
        {Operation::thumbnail, 600, 300, 128, 0, 128, 64},
        {Operation::thumbnail, 4, 2, 10, 0, 10, 5},    // enlarged
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c));
        const std::string output = path("out.png");
        ASSERT_EQ(1, run(c, blank(c.source_width, c.source_height), output)) << imgresize_last_error();
        EXPECT_STREQ("", imgresize_last_error());
        Image written;
        ASSERT_TRUE(load_image(output, written));
        EXPECT_EQ(c.expected_width, written.width);
        EXPECT_EQ(c.expected_height, written.height);
    }
}

TEST_F(DerivedSizes, PercentHundredReencodesTheImageUnchanged)
{
    const Image source = make_noise(9, 7, 3);
    const std::string input = path("in.bmp");
    write_bmp(input, source);
    const std::string output = path("out.png");
    ASSERT_EQ(1, imgresize_percent(input.c_str(), output.c_str(), 100));
    EXPECT_EQ("png", format_by_magic(output));
    Image written;
    ASSERT_TRUE(load_image(output, written));
    EXPECT_EQ(source.pixels, written.pixels);
}

TEST_F(DerivedSizes, ArgumentsAreCheckedInOrderBeforeTheFileIsRead)
{
    const std::string missing = path("missing.png");
    const std::string out = path("out.png");
    const char *in = missing.c_str();
    const char *o = out.c_str();
    const struct {
        const char *call;
        std::function<int()> run;
        const char *message;
    } cases[] = {
        {"fit(NULL, NULL, 0, 0)", [] { return imgresize_fit(nullptr, nullptr, 0, 0); },
         "Input path is NULL or empty"},
        {"fit(\"\", out, 1, 1)", [=] { return imgresize_fit("", o, 1, 1); },
         "Input path is NULL or empty"},
        {"fit(in, NULL, 0, 0)", [=] { return imgresize_fit(in, nullptr, 0, 0); },
         "Output path is NULL or empty"},
        {"fit(in, \"\", 1, 1)", [=] { return imgresize_fit(in, "", 1, 1); },
         "Output path is NULL or empty"},
        {"fit(in, out, 0, 100)", [=] { return imgresize_fit(in, o, 0, 100); },
         "Invalid bounds: max_width=0, max_height=100 (must be > 0)"},
        {"fit(in, out, 100, -1)", [=] { return imgresize_fit(in, o, 100, -1); },
         "Invalid bounds: max_width=100, max_height=-1 (must be > 0)"},
        {"percent(NULL, NULL, 0)", [] { return imgresize_percent(nullptr, nullptr, 0); },
         "Input path is NULL or empty"},
        {"percent(in, \"\", 0)", [=] { return imgresize_percent(in, "", 0); },
         "Output path is NULL or empty"},
        {"percent(in, out, 0)", [=] { return imgresize_percent(in, o, 0); },
         "Invalid percent: 0 (must be > 0)"},
        {"percent(in, out, -5)", [=] { return imgresize_percent(in, o, -5); },
         "Invalid percent: -5 (must be > 0)"},
        {"thumbnail(NULL, NULL, 0)", [] { return imgresize_thumbnail(nullptr, nullptr, 0); },
         "Invalid thumbnail size: 0 (must be > 0)"},
        {"thumbnail(NULL, NULL, -3)", [] { return imgresize_thumbnail(nullptr, nullptr, -3); },
         "Invalid thumbnail size: -3 (must be > 0)"},
        {"thumbnail(NULL, out, 10)", [=] { return imgresize_thumbnail(nullptr, o, 10); },
         "Input path is NULL or empty"},
        {"thumbnail(in, NULL, 10)", [=] { return imgresize_thumbnail(in, nullptr, 10); },
         "Output path is NULL or empty"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(0, c.run());
        EXPECT_STREQ(c.message, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DerivedSizes, AnUnreadableSourceFailsAtTheProbe)
{
    write_text(path("notes.jpg"), "not an image");
    const struct {
        std::string input;
        const char *reason;
    } sources[] = {
        {path("missing.png"), "can't fopen"},
        {path("notes.jpg"), "unknown image type"},
    };
    const std::string out = path("out.png");
    for (const auto &s : sources) {
        const std::string expected = "Failed to inspect or load image '" + s.input + "': " + s.reason;
        SCOPED_TRACE(s.input);
        EXPECT_EQ(0, imgresize_fit(s.input.c_str(), out.c_str(), 10, 10));
        EXPECT_EQ(expected, imgresize_last_error());
        EXPECT_EQ(0, imgresize_percent(s.input.c_str(), out.c_str(), 50));
        EXPECT_EQ(expected, imgresize_last_error());
        EXPECT_EQ(0, imgresize_thumbnail(s.input.c_str(), out.c_str(), 10));
        EXPECT_EQ(expected, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DerivedSizes, CutPixelDataPassesTheProbeAndFailsInTheDecode)
{
    // The header (and the start of the image data) is intact, so the probe
    // finds the size; the full decode runs out of data.
    const std::string whole = path("whole.png");
    write_png(whole, make_noise(64, 64, 3));
    std::vector<unsigned char> bytes = read_bytes(whole);
    bytes.resize(bytes.size() / 2);
    const std::string cut = path("cut.png");
    write_bytes(cut, bytes);
    const std::string out = path("out.png");
    const std::string expected = "Failed to load image '" + cut + "': outofdata";
    EXPECT_EQ(0, imgresize_fit(cut.c_str(), out.c_str(), 10, 10));
    EXPECT_EQ(expected, imgresize_last_error());
    EXPECT_EQ(0, imgresize_percent(cut.c_str(), out.c_str(), 50));
    EXPECT_EQ(expected, imgresize_last_error());
    EXPECT_EQ(0, imgresize_thumbnail(cut.c_str(), out.c_str(), 10));
    EXPECT_EQ(expected, imgresize_last_error());
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DerivedSizes, PercentTargetsBeyondTheIntRangeAreRefused)
{
    // 101 x 2147483647 / 100 is about 2.17e9, beyond a 32-bit int, on either axis.
    write_png(path("wide.png"), make_noise(101, 1, 3));
    write_png(path("tall.png"), make_noise(1, 101, 3));
    const std::string out = path("out.png");
    EXPECT_EQ(0, imgresize_percent(path("wide.png").c_str(), out.c_str(), INT_MAX));
    EXPECT_STREQ("Invalid percent: 2147483647 (target size out of range for 101x1)",
                 imgresize_last_error());
    EXPECT_EQ(0, imgresize_percent(path("tall.png").c_str(), out.c_str(), INT_MAX));
    EXPECT_STREQ("Invalid percent: 2147483647 (target size out of range for 1x101)",
                 imgresize_last_error());

    // 100 x 2147483647 / 100 is exactly the largest int: the percent is
    // accepted and the request goes on to the exact resize's own size guard.
    write_png(path("hundred.png"), make_noise(100, 1, 3));
    EXPECT_EQ(0, imgresize_percent(path("hundred.png").c_str(), out.c_str(), INT_MAX));
    EXPECT_STREQ("Target dimensions too large: 2147483647x21474836", imgresize_last_error());
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DerivedSizes, DerivedTargetsMeetTheExactResizesSizeGuard)
{
    const struct {
        SizeCase size;
        const char *output;
    } cases[] = {
        {{Operation::fit, 1000, 1, 70000, 70000, 70000, 70}, "out.tga"}, // TGA sides are 16-bit
        {{Operation::fit, 1, 1, 8388609, 8388609, 8388609, 8388609}, "out.png"},
        {{Operation::percent, 2, 2, 419430450, 0, 8388609, 8388609}, "out.bmp"},
        {{Operation::thumbnail, 1, 1, 65536, 0, 65536, 65536}, "out.jpg"}, // JPEG sides too
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c.size) + " to " + c.output);
        const std::string output = path(c.output);
        EXPECT_EQ(0, run(c.size, blank(c.size.source_width, c.size.source_height), output));
        EXPECT_EQ("Target dimensions too large: " + std::to_string(c.size.expected_width) + "x" +
                      std::to_string(c.size.expected_height),
                  imgresize_last_error());
        EXPECT_FALSE(fs::exists(output));
    }
}

TEST_F(DerivedSizes, ASourceWithoutASizeFailsAtTheProbe)
{
    // stb_image reads a GIF whose logical screen is 0 x 0 both in the header
    // query and in the full decode, and gives 0 x 0 both times: there is no
    // size to scale, whatever the bounds.
    const std::string input = path("empty-screen.gif");
    write_bytes(input, make_gif(0, 0));
    const std::string out = path("out.png");
    const std::string expected =
        "Failed to inspect or load image '" + input + "': image has no pixels";
    EXPECT_EQ(0, imgresize_fit(input.c_str(), out.c_str(), 10, 10));
    EXPECT_EQ(expected, imgresize_last_error());
    EXPECT_EQ(0, imgresize_percent(input.c_str(), out.c_str(), 50));
    EXPECT_EQ(expected, imgresize_last_error());
    EXPECT_EQ(0, imgresize_thumbnail(input.c_str(), out.c_str(), 10));
    EXPECT_EQ(expected, imgresize_last_error());
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DerivedSizes, FailuresAfterTheProbeCarryTheExactResizesMessages)
{
    write_png(path("in.png"), make_noise(8, 4, 3));
    const std::string output = narrow(dir_ / "missing" / "out.bmp");
    EXPECT_EQ(0, imgresize_thumbnail(path("in.png").c_str(), output.c_str(), 4));
    EXPECT_EQ("Failed to write BMP output: " + output, imgresize_last_error());
}

} // namespace
