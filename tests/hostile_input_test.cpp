// Files that once crashed stb_image, aborted it or made it return memory it
// never wrote (tests/hostile_fixtures.h), through the exported functions: each
// now fails with a message, or decodes to defined pixels (0 where the file
// lacks data).
#include "hostile_fixtures.h"
#include "imgresize.h"
#include "test_support.h"

#include <string>

namespace {

using namespace imgtest;

class HostileInput : public TempDirTest {
protected:
    // Writes the fixture called `name` into the test directory; its path, or
    // "" (and a failure) when there is no such fixture.
    std::string write_fixture(const std::string &name)
    {
        for (const HostileFixture &fixture : hostile_fixtures()) {
            if (name == fixture.name) {
                const std::string file = path(name + fixture.extension);
                write_bytes(file, fixture.bytes);
                return file;
            }
        }
        ADD_FAILURE() << "no fixture " << name;
        return "";
    }
};

TEST_F(HostileInput, EveryFixtureFailsWithAMessageOrSucceedsWithoutOne)
{
    const struct {
        const char *name;
        int (*run)(const char *input, const char *output);
    } operations[] = {
        {"exact", [](const char *in, const char *out) { return imgresize_exact(in, out, 5, 3); }},
        {"fit", [](const char *in, const char *out) { return imgresize_fit(in, out, 5, 5); }},
        {"percent", [](const char *in, const char *out) { return imgresize_percent(in, out, 150); }},
        {"thumbnail", [](const char *in, const char *out) { return imgresize_thumbnail(in, out, 4); }},
    };
    const std::string out = path("out.png");
    for (const HostileFixture &fixture : hostile_fixtures()) {
        SCOPED_TRACE(fixture.name);
        const std::string file = path(std::string(fixture.name) + fixture.extension);
        write_bytes(file, fixture.bytes);
        for (const auto &operation : operations) {
            SCOPED_TRACE(operation.name);
            fs::remove(out);
            const int result = operation.run(file.c_str(), out.c_str());
            EXPECT_TRUE(result == 0 || result == 1) << result;
            EXPECT_EQ(result == 1, std::string(imgresize_last_error()).empty())
                << imgresize_last_error();
            EXPECT_EQ(result == 1, fs::exists(out));
        }
        const std::string record = imgresize_info(file.c_str());
        EXPECT_EQ(record.empty(), !std::string(imgresize_last_error()).empty());
    }
}

TEST_F(HostileInput, BrokenPicPacketsFailWithTheDecodersReason)
{
    // Data cut short after the packets: the header query still reads the
    // size, the decode fails. A packet header cut short: both fail.
    const struct {
        const char *fixture;
        const char *info; // the record's start, or the failure's reason
        bool info_fails;
    } cases[] = {
        {"pic_truncated_packets", "{\"width\":2,\"height\":2,\"format\":\"unknown\"", false},
        {"pic_broken_packet_header", "bad file", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string file = write_fixture(c.fixture);
        const std::string out = path("out.png");

        EXPECT_EQ(0, imgresize_exact(file.c_str(), out.c_str(), 4, 4));
        EXPECT_EQ("Failed to load image '" + file + "': bad file", imgresize_last_error());
        EXPECT_EQ(0, imgresize_fit(file.c_str(), out.c_str(), 4, 4));
        EXPECT_EQ(std::string(c.info_fails ? "Failed to inspect or load image '"
                                           : "Failed to load image '") +
                      file + "': bad file",
                  imgresize_last_error());
        EXPECT_FALSE(fs::exists(out));

        const std::string record = imgresize_info(file.c_str());
        if (c.info_fails) {
            EXPECT_EQ("", record);
            EXPECT_EQ("Failed to read image info for '" + file + "': " + c.info,
                      imgresize_last_error());
        } else {
            EXPECT_EQ(c.info, record.substr(0, std::string(c.info).size()));
        }
    }
}

} // namespace
