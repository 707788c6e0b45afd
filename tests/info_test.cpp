// imgresize_info: the JSON record, the format name from the header or the
// extension, the failures at each step, and sizes beyond 2 GiB.
#include "imgresize.h"
#include "test_support.h"

#ifndef _WIN32
#  include <unistd.h>
#endif

namespace {

using namespace imgtest;

class Info : public TempDirTest {
protected:
    static std::string record(int width, int height, const std::string &format, uintmax_t size)
    {
        return "{\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
               ",\"format\":\"" + format + "\",\"file_size\":" + std::to_string(size) + "}";
    }
};

TEST_F(Info, ARecordHoldsSizeFormatAndFileSizeExactly)
{
    const std::string file = path("a.png");
    write_png(file, make_uniform(640, 480, 3, 90));
    const char *text = imgresize_info(file.c_str());
    EXPECT_EQ(record(640, 480, "png", fs::file_size(file)), text);
    EXPECT_STREQ("", imgresize_last_error());
}

TEST_F(Info, FormatComesFromTheHeaderElseFromTheExtension)
{
    const Image image = make_noise(5, 3, 3);
    fs::create_directory(dir_ / "a.b");
    fs::create_directory(dir_ / "dir.png");
    const struct {
        const char *name;
        void (*write)(const fs::path &, const Image &);
        const char *format;
    } cases[] = {
        {"photo.jpg", write_png, "png"}, // the header wins over the extension
        {"x.png", write_png, "png"},
        {"x.jpg", [](const fs::path &p, const Image &i) { write_jpeg(p, i); }, "jpeg"},
        {"x.png.jpeg", [](const fs::path &p, const Image &i) { write_jpeg(p, i); }, "jpeg"},
        {"x.bmp", write_bmp, "bmp"},
        {"x.tga.dat", write_bmp, "bmp"},
        // TGA has no signature: the extension of the whole path decides.
        {"x.TGA", write_tga, "tga"},
        {"x.tga", write_tga, "tga"},
        {"x.bin", write_tga, "unknown"},
        {"x.webp", write_tga, "webp"},
        {"x.Gif", write_tga, "gif"},
        {"x.PNG", write_tga, "png"},
        {"x.jpeg", write_tga, "jpeg"},
        {"x.jpe", write_tga, "unknown"},
        {"x", write_tga, "unknown"},
        {"x.", write_tga, "unknown"},
        {"a.b/file", write_tga, "unknown"}, // the last '.' is in the directory name
        {"a.b/file.tga", write_tga, "tga"},
        {"dir.png/file", write_tga, "unknown"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        c.write(file, image);
        EXPECT_EQ(record(5, 3, c.format, fs::file_size(file)), imgresize_info(file.c_str()));
        EXPECT_STREQ("", imgresize_last_error());
    }
}

TEST_F(Info, GifReportsTheDecodersSize)
{
    const std::string file = path("anim.dat");
    write_bytes(file, make_gif(7, 2));
    EXPECT_EQ(record(7, 2, "gif", fs::file_size(file)), imgresize_info(file.c_str()));
}

TEST_F(Info, AnImageWithoutPixelsHasNoRecord)
{
    // The header query and the full decode of this GIF both give 0 x 0.
    const std::string file = path("empty-screen.gif");
    write_bytes(file, make_gif(0, 0));
    EXPECT_STREQ("", imgresize_info(file.c_str()));
    EXPECT_EQ("Failed to read image info for '" + file + "': image has no pixels",
              imgresize_last_error());
}

TEST_F(Info, TheRecordNeverHoldsTheChannelCount)
{
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        const std::string file = path("c" + std::to_string(channels) + ".png");
        write_png(file, make_noise(3, 2, channels));
        EXPECT_EQ(record(3, 2, "png", fs::file_size(file)), imgresize_info(file.c_str()));
    }
}

TEST_F(Info, BytesNoDecoderReadsFailWithTheDecodersReason)
{
    // A RIFF/WEBP header is recognised by the format table, but stb_image
    // decodes no WebP.
    std::vector<unsigned char> webp = {'R', 'I', 'F', 'F', 26, 0, 0, 0, 'W', 'E', 'B', 'P',
                                       'V', 'P', '8', 'L', 14, 0, 0, 0,   0x2F, 0, 0, 0,
                                       0x10, 0x07, 0x10, 0x11, 0x11, 0x88, 0x88, 0xFE, 0x07, 0};
    const std::string webp_file = path("image.webp");
    write_bytes(webp_file, webp);
    const std::string text_file = path("notes.png");
    write_text(text_file, "hello");
    const std::string empty_file = path("empty.bmp");
    write_bytes(empty_file, {});

    // A record first, to show that a failure empties it.
    const std::string good = path("good.png");
    write_png(good, make_noise(2, 2, 3));
    const char *buffer = imgresize_info(good.c_str());
    ASSERT_STRNE("", buffer);

    for (const std::string &file : {webp_file, text_file, empty_file}) {
        SCOPED_TRACE(file);
        const char *text = imgresize_info(file.c_str());
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ("", text);
        EXPECT_STREQ("", buffer);
        EXPECT_EQ("Failed to read image info for '" + file + "': unknown image type",
                  imgresize_last_error());
    }
}

TEST_F(Info, PathsThatAreNotReadableFilesFailAtTheirStep)
{
    const std::string missing = path("missing.png");
    const std::string directory = path("folder.png");
    fs::create_directory(directory);
    const struct {
        const char *label;
        const char *path;
        std::string message;
    } cases[] = {
        {"null", nullptr, "Input path is NULL or empty"},
        {"empty", "", "Input path is NULL or empty"},
        {"missing", missing.c_str(), "Failed to stat file: " + missing},
#ifndef _WIN32
        {"directory", directory.c_str(), "Failed to open file '" + directory + "': Is a directory"},
#endif
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const char *text = imgresize_info(c.path);
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ("", text);
        EXPECT_EQ(c.message, imgresize_last_error());
    }
#ifdef _WIN32
    // The system's own text for a directory opened as a file.
    EXPECT_STREQ("", imgresize_info(directory.c_str()));
    const std::string message = imgresize_last_error();
    const std::string prefix = "Failed to open file '" + directory + "': ";
    EXPECT_EQ(prefix, message.substr(0, prefix.size()));
    EXPECT_GT(message.size(), prefix.size());
#endif
}

TEST_F(Info, AFileThatCannotBeOpenedNamesTheSystemsReason)
{
#ifdef _WIN32
    GTEST_SKIP() << "relies on POSIX permission bits";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "root opens files regardless of their permission bits";
    const std::string file = path("secret.png");
    write_png(file, make_noise(2, 2, 3));
    fs::permissions(file, fs::perms::none);
    EXPECT_STREQ("", imgresize_info(file.c_str()));
    EXPECT_EQ("Failed to open file '" + file + "': Permission denied", imgresize_last_error());
#endif
}

TEST_F(Info, FileSizesOf2GiBAndMoreAreReportedInFull)
{
    // A small PNG whose header is all the decoder reads, grown into a sparse
    // file of 3 GiB: beyond what a signed 32-bit size can hold.
    const std::string file = path("huge.png");
    write_png(file, make_noise(3, 2, 3));
    std::error_code error;
    fs::resize_file(file, 3221225472u, error);
    if (error)
        GTEST_SKIP() << "cannot make a 3 GiB sparse file here: " << error.message();
    EXPECT_EQ("{\"width\":3,\"height\":2,\"format\":\"png\",\"file_size\":3221225472}",
              std::string(imgresize_info(file.c_str())));
}

TEST_F(Info, TheRecordStaysUntilTheNextInfoCall)
{
    const std::string file = path("keep.bmp");
    write_bmp(file, make_noise(4, 3, 3));
    const char *text = imgresize_info(file.c_str());
    const std::string expected = record(4, 3, "bmp", fs::file_size(file));
    ASSERT_EQ(expected, text);
    EXPECT_EQ(1, imgresize_exact(file.c_str(), path("out.png").c_str(), 2, 2));
    EXPECT_EQ(0, imgresize_fit(nullptr, nullptr, 0, 0));
    EXPECT_EQ(expected, text);
}

} // namespace
