// Small, valid image files of every format and layout the decoders read,
// made in memory: the fuzzer's starting corpus and the replay test's cases.
#ifndef IMGRESIZE_SEED_CORPUS_H
#define IMGRESIZE_SEED_CORPUS_H

#include <string>
#include <vector>

namespace imgfuzz {

struct Seed {
    std::string name;      // file name stem, starting with the format: "png-rgb-16bit"
    std::string extension; // the format's usual extension, dot included
    std::vector<unsigned char> bytes;
    int width;             // what the file's header says
    int height;
};

// Every seed, in a fixed order; the same bytes on every call and platform.
std::vector<Seed> seed_corpus();

} // namespace imgfuzz

#endif
