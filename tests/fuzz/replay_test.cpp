// Every committed seed and every saved crash, hang or leak reproducer goes
// through the entry point of its fuzz target; a fault that came back would
// crash or trip a check here.
#include "fuzzsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

struct Case {
    const char* name;
    Target target;
    std::size_t minimumSeeds;
};

const Case kCases[] = {
    {"reader", korvidfuzz::readerTarget, 3},
    {"catalogue", korvidfuzz::catalogueTarget, 3},
    {"sourceparser", korvidfuzz::sourceParserTarget, 3},
    {"indexrecovery", korvidfuzz::indexRecoveryTarget, 2},
    {"skin", korvidfuzz::skinTarget, 2},
    {"help", korvidfuzz::helpTarget, 2},
    {"cutter", korvidfuzz::cutterTarget, 3},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::size_t replayFolder(const fs::path& dir, Target target) {
    std::size_t n = 0;
    if (!fs::is_directory(dir)) return 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().filename().string().front() == '.') continue;
        std::ifstream in(e.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        SCOPED_TRACE(e.path().string());
        EXPECT_EQ(target(bytes.data(), bytes.size()), 0);
        ++n;
    }
    return n;
}

class Replay : public ::testing::TestWithParam<Case> {};

TEST_P(Replay, SeedsAndSavedCrashesPassTheirTarget) {
    const Case& c = GetParam();
    const fs::path root(KORVID_FUZZ_DIR);
    EXPECT_GE(replayFolder(root / "corpus" / c.name, c.target), c.minimumSeeds) << "seed corpus missing";
    replayFolder(root / "crashes" / c.name, c.target);
    // The empty input and a lone byte reach every early exit.
    const std::uint8_t one = 0xAB;
    EXPECT_EQ(c.target(nullptr, 0), 0);
    EXPECT_EQ(c.target(&one, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, Replay, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
