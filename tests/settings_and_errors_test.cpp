// Settings (JPEG quality, filter), their resets, and the last-error channel.
// Settings have no getters, so each is observed where it acts: the quality in
// the JPEG failure message and the JPEG bytes, the filter in the pixels.
#include "imgresize.h"
#include "test_support.h"

#include <climits>
#include <cstring>
#include <functional>
#include <random>

namespace {

using namespace imgtest;

// What the library shows before any test has called it, recorded once per
// process before the first test runs (ctest runs every test in a process of
// its own, so this is the state straight after loading).
struct LoadState {
    std::string last_error = "<not recorded>";
    std::string jpeg_failure;
    std::string jpeg_target;
    Image default_filter_result;
    Image filter2_result;
};
LoadState g_load;

class LoadStateProbe : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_load.last_error = imgresize_last_error();
        const fs::path dir = fs::temp_directory_path() /
                             ("imgresize-load-state-" + std::to_string(std::random_device()()));
        fs::create_directories(dir);
        write_png(dir / "in.png", make_noise(6, 5, 3));
        g_load.jpeg_target = narrow(dir / "missing" / "out.jpg");
        imgresize_exact(narrow(dir / "in.png").c_str(), g_load.jpeg_target.c_str(), 4, 4);
        g_load.jpeg_failure = imgresize_last_error();
        imgresize_exact(narrow(dir / "in.png").c_str(), narrow(dir / "default.png").c_str(), 13, 11);
        load_image(dir / "default.png", g_load.default_filter_result);
        imgresize_set_filter(2);
        imgresize_exact(narrow(dir / "in.png").c_str(), narrow(dir / "filter2.png").c_str(), 13, 11);
        load_image(dir / "filter2.png", g_load.filter2_result);
        imgresize_init();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};
::testing::Environment *const g_load_probe =
    ::testing::AddGlobalTestEnvironment(new LoadStateProbe);

class SettingsAndErrors : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        input_ = path("in.png");
        write_png(input_, make_noise(6, 5, 3));
    }

    // Provokes a JPEG write failure; its message carries the stored quality.
    std::string jpeg_failure_message()
    {
        EXPECT_EQ(0, imgresize_exact(input_.c_str(), missing_jpeg().c_str(), 4, 4));
        return imgresize_last_error();
    }
    std::string missing_jpeg() const { return narrow(dir_ / "missing" / "out.jpg"); }
    std::string expected_jpeg_failure(int quality) const
    {
        return "Failed to write JPEG output (quality " + std::to_string(quality) + "): " +
               missing_jpeg();
    }

    // The current filter's result for a fixed enlargement.
    Image resized_with_current_filter()
    {
        const std::string output = path("filtered-" + std::to_string(outputs_++) + ".png");
        EXPECT_EQ(1, imgresize_exact(input_.c_str(), output.c_str(), 13, 11));
        Image image;
        EXPECT_TRUE(load_image(output, image));
        return image;
    }
    Image resized_with_filter(int code)
    {
        imgresize_set_filter(code);
        return resized_with_current_filter();
    }

    std::string input_;
    int outputs_ = 0;
};

TEST(SettingsAtLoad, LastErrorIsEmptyBeforeAnyCall)
{
    EXPECT_EQ("", g_load.last_error);
}

TEST(SettingsAtLoad, QualityIs85AndFilterIsCatmullRomWithoutInit)
{
    EXPECT_EQ("Failed to write JPEG output (quality 85): " + g_load.jpeg_target, g_load.jpeg_failure);
    ASSERT_FALSE(g_load.default_filter_result.pixels.empty());
    EXPECT_EQ(g_load.filter2_result.pixels, g_load.default_filter_result.pixels);
}

TEST_F(SettingsAndErrors, QualityIsClampedInto1To100)
{
    const struct {
        int requested;
        int stored;
    } cases[] = {
        {0, 1},   {-7, 1},   {INT_MIN, 1},  {1, 1},       {2, 2},
        {10, 10}, {99, 99},  {100, 100},    {101, 100},   {250, 100},
        {INT_MAX, 100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("set_quality(" + std::to_string(c.requested) + ")");
        imgresize_set_quality(c.requested);
        EXPECT_EQ(expected_jpeg_failure(c.stored), jpeg_failure_message());
    }
}

TEST_F(SettingsAndErrors, QualityShapesTheJpegAndClampedValuesWriteAsTheirBound)
{
    auto jpeg_at = [this](int quality) {
        imgresize_set_quality(quality);
        const std::string output = path("q" + std::to_string(quality) + ".jpg");
        EXPECT_EQ(1, imgresize_exact(input_.c_str(), output.c_str(), 40, 40));
        return read_bytes(output);
    };
    const auto q100 = jpeg_at(100);
    const auto q10 = jpeg_at(10);
    EXPECT_LT(q10.size(), q100.size());
    EXPECT_EQ(q100, jpeg_at(250));
    EXPECT_EQ(jpeg_at(1), jpeg_at(-7));
    EXPECT_NE(jpeg_at(1), q10);
}

TEST_F(SettingsAndErrors, FilterCodesOutsideZeroToThreeSelectCatmullRom)
{
    const Image catmull_rom = resized_with_filter(2);
    for (int code : {4, 9, -1, INT_MIN, INT_MAX}) {
        SCOPED_TRACE("set_filter(" + std::to_string(code) + ")");
        imgresize_set_filter(0); // a different filter first, so the call must change it
        EXPECT_EQ(catmull_rom.pixels, resized_with_filter(code).pixels);
    }
}

TEST_F(SettingsAndErrors, ValidFilterCodesAreStored)
{
    const Image catmull_rom = resized_with_filter(2);
    for (int code : {0, 1, 3}) {
        SCOPED_TRACE("set_filter(" + std::to_string(code) + ")");
        const Image first = resized_with_filter(code);
        EXPECT_NE(catmull_rom.pixels, first.pixels);
        // A stored code stays until changed.
        EXPECT_EQ(first.pixels, resized_with_current_filter().pixels);
    }
}

TEST_F(SettingsAndErrors, SettersLeaveLastErrorAlone)
{
    ASSERT_EQ(0, imgresize_exact(nullptr, "out.png", 1, 1));
    imgresize_set_quality(50);
    imgresize_set_quality(500);
    imgresize_set_filter(1);
    imgresize_set_filter(-3);
    EXPECT_STREQ("Input path is NULL or empty", imgresize_last_error());
}

TEST_F(SettingsAndErrors, InitAndCleanupRestoreDefaultsAndEmptyLastError)
{
    const Image catmull_rom = resized_with_filter(2);
    for (bool use_init : {true, false}) {
        SCOPED_TRACE(use_init ? "imgresize_init" : "imgresize_cleanup");
        imgresize_set_quality(10);
        imgresize_set_filter(3);
        ASSERT_EQ(0, imgresize_exact(nullptr, nullptr, 0, 0));
        if (use_init)
            EXPECT_EQ(1, imgresize_init());
        else
            imgresize_cleanup();
        EXPECT_STREQ("", imgresize_last_error());
        EXPECT_EQ(expected_jpeg_failure(85), jpeg_failure_message());
        EXPECT_EQ(catmull_rom.pixels, resized_with_current_filter().pixels);
    }
}

TEST_F(SettingsAndErrors, ResetsLeaveTheInfoRecordAlone)
{
    const char *record = imgresize_info(input_.c_str());
    const std::string expected = "{\"width\":6,\"height\":5,\"format\":\"png\",\"file_size\":" +
                                 std::to_string(fs::file_size(input_)) + "}";
    ASSERT_EQ(expected, record);
    EXPECT_EQ(1, imgresize_init());
    EXPECT_EQ(expected, record);
    imgresize_cleanup();
    EXPECT_EQ(expected, record);
    // Resizes and their failures do not touch it either.
    EXPECT_EQ(0, imgresize_exact(input_.c_str(), nullptr, 1, 1));
    EXPECT_EQ(1, imgresize_exact(input_.c_str(), path("o.png").c_str(), 2, 2));
    EXPECT_EQ(expected, record);
}

TEST_F(SettingsAndErrors, LastErrorIsOneBufferForTheLibrarysLife)
{
    const char *before = imgresize_last_error();
    ASSERT_NE(nullptr, before);
    EXPECT_EQ(0, imgresize_exact("", "", 0, 0));
    EXPECT_EQ(before, imgresize_last_error());
    EXPECT_STREQ("Input path is NULL or empty", before);
    EXPECT_EQ(1, imgresize_exact(input_.c_str(), path("o.png").c_str(), 3, 3));
    EXPECT_EQ(before, imgresize_last_error());
    EXPECT_STREQ("", before);
}

TEST_F(SettingsAndErrors, MessagesLongerThan1023CharactersAreCut)
{
    // "Failed to load image '" + path + "': can't fopen" is 36 characters
    // longer than the path.
    const struct {
        size_t path_length;
        std::string tail; // what must follow the path in the stored message
    } cases[] = {
        {987, "': can't fopen"}, // exactly 1023: kept whole
        {988, "': can't fope"},  // 1024: the last character is lost
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path_length);
        const std::string missing(c.path_length, 'm');
        EXPECT_EQ(0, imgresize_exact(missing.c_str(), "out.png", 1, 1));
        EXPECT_EQ("Failed to load image '" + missing + c.tail, imgresize_last_error());
    }

    const std::string long_path(2000, 'x');
    EXPECT_EQ(0, imgresize_exact(long_path.c_str(), "out.png", 1, 1));
    const std::string stored = imgresize_last_error();
    EXPECT_EQ(1023u, stored.size());
    EXPECT_EQ("Failed to load image '" + long_path.substr(0, 1001), stored);
}

TEST_F(SettingsAndErrors, EveryOperationEmptiesLastErrorBeforeItSucceeds)
{
    const std::string batch_in = path("batch-in");
    fs::create_directory(batch_in);
    write_png(fs::path(batch_in) / "a.png", make_noise(4, 4, 3));
    const std::string out = path("out.png");
    const struct {
        const char *name;
        std::function<bool()> succeed;
    } operations[] = {
        {"exact", [&] { return imgresize_exact(input_.c_str(), out.c_str(), 3, 3) == 1; }},
        {"fit", [&] { return imgresize_fit(input_.c_str(), out.c_str(), 3, 3) == 1; }},
        {"percent", [&] { return imgresize_percent(input_.c_str(), out.c_str(), 50) == 1; }},
        {"thumbnail", [&] { return imgresize_thumbnail(input_.c_str(), out.c_str(), 3) == 1; }},
        {"batch", [&] { return imgresize_batch(batch_in.c_str(), path("batch-out").c_str(), 2, 2) == 1; }},
        {"info", [&] { return imgresize_info(input_.c_str())[0] == '{'; }},
    };
    for (const auto &operation : operations) {
        SCOPED_TRACE(operation.name);
        ASSERT_EQ(0, imgresize_fit(nullptr, nullptr, 0, 0));
        ASSERT_STRNE("", imgresize_last_error());
        EXPECT_TRUE(operation.succeed());
        EXPECT_STREQ("", imgresize_last_error());
    }
}

TEST_F(SettingsAndErrors, AFailureReplacesThePreviousMessage)
{
    ASSERT_EQ(0, imgresize_exact(input_.c_str(), path("o.png").c_str(), 0, 7));
    ASSERT_STREQ("Invalid target dimensions: 0x7 (must be > 0)", imgresize_last_error());
    EXPECT_EQ(0, imgresize_percent(input_.c_str(), nullptr, 50));
    EXPECT_STREQ("Output path is NULL or empty", imgresize_last_error());
    EXPECT_STREQ("", imgresize_info(nullptr));
    EXPECT_STREQ("Input path is NULL or empty", imgresize_last_error());
}

} // namespace
