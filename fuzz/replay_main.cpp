// Runs the fuzz harness without libFuzzer, built by any compiler.
//
//   fuzz_replay               every seed of the generated corpus and every
//                             hostile fixture; each seed must also be
//                             described by imgresize_info() with its size
//   fuzz_replay PATH...       the files given, and the files inside the
//                             directories given (a crash or corpus to check)
//
// The harness aborts on a broken contract and the sanitizers of an
// instrumented build stop the process on a memory fault, so reaching the end
// means every input passed.
#include "imgresize.h"
#include "seed_corpus.h"

#ifdef IMGRESIZE_HAVE_HOSTILE_FIXTURES
#  include "hostile_fixtures.h"
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

void replay(const std::string &name, const std::vector<unsigned char> &bytes)
{
    std::printf("replay %s (%zu bytes)\n", name.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

std::vector<unsigned char> read_file(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// 1 when imgresize_info(), given the seed in a file with the seed's
// extension, reports the size the seed was made with, and the whole image
// decodes (imgresize_fit succeeds).
int seed_reads_back(const imgfuzz::Seed &seed, const fs::path &directory)
{
    const fs::path path = directory / (seed.name + seed.extension);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char *>(seed.bytes.data()),
                  static_cast<std::streamsize>(seed.bytes.size()));
    }
    const std::string record = imgresize_info(path.string().c_str());
    const std::string expected = "{\"width\":" + std::to_string(seed.width) + ",\"height\":" +
                                 std::to_string(seed.height) + ",";
    int ok = 1;
    if (record.compare(0, expected.size(), expected) != 0) {
        std::printf("FAILED %s: expected %s..., imgresize_info gave \"%s\" (%s)\n",
                    seed.name.c_str(), expected.c_str(), record.c_str(), imgresize_last_error());
        ok = 0;
    }
    const fs::path output = directory / "resized.png";
    if (!imgresize_fit(path.string().c_str(), output.string().c_str(), 4, 4)) {
        std::printf("FAILED %s: %s\n", seed.name.c_str(), imgresize_last_error());
        ok = 0;
    }
    fs::remove(path);
    fs::remove(output);
    return ok;
}

int replay_everything()
{
    const fs::path directory =
        fs::temp_directory_path() / ("imgresize-replay-" + std::to_string(std::random_device()()));
    fs::create_directories(directory);
    int seeds = 0, failed = 0;
    for (const imgfuzz::Seed &seed : imgfuzz::seed_corpus()) {
        if (!seed_reads_back(seed, directory))
            ++failed;
        replay(seed.name + seed.extension, seed.bytes);
        ++seeds;
    }
    fs::remove_all(directory);
    int hostile = 0;
#ifdef IMGRESIZE_HAVE_HOSTILE_FIXTURES
    for (const HostileFixture &fixture : hostile_fixtures()) {
        replay(std::string("hostile ") + fixture.name + fixture.extension, fixture.bytes);
        ++hostile;
    }
#endif
    std::printf("%d seeds and %d hostile fixtures replayed; %d seeds not read back\n",
                seeds, hostile, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return replay_everything();
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> files;
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry &entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(argv[i]);
        }
        for (const fs::path &file : files) {
            replay(file.string(), read_file(file));
            ++count;
        }
    }
    std::printf("%d files replayed\n", count);
    return 0;
}
