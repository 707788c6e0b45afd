// Files that once crashed stb_image, aborted it or made it return memory it
// never wrote (tests/hostile_fixtures.h), through the exported functions: each
// now fails with a message, or decodes to defined pixels (0 where the file
// lacks data).
#include "hostile_fixtures.h"
#include "imgresize.h"
#include "test_support.h"

#include <string>

namespace {

using namespace imgtest;

class HostileInput : public TempDirTest {
protected:
    // Writes the fixture called `name` into the test directory; its path, or
    // "" (and a failure) when there is no such fixture.
    std::string write_fixture(const std::string &name)
    {
        for (const HostileFixture &fixture : hostile_fixtures()) {
            if (name == fixture.name) {
                const std::string file = path(name + fixture.extension);
                write_bytes(file, fixture.bytes);
                return file;
            }
        }
        ADD_FAILURE() << "no fixture " << name;
        return "";
    }

    // Resizes `file` to its own size with point sampling into a PNG and
    // decodes that: the decoder's pixels as the library got them.
    Image decoded(const std::string &file, int width, int height)
    {
        imgresize_set_filter(IMGRESIZE_FILTER_POINT);
        const std::string out = path("decoded.png");
        Image image;
        EXPECT_EQ(1, imgresize_exact(file.c_str(), out.c_str(), width, height))
            << imgresize_last_error();
        EXPECT_TRUE(load_image(out, image));
        fs::remove(out);
        return image;
    }
};

TEST_F(HostileInput, EveryFixtureFailsWithAMessageOrSucceedsWithoutOne)
{
    const struct {
        const char *name;
        int (*run)(const char *input, const char *output);
    } operations[] = {
        {"exact", [](const char *in, const char *out) { return imgresize_exact(in, out, 5, 3); }},
        {"fit", [](const char *in, const char *out) { return imgresize_fit(in, out, 5, 5); }},
        {"percent", [](const char *in, const char *out) { return imgresize_percent(in, out, 150); }},
        {"thumbnail", [](const char *in, const char *out) { return imgresize_thumbnail(in, out, 4); }},
    };
    const std::string out = path("out.png");
    for (const HostileFixture &fixture : hostile_fixtures()) {
        SCOPED_TRACE(fixture.name);
        const std::string file = path(std::string(fixture.name) + fixture.extension);
        write_bytes(file, fixture.bytes);
        for (const auto &operation : operations) {
            SCOPED_TRACE(operation.name);
            fs::remove(out);
            const int result = operation.run(file.c_str(), out.c_str());
            EXPECT_TRUE(result == 0 || result == 1) << result;
            EXPECT_EQ(result == 1, std::string(imgresize_last_error()).empty())
                << imgresize_last_error();
            EXPECT_EQ(result == 1, fs::exists(out));
        }
        const std::string record = imgresize_info(file.c_str());
        EXPECT_EQ(record.empty(), !std::string(imgresize_last_error()).empty());
    }
}

TEST_F(HostileInput, BrokenPicPacketsFailWithTheDecodersReason)
{
    // Data cut short after the packets: the header query still reads the
    // size, the decode fails. A packet header cut short: both fail.
    const struct {
        const char *fixture;
        const char *info; // the record's start, or the failure's reason
        bool info_fails;
    } cases[] = {
        {"pic_truncated_packets", "{\"width\":2,\"height\":2,\"format\":\"unknown\"", false},
        {"pic_broken_packet_header", "bad file", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string file = write_fixture(c.fixture);
        const std::string out = path("out.png");

        EXPECT_EQ(0, imgresize_exact(file.c_str(), out.c_str(), 4, 4));
        EXPECT_EQ("Failed to load image '" + file + "': bad file", imgresize_last_error());
        EXPECT_EQ(0, imgresize_fit(file.c_str(), out.c_str(), 4, 4));
        EXPECT_EQ(std::string(c.info_fails ? "Failed to inspect or load image '"
                                           : "Failed to load image '") +
                      file + "': bad file",
                  imgresize_last_error());
        EXPECT_FALSE(fs::exists(out));

        const std::string record = imgresize_info(file.c_str());
        if (c.info_fails) {
            EXPECT_EQ("", record);
            EXPECT_EQ("Failed to read image info for '" + file + "': " + c.info,
                      imgresize_last_error());
        } else {
            EXPECT_EQ(c.info, record.substr(0, std::string(c.info).size()));
        }
    }
}

TEST_F(HostileInput, PixelsAFileLacksDecodeAsZero)
{
    // Each fixture is decoded right after a complete file of the same shape,
    // so the heap blocks and stack the decoder gets have just held other
    // pixels: memory it never wrote would show as colours, not as zeros.
    std::vector<unsigned char> bright_bgr(27, 200);
    std::vector<unsigned char> bright_rgbe;
    for (int i = 0; i < 8; ++i)
        bright_rgbe.insert(bright_rgbe.end(), {128, 128, 128, 129});
    std::vector<unsigned char> bright_palette;
    for (int i = 0; i < 256; ++i)
        bright_palette.insert(bright_palette.end(), {200, 150, 100});

    const struct {
        const char *fixture;
        const char *primer_extension;
        std::vector<unsigned char> primer;
        int width, height;
        std::vector<unsigned char> rgb; // expected, rows top to bottom
    } cases[] = {
        {"tga_truncated_raw", ".tga", hostile::tga_raw24(3, 3, bright_bgr), 3, 3,
         {10, 20, 30, 40, 50, 60, 70, 80, 90, //
          0, 0, 0, 0, 0, 0, 0, 0, 0,          //
          0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"hdr_truncated_flat", ".hdr", hostile::hdr_flat(4, 2, bright_rgbe), 4, 2,
         {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, //
          255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"bmp_short_palette", ".bmp", hostile::bmp(4, 1, 8, bright_palette, {{0, 1, 2, 255}}), 4,
         1, {10, 20, 30, 40, 50, 60, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string primer = path(std::string("primer") + c.primer_extension);
        write_bytes(primer, c.primer);
        const Image bright = decoded(primer, c.width, c.height);
        ASSERT_EQ(3, bright.channels);
        EXPECT_NE(0, bright.at(c.width - 1, c.height - 1, 0));

        const std::string file = write_fixture(c.fixture);
        for (int round = 0; round < 2; ++round) { // the same pixels every time
            SCOPED_TRACE(round);
            const Image image = decoded(file, c.width, c.height);
            EXPECT_EQ(c.width, image.width);
            EXPECT_EQ(c.height, image.height);
            EXPECT_EQ(3, image.channels);
            EXPECT_EQ(c.rgb, image.pixels);
        }
    }
}

TEST_F(HostileInput, ATopDownBmpHasItsPositiveHeightEverywhere)
{
    // The header stores height -2; only the decode says 2.
    const std::string file = write_fixture("bmp_top_down");
    EXPECT_EQ("{\"width\":3,\"height\":2,\"format\":\"bmp\",\"file_size\":78}",
              std::string(imgresize_info(file.c_str())));
    EXPECT_STREQ("", imgresize_last_error());

    const std::string out = path("out.png");
    ASSERT_EQ(1, imgresize_fit(file.c_str(), out.c_str(), 6, 6)) << imgresize_last_error();
    Image image;
    ASSERT_TRUE(load_image(out, image));
    EXPECT_EQ(6, image.width);
    EXPECT_EQ(4, image.height);

    // The first stored row is the top one.
    const Image pixels = decoded(file, 3, 2);
    EXPECT_EQ((std::vector<unsigned char>{10, 20, 30, 40, 50, 60, 70, 80, 90, //
                                          1, 2, 3, 4, 5, 6, 7, 8, 9}),
              pixels.pixels);
}

} // namespace
