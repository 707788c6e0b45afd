// Writes the fuzzer's seed corpus: make_fuzz_corpus DIRECTORY
// Each seed becomes DIRECTORY/NAME.EXT; the hostile fixtures (malformed files
// that once broke a decoder) join them as hostile-NAME.EXT.
#include "seed_corpus.h"

#ifdef IMGRESIZE_HAVE_HOSTILE_FIXTURES
#  include "hostile_fixtures.h"
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static bool write_file(const fs::path &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out.good())
        std::fprintf(stderr, "make_fuzz_corpus: cannot write %s\n", path.string().c_str());
    return out.good();
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_corpus DIRECTORY\n");
        return 2;
    }
    const fs::path directory = argv[1];
    std::error_code error;
    fs::create_directories(directory, error);
    int count = 0;
    bool ok = true;
    for (const imgfuzz::Seed &seed : imgfuzz::seed_corpus()) {
        ok = write_file(directory / (seed.name + seed.extension), seed.bytes) && ok;
        ++count;
    }
#ifdef IMGRESIZE_HAVE_HOSTILE_FIXTURES
    for (const HostileFixture &fixture : hostile_fixtures()) {
        ok = write_file(directory / (std::string("hostile-") + fixture.name + fixture.extension),
                        fixture.bytes) && ok;
        ++count;
    }
#endif
    std::printf("%d files in %s\n", count, directory.string().c_str());
    return ok ? 0 : 1;
}
