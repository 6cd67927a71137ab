// Shared pieces of the fuzz targets: an in-memory file the readers open by
// path, a check that stops the run when an invariant breaks, and the entry
// point macro. Each target is a plain function so that the replay test can
// call all of them from one program; the fuzz build adds libFuzzer's entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvidfuzz {

// The bytes as a regular file in memory; the path stays valid for the whole
// process and each call replaces the content.
std::string memoryFile(const std::uint8_t* data, std::size_t size);

// A private folder for targets that need real directory entries, empty on return.
std::string emptyScratchFolder();

[[noreturn]] inline void checkFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

int readerTarget(const std::uint8_t* data, std::size_t size);
int catalogueTarget(const std::uint8_t* data, std::size_t size);
int sourceParserTarget(const std::uint8_t* data, std::size_t size);
int indexRecoveryTarget(const std::uint8_t* data, std::size_t size);
int skinTarget(const std::uint8_t* data, std::size_t size);
int helpTarget(const std::uint8_t* data, std::size_t size);
int cutterTarget(const std::uint8_t* data, std::size_t size);

}  // namespace korvidfuzz

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::korvidfuzz::checkFailed(#cond, __FILE__, __LINE__))

#ifdef KORVID_FUZZ_ENTRY
#define KORVID_FUZZ_TARGET(fn)                                                          \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        return ::korvidfuzz::fn(data, size);                                            \
    }
#else
#define KORVID_FUZZ_TARGET(fn)
#endif
