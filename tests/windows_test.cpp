// Behaviour of quendril-imgresize.dll that only Windows has: the library is
// reached the way a C#, Python or C host without the import library reaches
// it (LoadLibraryA, then GetProcAddress by each function's plain name), the
// batch joins paths with a backslash and creates its output directory with
// _mkdir, and the info record holds file sizes beyond 32 bits.
#include "imgresize.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char *kLibrary = "quendril-imgresize.dll";

// The eleven entry points, typed from the public header so that a changed
// signature fails to compile here.
struct Api {
    HMODULE module = nullptr;
    decltype(&imgresize_init) init = nullptr;
    decltype(&imgresize_cleanup) cleanup = nullptr;
    decltype(&imgresize_set_quality) set_quality = nullptr;
    decltype(&imgresize_set_filter) set_filter = nullptr;
    decltype(&imgresize_last_error) last_error = nullptr;
    decltype(&imgresize_exact) exact = nullptr;
    decltype(&imgresize_fit) fit = nullptr;
    decltype(&imgresize_percent) percent = nullptr;
    decltype(&imgresize_thumbnail) thumbnail = nullptr;
    decltype(&imgresize_batch) batch = nullptr;
    decltype(&imgresize_info) info = nullptr;
};

template <typename Function>
void resolve(HMODULE module, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// Loads the DLL from the test program's directory, as a host naming only the
// file does, and finds every function by its undecorated name.
Api load_api()
{
    Api api;
    api.module = LoadLibraryA(kLibrary);
    if (api.module == nullptr)
        return api;
    resolve(api.module, "imgresize_init", api.init);
    resolve(api.module, "imgresize_cleanup", api.cleanup);
    resolve(api.module, "imgresize_set_quality", api.set_quality);
    resolve(api.module, "imgresize_set_filter", api.set_filter);
    resolve(api.module, "imgresize_last_error", api.last_error);
    resolve(api.module, "imgresize_exact", api.exact);
    resolve(api.module, "imgresize_fit", api.fit);
    resolve(api.module, "imgresize_percent", api.percent);
    resolve(api.module, "imgresize_thumbnail", api.thumbnail);
    resolve(api.module, "imgresize_batch", api.batch);
    resolve(api.module, "imgresize_info", api.info);
    return api;
}

bool complete(const Api &api)
{
    return api.module && api.init && api.cleanup && api.set_quality && api.set_filter &&
           api.last_error && api.exact && api.fit && api.percent && api.thumbnail && api.batch &&
           api.info;
}

// A 4x3 RGB binary PPM: a format the decoder reads and no output format uses.
void write_ppm(const fs::path &path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n4 3\n255\n";
    for (int i = 0; i < 4 * 3; ++i) {
        const char pixel[3] = {static_cast<char>(i * 20), static_cast<char>(255 - i * 20), 64};
        out.write(pixel, sizeof pixel);
    }
}

void write_bytes(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class WindowsDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        api_ = load_api();
        ASSERT_TRUE(complete(api_)) << "cannot load " << kLibrary << " or one of its functions";
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("imgresize-windows-" + std::to_string(GetCurrentProcessId()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        dir_.make_preferred();
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        if (api_.module != nullptr)
            FreeLibrary(api_.module);
    }

    // A 4x3 PNG made by the library from a PPM.
    void make_png(const fs::path &path)
    {
        const fs::path ppm = dir_ / "source.ppm";
        write_ppm(ppm);
        ASSERT_EQ(api_.exact(ppm.string().c_str(), path.string().c_str(), 4, 3), 1)
            << api_.last_error();
    }

    Api api_;
    fs::path dir_;
};

TEST_F(WindowsDll, EveryFunctionIsExportedUnderItsPlainName)
{
    static const char *const names[] = {
        "imgresize_init",       "imgresize_cleanup", "imgresize_set_quality",
        "imgresize_set_filter", "imgresize_last_error", "imgresize_exact",
        "imgresize_fit",        "imgresize_percent", "imgresize_thumbnail",
        "imgresize_batch",      "imgresize_info",
    };
    for (const char *name : names) {
        SCOPED_TRACE(name);
        EXPECT_NE(GetProcAddress(api_.module, name), nullptr);
        // __stdcall adds no decoration on x64, so no "_name@N" variants exist.
        EXPECT_EQ(GetProcAddress(api_.module, ("_" + std::string(name)).c_str()), nullptr);
    }

    char path[MAX_PATH] = "";
    ASSERT_GT(GetModuleFileNameA(api_.module, path, MAX_PATH), 0u);
    EXPECT_EQ(fs::path(path).filename().string(), kLibrary);
}

TEST_F(WindowsDll, FunctionsFoundByNameCanBeCalled)
{
    EXPECT_EQ(api_.init(), 1);
    EXPECT_STREQ(api_.last_error(), "");

    EXPECT_STREQ(api_.info(nullptr), "");
    EXPECT_STREQ(api_.last_error(), "Input path is NULL or empty");
    api_.cleanup();
    EXPECT_STREQ(api_.last_error(), "");

    api_.set_quality(90);
    api_.set_filter(3);
    const fs::path png = dir_ / "small.png";
    make_png(png);
    const fs::path jpeg = dir_ / "double.jpg";
    EXPECT_EQ(api_.percent(png.string().c_str(), jpeg.string().c_str(), 200), 1)
        << api_.last_error();
    const std::string record = api_.info(jpeg.string().c_str());
    EXPECT_EQ(record.rfind("{\"width\":8,\"height\":6,\"format\":\"jpeg\",\"file_size\":", 0), 0u)
        << record;
    EXPECT_EQ(api_.thumbnail(png.string().c_str(), (dir_ / "thumb.bmp").string().c_str(), 2), 1);
    EXPECT_EQ(api_.fit(png.string().c_str(), (dir_ / "fit.tga").string().c_str(), 8, 8), 1);
    EXPECT_EQ(api_.init(), 1);
}

TEST_F(WindowsDll, UnloadingAndReloadingStartsFromTheInitialState)
{
    EXPECT_STREQ(api_.info(""), "");
    EXPECT_STREQ(api_.last_error(), "Input path is NULL or empty");

    ASSERT_TRUE(FreeLibrary(api_.module));
    api_.module = nullptr;
    ASSERT_EQ(GetModuleHandleA(kLibrary), nullptr) << "the DLL is still loaded";

    api_ = load_api();
    ASSERT_TRUE(complete(api_));
    EXPECT_STREQ(api_.last_error(), "");
}

// Directory arguments as a caller may write them: with the native backslash
// or with forward slashes, which Windows accepts too. Either way the library
// joins directory and file name with one backslash.
struct DirectorySpelling {
    const char *label;
    bool forward_slashes;
};

void PrintTo(const DirectorySpelling &spelling, std::ostream *out)
{
    *out << spelling.label;
}

class WindowsBatch : public WindowsDll, public ::testing::WithParamInterface<DirectorySpelling> {
protected:
    std::string spelled(const fs::path &path) const
    {
        std::string text = path.string();
        if (GetParam().forward_slashes)
            for (char &c : text)
                if (c == '\\')
                    c = '/';
        return text;
    }
};

TEST_P(WindowsBatch, JoinsDirectoryAndNameWithABackslash)
{
    const fs::path in = dir_ / "in";
    const fs::path out = dir_ / "out";
    fs::create_directory(in);
    make_png(in / "photo.PNG");

    const std::string in_text = spelled(in);
    const std::string out_text = spelled(out);
    ASSERT_EQ(api_.batch(in_text.c_str(), out_text.c_str(), 2, 2), 1) << api_.last_error();
    EXPECT_STREQ(api_.last_error(), "");
    EXPECT_TRUE(fs::is_regular_file(out / "photo.PNG"));

    const std::string written = out_text + "\\photo.PNG";
    EXPECT_STREQ(api_.info(written.c_str()),
                 ("{\"width\":2,\"height\":2,\"format\":\"png\",\"file_size\":" +
                  std::to_string(fs::file_size(out / "photo.PNG")) + "}")
                     .c_str());
}

TEST_P(WindowsBatch, FailureMessageNamesTheJoinedPath)
{
    const fs::path in = dir_ / "in";
    fs::create_directory(in);
    write_bytes(in / "broken.png", "this is not an image");

    const std::string in_text = spelled(in);
    EXPECT_EQ(api_.batch(in_text.c_str(), spelled(dir_ / "out").c_str(), 10, 10), 0);
    EXPECT_EQ(std::string(api_.last_error()),
              "Failed to inspect or load image '" + in_text + "\\broken.png': unknown image type");
}

INSTANTIATE_TEST_SUITE_P(Spellings, WindowsBatch,
                         ::testing::Values(DirectorySpelling{"backslashes", false},
                                           DirectorySpelling{"forward_slashes", true}),
                         [](const auto &param) { return std::string(param.param.label); });

TEST_F(WindowsDll, BatchCreatesOneLevelOfOutputDirectory)
{
    const fs::path in = dir_ / "in";
    fs::create_directory(in);
    make_png(in / "a.png");

    const fs::path out = dir_ / "made";
    ASSERT_FALSE(fs::exists(out));
    EXPECT_EQ(api_.batch(in.string().c_str(), out.string().c_str(), 2, 2), 1)
        << api_.last_error();
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(fs::is_regular_file(out / "a.png"));

    // _mkdir makes no parents: two missing levels stay missing, and every
    // file fails at its write.
    const fs::path deep = dir_ / "missing" / "deeper";
    EXPECT_EQ(api_.batch(in.string().c_str(), deep.string().c_str(), 2, 2), 0);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_EQ(std::string(api_.last_error()),
              "Failed to write PNG output: " + deep.string() + "\\a.png");
}

TEST_F(WindowsDll, BatchCreatesOutputDirectoryEvenWhenInputIsMissing)
{
    const fs::path in = dir_ / "no-such-dir";
    const fs::path out = dir_ / "made";
    EXPECT_EQ(api_.batch(in.string().c_str(), out.string().c_str(), 2, 2), -1);
    EXPECT_EQ(std::string(api_.last_error()), "Failed to open input directory: " + in.string());
    EXPECT_TRUE(fs::is_directory(out));
}

TEST_F(WindowsDll, InfoOfADirectoryFailsToOpenIt)
{
    // Windows' fopen refuses a directory with EACCES.
    EXPECT_STREQ(api_.info(dir_.string().c_str()), "");
    EXPECT_EQ(std::string(api_.last_error()),
              "Failed to open file '" + dir_.string() + "': Permission denied");
}

// Extends `path` to `size` bytes without writing them: marked sparse where the
// file system supports that, so the disk is not filled.
bool extend_sparse(const fs::path &path, std::int64_t size)
{
    HANDLE file = CreateFileA(path.string().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    (void)DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

TEST_F(WindowsDll, InfoReportsFileSizesBeyondThirtyTwoBits)
{
    // A PNG at the start of the file; the decoder reads only its header.
    struct Case {
        std::int64_t size;
        const char *record;
    };
    static const Case cases[] = {
        {2147483648LL, "{\"width\":4,\"height\":3,\"format\":\"png\",\"file_size\":2147483648}"},
        {5368709125LL, "{\"width\":4,\"height\":3,\"format\":\"png\",\"file_size\":5368709125}"},
    };
    const fs::path big = dir_ / "big.png";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        make_png(big);
        ASSERT_TRUE(extend_sparse(big, c.size)) << "cannot extend " << big;
        EXPECT_STREQ(api_.info(big.string().c_str()), c.record) << api_.last_error();
        fs::remove(big);
    }
}

} // namespace
