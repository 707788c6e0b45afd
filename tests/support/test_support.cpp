// The one place where the tests compile stb: the decoder to check what the
// library wrote, the encoder to make fixtures. Both stay static to this file,
// so they can never be confused with the library's own copies.
#include "test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>

#if defined(__GNUC__)
#  pragma GCC diagnostic push
#  pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#  pragma GCC diagnostic ignored "-Wunused-function"
#  pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#if defined(__GNUC__)
#  pragma GCC diagnostic pop
#endif

#include "imgresize.h"

namespace imgtest {

Image make_noise(int width, int height, int channels, unsigned seed)
{
    Image image{width, height, channels, {}};
    image.pixels.resize(static_cast<size_t>(width) * height * channels);
    uint32_t state = seed * 2654435761u + 12345u;
    for (auto &sample : image.pixels) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<unsigned char>(state >> 24);
    }
    return image;
}

Image make_uniform(int width, int height, int channels, unsigned char value)
{
    Image image{width, height, channels, {}};
    image.pixels.assign(static_cast<size_t>(width) * height * channels, value);
    return image;
}

void write_png(const fs::path &path, const Image &image)
{
    ASSERT_NE(0, stbi_write_png(narrow(path).c_str(), image.width, image.height, image.channels,
                                image.pixels.data(), image.width * image.channels))
        << path;
}

void write_jpeg(const fs::path &path, const Image &image, int quality)
{
    ASSERT_NE(0, stbi_write_jpg(narrow(path).c_str(), image.width, image.height, image.channels,
                                image.pixels.data(), quality))
        << path;
}

void write_bmp(const fs::path &path, const Image &image)
{
    ASSERT_NE(0, stbi_write_bmp(narrow(path).c_str(), image.width, image.height, image.channels,
                                image.pixels.data()))
        << path;
}

void write_tga(const fs::path &path, const Image &image)
{
    ASSERT_NE(0, stbi_write_tga(narrow(path).c_str(), image.width, image.height, image.channels,
                                image.pixels.data()))
        << path;
}

std::vector<unsigned char> make_gif(int width, int height)
{
    std::vector<unsigned char> gif = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&gif](int value) {
        gif.push_back(static_cast<unsigned char>(value & 0xFF));
        gif.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    };
    put16(width);
    put16(height);
    gif.push_back(0x80); // global colour table of 2 entries
    gif.push_back(0);    // background colour
    gif.push_back(0);    // aspect ratio
    for (unsigned char colour : {0, 0, 0, 255, 255, 255})
        gif.push_back(colour);
    gif.push_back(0x2C); // image descriptor
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    gif.push_back(0);
    // LZW with a minimum code size of 2: clear is 4, end is 5, codes are 3
    // bits wide. A clear before every pixel keeps the table from growing.
    gif.push_back(2);
    std::vector<unsigned char> data;
    uint32_t bits = 0;
    int bit_count = 0;
    auto emit = [&](uint32_t code) {
        bits |= code << bit_count;
        bit_count += 3;
        while (bit_count >= 8) {
            data.push_back(static_cast<unsigned char>(bits & 0xFF));
            bits >>= 8;
            bit_count -= 8;
        }
    };
    for (long i = 0; i < static_cast<long>(width) * height; ++i) {
        emit(4);
        emit(0);
    }
    emit(5);
    if (bit_count > 0)
        data.push_back(static_cast<unsigned char>(bits & 0xFF));
    for (size_t offset = 0; offset < data.size(); offset += 255) {
        const size_t block = std::min<size_t>(255, data.size() - offset);
        gif.push_back(static_cast<unsigned char>(block));
        gif.insert(gif.end(), data.begin() + static_cast<long>(offset),
                   data.begin() + static_cast<long>(offset + block));
    }
    gif.push_back(0);    // end of the frame's data
    gif.push_back(0x3B); // trailer
    return gif;
}

void write_bytes(const fs::path &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good()) << path;
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out.good()) << path;
}

void write_text(const fs::path &path, const std::string &text)
{
    write_bytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<unsigned char> read_bytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

bool load_image(const fs::path &path, Image &image)
{
    int width = 0, height = 0, channels = 0;
    unsigned char *pixels = stbi_load(narrow(path).c_str(), &width, &height, &channels, 0);
    if (pixels == nullptr)
        return false;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height * channels);
    stbi_image_free(pixels);
    return true;
}

int stored_channels(const fs::path &path)
{
    int width = 0, height = 0, channels = 0;
    return stbi_info(narrow(path).c_str(), &width, &height, &channels) ? channels : 0;
}

std::string format_by_magic(const fs::path &path)
{
    const std::vector<unsigned char> bytes = read_bytes(path);
    if (bytes.empty())
        return "empty";
    auto starts_with = [&bytes](std::initializer_list<unsigned char> prefix) {
        return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
    };
    if (starts_with({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return "png";
    if (starts_with({0xFF, 0xD8, 0xFF}))
        return "jpeg";
    if (starts_with({'B', 'M'}))
        return "bmp";
    if (starts_with({'G', 'I', 'F', '8'}))
        return "gif";
    // TGA has no signature: an 18-byte header with no colour map and a true
    // colour or grey image type, plain or run-length encoded.
    if (bytes.size() >= 18 && bytes[1] == 0 &&
        (bytes[2] == 2 || bytes[2] == 3 || bytes[2] == 10 || bytes[2] == 11))
        return "tga";
    return "other";
}

void TempDirTest::SetUp()
{
    static std::atomic<unsigned> counter{0};
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char &c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    std::random_device random;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("imgresize-" + name.substr(0, 80) + "-" + std::to_string(random()) + "-" +
            std::to_string(stamp % 1000000) + "-" + std::to_string(counter++));
    fs::create_directories(dir_);
    imgresize_init();
}

void TempDirTest::TearDown()
{
    imgresize_cleanup();
    std::error_code error;
    // Read-only files cannot be removed on Windows.
    for (auto it = fs::recursive_directory_iterator(dir_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        // Never through a link: some tests point links at device files.
        std::error_code ignored;
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir_, error);
}

} // namespace imgtest
