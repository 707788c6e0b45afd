// libFuzzer entry point: treats the input as an image file and drives the
// library's exported functions as a host program would, through files.
//
// For every input it writes the bytes under several extensions and asks
// imgresize_info() about each; when the image has a size it is fitted into
// small boxes with every filter and every output format (PNG, JPEG, BMP, TGA
// and an unknown extension, which falls back to PNG), and each output is
// read back with imgresize_info() and deleted.
//
// Besides the sanitizers' own checks, the documented behaviour of the calls
// is checked and a breach aborts: a failure leaves a message, a success
// leaves none, and a fitted output exists, decodes and fits its box while
// touching it on at least one side.
//
// Inputs whose header claims more than kMaxPixels pixels are only inspected,
// not resized: decoding them twenty times would make the fuzzer time out
// without reaching any code that smaller images do not reach.
#include "imgresize.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr long long kMaxPixels = 1LL << 18;

// A directory of its own for this process, removed when the process exits.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::random_device random;
        const fs::path base = fs::temp_directory_path();
        for (;;) {
            path_ = base / ("imgresize-fuzz-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(path_, error))
                return;
            if (error) {
                std::fprintf(stderr, "cannot create %s: %s\n", path_.string().c_str(),
                             error.message().c_str());
                std::abort();
            }
        }
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const char *name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

const ScratchDirectory &scratch()
{
    static const ScratchDirectory directory;
    return directory;
}

[[noreturn]] void fail(const char *what, const std::string &path)
{
    std::fprintf(stderr, "imgresize contract broken: %s (%s); last error: \"%s\"\n", what,
                 path.c_str(), imgresize_last_error());
    std::abort();
}

void write_file(const std::string &path, const uint8_t *data, size_t size)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

// Width and height from an imgresize_info() record; false for "". The
// record passes on what the decoder's header query says, which for a
// malformed header can be 0 or negative.
bool info_size(const std::string &path, long long &width, long long &height)
{
    const char *record = imgresize_info(path.c_str());
    if (record == nullptr)
        fail("imgresize_info returned NULL", path);
    if (record[0] == '\0') {
        if (imgresize_last_error()[0] == '\0')
            fail("imgresize_info failed without a message", path);
        return false;
    }
    if (imgresize_last_error()[0] != '\0')
        fail("imgresize_info succeeded but left a message", path);
    if (std::sscanf(record, "{\"width\":%lld,\"height\":%lld,", &width, &height) != 2)
        fail("imgresize_info record has no size", path);
    return true;
}

struct Output {
    const char *name;
    int max_width, max_height; // each box shrinks some inputs and enlarges others
};

const Output kOutputs[] = {
    {"out.png", 8, 8}, {"out.jpg", 5, 3}, {"out.bmp", 1, 1}, {"out.tga", 17, 4}, {"out.xyz", 3, 11},
};

// Fits `input` into the output's box; false when the library reports failure.
bool fit_once(const std::string &input, const Output &output)
{
    const std::string path = scratch().file(output.name);
    if (!imgresize_fit(input.c_str(), path.c_str(), output.max_width, output.max_height)) {
        if (imgresize_last_error()[0] == '\0')
            fail("imgresize_fit failed without a message", input);
        std::error_code ignored;
        fs::remove(path, ignored);
        return false;
    }
    if (imgresize_last_error()[0] != '\0')
        fail("imgresize_fit succeeded but left a message", input);
    long long width = 0, height = 0;
    if (!info_size(path, width, height))
        fail("imgresize_fit wrote an output that does not decode", path);
    if (width < 1 || height < 1 || width > output.max_width || height > output.max_height ||
        (width != output.max_width && height != output.max_height))
        fail("imgresize_fit output does not fit its box on one side exactly", path);
    std::error_code ignored;
    fs::remove(path, ignored);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    imgresize_init();

    // The decoders ignore the extension; imgresize_info() names the format
    // from it when the first bytes do not.
    static const char *const kInputNames[] = {"in.png", "in.jpg", "in.tga", "in.dat"};
    bool has_size = false;
    long long width = 0, height = 0;
    std::string input;
    for (const char *name : kInputNames) {
        input = scratch().file(name);
        write_file(input, data, size);
        has_size = info_size(input, width, height) && width > 0 && height > 0;
        std::error_code ignored;
        fs::remove(input, ignored);
    }
    write_file(input, data, size);

    if (!has_size) {
        // Resizing must fail cleanly too, or cope with the header's size.
        (void)fit_once(input, kOutputs[0]);
    } else if (width * height <= kMaxPixels) {
        // Once the decoder refuses the file, every later call would too.
        bool decodes = true;
        for (int filter = 0; filter < 4 && decodes; ++filter) {
            imgresize_set_filter(filter);
            imgresize_set_quality(1 + filter * 33);
            for (const Output &output : kOutputs)
                if (!(decodes = fit_once(input, output)))
                    break;
        }
    }
    std::error_code ignored;
    fs::remove(input, ignored);
    return 0;
}
