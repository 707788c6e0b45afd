// imgresize_batch: which directory entries are processed, the count, the
// last-error rule, the cases where the batch cannot start, and paths too long
// for the batch's buffers.
#include "imgresize.h"
#include "test_support.h"

#include <algorithm>
#include <set>

namespace {

using namespace imgtest;

class Batch : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        in_ = dir_ / "in";
        out_ = dir_ / "out";
        fs::create_directory(in_);
    }

    // Names of the regular files in `directory`.
    static std::set<std::string> files_in(const fs::path &directory)
    {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(directory))
            if (entry.is_regular_file())
                names.insert(entry.path().filename().string());
        return names;
    }

    int run(int max_width = 8, int max_height = 8)
    {
        return imgresize_batch(narrow(in_).c_str(), narrow(out_).c_str(), max_width, max_height);
    }

    fs::path in_;
    fs::path out_;
};

TEST_F(Batch, OnlyFilesWithTheFiveImageExtensionsAreProcessed)
{
    // Every file holds a decodable PNG, so a wrongly eligible name would be
    // written (and counted), not merely fail.
    const Image image = make_noise(16, 12, 3);
    const char *eligible[] = {"photo.PNG", "scan.Jpeg", "logo.TGA", "plain.jpg", "old.bmp",
                              ".png",      ".hidden.png"};
    const char *skipped[] = {"anim.gif", "archive.tar.gz", "README", "image.webp",
                             "png",      "photo.png.bak",  "x.jpe"};
    for (const char *name : eligible)
        write_png(in_ / name, image);
    for (const char *name : skipped)
        write_png(in_ / name, image);
    fs::create_directory(in_ / "old.png"); // a directory, whatever its name
    write_png(in_ / "old.png" / "inner.png", image);
#ifndef _WIN32
    write_png(in_ / "name.", image); // extension "."; Windows drops trailing dots
#endif
    write_png(in_ / "locked.png", image);
    fs::permissions(in_ / "locked.png",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    EXPECT_EQ(8, run());
    EXPECT_STREQ("", imgresize_last_error());
    std::set<std::string> expected(std::begin(eligible), std::end(eligible));
    expected.insert("locked.png");
    EXPECT_EQ(expected, files_in(out_));
    EXPECT_FALSE(fs::exists(out_ / "old.png"));

    // Each result is fitted into the box and keeps its name's format.
    const struct {
        const char *name;
        const char *format;
    } formats[] = {{"photo.PNG", "png"}, {"scan.Jpeg", "jpeg"}, {"logo.TGA", "tga"},
                   {"plain.jpg", "jpeg"}, {"old.bmp", "bmp"},   {".png", "png"}};
    for (const auto &f : formats) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.format, format_by_magic(out_ / f.name));
        Image written;
        ASSERT_TRUE(load_image(out_ / f.name, written));
        EXPECT_EQ(8, written.width);
        EXPECT_EQ(6, written.height);
    }
}

TEST_F(Batch, ACorruptFileIsNotCountedAndTheLastFileDecidesTheLastError)
{
    write_png(in_ / "a.png", make_noise(10, 10, 3));
    write_png(in_ / "b.png", make_noise(10, 10, 3));
    write_text(in_ / "bad.png", "not an image");
    write_text(in_ / "skipped.txt", "not eligible, never looked at");

    EXPECT_EQ(2, run());
    EXPECT_EQ((std::set<std::string>{"a.png", "b.png"}), files_in(out_));

    // The platform's listing order decides which file came last.
    std::string last;
    for (const auto &entry : fs::directory_iterator(in_)) {
        const std::string name = entry.path().filename().string();
        if (name != "skipped.txt")
            last = name;
    }
    const std::string bad_message =
        "Failed to inspect or load image '" + narrow(in_ / "bad.png") + "': unknown image type";
    EXPECT_EQ(last == "bad.png" ? bad_message : "", imgresize_last_error()) << "last: " << last;
}

TEST_F(Batch, AFailingLastFileLeavesItsMessageBehindTheCount)
{
    write_text(in_ / "bad.png", "not an image");
    write_text(in_ / "notes.txt", "not eligible");
    EXPECT_EQ(0, run());
    EXPECT_EQ("Failed to inspect or load image '" + narrow(in_ / "bad.png") + "': unknown image type",
              imgresize_last_error());
}

TEST_F(Batch, NothingEligibleReturnsZeroWithAnEmptyLastError)
{
    EXPECT_EQ(0, run());
    EXPECT_STREQ("", imgresize_last_error());
    EXPECT_TRUE(fs::is_directory(out_));

    fs::create_directory(in_ / "sub");
    fs::create_directory(in_ / "sub.png");
    ASSERT_EQ(0, imgresize_exact(nullptr, nullptr, 0, 0)); // a stale message
    EXPECT_EQ(0, run());
    EXPECT_STREQ("", imgresize_last_error());
    EXPECT_TRUE(files_in(out_).empty());
}

TEST_F(Batch, ArgumentsAreCheckedInOrderAndNothingIsCreated)
{
    const std::string in = narrow(in_);
    const std::string out = narrow(out_);
    const struct {
        const char *input;
        const char *output;
        int width, height;
        const char *message;
    } cases[] = {
        {nullptr, nullptr, 0, 0, "Input directory is NULL or empty"},
        {"", out.c_str(), 5, 5, "Input directory is NULL or empty"},
        {in.c_str(), nullptr, 0, 0, "Output directory is NULL or empty"},
        {in.c_str(), "", 5, 5, "Output directory is NULL or empty"},
        {in.c_str(), out.c_str(), 0, 100, "Invalid batch bounds: 0x100 (must be > 0)"},
        {in.c_str(), out.c_str(), 100, 0, "Invalid batch bounds: 100x0 (must be > 0)"},
        {in.c_str(), out.c_str(), -1, -2, "Invalid batch bounds: -1x-2 (must be > 0)"},
    };
    write_png(in_ / "a.png", make_noise(4, 4, 3));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(-1, imgresize_batch(c.input, c.output, c.width, c.height));
        EXPECT_STREQ(c.message, imgresize_last_error());
    }
    EXPECT_FALSE(fs::exists(out_));
}

TEST_F(Batch, AnInputDirectoryThatCannotBeOpenedFailsAfterTheOutputExists)
{
    const fs::path missing = dir_ / "missing";
    EXPECT_EQ(-1, imgresize_batch(narrow(missing).c_str(), narrow(out_).c_str(), 8, 8));
    EXPECT_EQ("Failed to open input directory: " + narrow(missing), imgresize_last_error());
    EXPECT_TRUE(fs::is_directory(out_));

    const fs::path file = dir_ / "file.png";
    write_png(file, make_noise(4, 4, 3));
    EXPECT_EQ(-1, imgresize_batch(narrow(file).c_str(), narrow(dir_ / "out2").c_str(), 8, 8));
    EXPECT_EQ("Failed to open input directory: " + narrow(file), imgresize_last_error());
    EXPECT_TRUE(fs::is_directory(dir_ / "out2"));
}

TEST_F(Batch, OnlyOneLevelOfOutputDirectoryIsCreated)
{
    write_png(in_ / "a.png", make_noise(4, 4, 3));
    const fs::path deep = dir_ / "no" / "such";
    EXPECT_EQ(0, imgresize_batch(narrow(in_).c_str(), narrow(deep).c_str(), 2, 2));
    EXPECT_EQ("Failed to write PNG output: " + narrow(deep / "a.png"), imgresize_last_error());
    EXPECT_FALSE(fs::exists(dir_ / "no"));
}

TEST_F(Batch, AnExistingOutputDirectoryIsUsedAsItIs)
{
    fs::create_directory(out_);
    write_text(out_ / "keep.txt", "untouched");
    write_png(in_ / "a.png", make_noise(4, 4, 3));
    EXPECT_EQ(1, run(2, 2));
    EXPECT_EQ((std::set<std::string>{"a.png", "keep.txt"}), files_in(out_));
}

TEST_F(Batch, OutputDirectoryEqualToInputReplacesEachImage)
{
    write_png(in_ / "a.png", make_noise(40, 20, 3));
    write_jpeg(in_ / "b.jpg", make_noise(20, 40, 3));
    write_text(in_ / "c.txt", "left alone");
    const std::string in = narrow(in_);
    EXPECT_EQ(2, imgresize_batch(in.c_str(), in.c_str(), 10, 10));
    EXPECT_STREQ("", imgresize_last_error());
    EXPECT_EQ((std::set<std::string>{"a.png", "b.jpg", "c.txt"}), files_in(in_));
    Image a, b;
    ASSERT_TRUE(load_image(in_ / "a.png", a));
    ASSERT_TRUE(load_image(in_ / "b.jpg", b));
    EXPECT_EQ(10, a.width);
    EXPECT_EQ(5, a.height);
    EXPECT_EQ(5, b.width);
    EXPECT_EQ(10, b.height);
    EXPECT_EQ("jpeg", format_by_magic(in_ / "b.jpg"));
}

// Paths near the batch's 1023-byte limit, built from nested directories
// because a single name may not exceed 255 bytes.
class BatchLongPaths : public Batch {
protected:
    void SetUp() override
    {
        Batch::SetUp();
#ifdef _WIN32
        GTEST_SKIP() << "the Win32 ANSI calls stop at MAX_PATH long before 1023 bytes";
#endif
    }

    // Creates a directory under dir_ whose path text is exactly `length` bytes.
    fs::path directory_of_length(const std::string &tag, size_t length)
    {
        fs::path directory = dir_ / tag;
        while (narrow(directory).size() + 1 < length) {
            const size_t room = length - narrow(directory).size() - 1;
            directory /= std::string(std::min<size_t>(room, 200), 'd');
        }
        EXPECT_EQ(length, narrow(directory).size());
        fs::create_directories(directory);
        return directory;
    }
};

TEST_F(BatchLongPaths, AJoinedInputPathBeyond1023BytesIsSkippedAsAFailure)
{
    // directory + "/" + name: 1000 + 1 + 22 = 1023 bytes fits, 1024 does not.
    const fs::path input = directory_of_length("in-long", 1000);
    const std::string fits = "fits-exactly-12345.png";  // 22 bytes
    const std::string too_long = "one-byte-too-long1.png"; // 22 bytes as well
    write_png(input / fits, make_noise(4, 4, 3));
    const fs::path other = directory_of_length("in-longer", 1001);
    write_png(other / too_long, make_noise(4, 4, 3));

    EXPECT_EQ(1, imgresize_batch(narrow(input).c_str(), narrow(out_).c_str(), 2, 2));
    EXPECT_STREQ("", imgresize_last_error());
    EXPECT_EQ(std::set<std::string>{fits}, files_in(out_));

    EXPECT_EQ(0, imgresize_batch(narrow(other).c_str(), narrow(out_).c_str(), 2, 2));
    // A message naming a path this long is itself cut to the 1023 characters
    // the last-error text holds.
    EXPECT_EQ(("Batch path too long: '" + narrow(other) + "' joined with '" + too_long +
               "' exceeds 1023 bytes")
                  .substr(0, 1023),
              imgresize_last_error());
    EXPECT_EQ(std::set<std::string>{fits}, files_in(out_));
}

TEST_F(BatchLongPaths, AJoinedOutputPathBeyond1023BytesIsSkippedAsAFailure)
{
    const fs::path output = directory_of_length("out-long", 1001);
    const std::string name = "twenty-two-bytes-a.png";
    write_png(in_ / name, make_noise(4, 4, 3));
    EXPECT_EQ(0, imgresize_batch(narrow(in_).c_str(), narrow(output).c_str(), 2, 2));
    EXPECT_EQ(("Batch path too long: '" + narrow(output) + "' joined with '" + name +
               "' exceeds 1023 bytes")
                  .substr(0, 1023),
              imgresize_last_error());
    EXPECT_TRUE(files_in(output).empty());
    // No file under a cut name either: the cut would end inside the output
    // directory's own path.
    EXPECT_TRUE(files_in(output.parent_path()).empty());
}

TEST_F(BatchLongPaths, AnInputDirectoryWhosePatternDoesNotFitCannotBeOpened)
{
    // The search pattern is the directory + "/*.*": 1019 + 4 bytes fit.
    const fs::path fits = directory_of_length("fits", 1019);
    EXPECT_EQ(0, imgresize_batch(narrow(fits).c_str(), narrow(out_).c_str(), 2, 2));
    EXPECT_STREQ("", imgresize_last_error());

    const fs::path too_long = directory_of_length("too-long", 1020);
    EXPECT_EQ(-1, imgresize_batch(narrow(too_long).c_str(), narrow(out_).c_str(), 2, 2));
    EXPECT_EQ(("Failed to open input directory: " + narrow(too_long)).substr(0, 1023),
              imgresize_last_error());
}

} // namespace
