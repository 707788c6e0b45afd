// Helpers shared by the test programs: small images made at test time,
// files written with stb_image_write and read back with stb_image (both
// compiled privately into test_support.cpp), and a fixture that gives each
// test its own empty directory and default library settings.
#ifndef IMGRESIZE_TEST_SUPPORT_H
#define IMGRESIZE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace imgtest {

namespace fs = std::filesystem;

// 8-bit interleaved pixels, rows top to bottom, as the library works on them.
struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<unsigned char> pixels;

    unsigned char at(int x, int y, int channel) const
    {
        return pixels[(static_cast<size_t>(y) * width + x) * channels + channel];
    }
    unsigned char &at(int x, int y, int channel)
    {
        return pixels[(static_cast<size_t>(y) * width + x) * channels + channel];
    }
};

// Deterministic noise: neighbouring pixels differ, so every filter leaves its
// own trace in a resized copy.
Image make_noise(int width, int height, int channels, unsigned seed = 1);
// Every sample set to `value`.
Image make_uniform(int width, int height, int channels, unsigned char value);

// Writers; each fails the current test when the file cannot be written.
void write_png(const fs::path &path, const Image &image);
void write_jpeg(const fs::path &path, const Image &image, int quality = 95);
void write_bmp(const fs::path &path, const Image &image);
void write_tga(const fs::path &path, const Image &image); // run-length encoded
// A GIF89a whose logical screen is `width` x `height`, holding one frame of
// that size in palette colour 0 (black) with a two-colour global palette.
std::vector<unsigned char> make_gif(int width, int height);

void write_bytes(const fs::path &path, const std::vector<unsigned char> &bytes);
void write_text(const fs::path &path, const std::string &text);
std::vector<unsigned char> read_bytes(const fs::path &path);

// Decodes with stb_image in the file's own channel count. False when the
// file does not decode.
bool load_image(const fs::path &path, Image &image);
// The channel count stb_image reports for a file (what the file stores), or 0.
int stored_channels(const fs::path &path);

// "png", "jpeg", "bmp", "gif" or "tga" from the file's first bytes; "empty"
// for a missing or empty file; "other" for anything else.
std::string format_by_magic(const fs::path &path);

// Narrow path text as the library receives it.
inline std::string narrow(const fs::path &path) { return path.string(); }

// Gives each test an empty directory of its own, removed afterwards, and
// resets the library's settings before and after the test.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Path text of `name` inside the test's directory.
    std::string path(const std::string &name) const { return narrow(dir_ / fs::u8path(name)); }

    fs::path dir_;
};

} // namespace imgtest

#endif
