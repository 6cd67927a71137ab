#include "benchutil.h"

#include "h264paramsets.h"
#include "qmr3reader.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace bench {

double runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double s = secondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

int extractStream(const std::string& recording, const std::string& out) {
    qmr3::Qmr3Reader r;
    qmr3::Qmr3FileHeader h;
    if (!r.open(recording) || !r.readFileHeader(h)) return -1;
    const auto sets =
        qmr3::parameterSetsFor(qmr3::familyForProductId(h.productId), int(h.width), int(h.height));
    if (!sets) return -1;
    std::ofstream f(out, std::ios::binary);
    f.write(reinterpret_cast<const char*>(sets->data()), std::streamsize(sets->size()));
    int pictures = 0;
    qmr3::Qmr3Reader::Packet p;
    while (r.readNext(p) == qmr3::Qmr3Reader::Status::Ok) {
        if (p.header.stream != qmr3::kStreamVideo) continue;
        const std::size_t map = p.header.hasMotionMap() ? qmr3::kMotionMapBytes : 0;
        const std::size_t trailer = h.trailerFlag ? 4 : 0;
        if (p.payloadLength < map + trailer) continue;
        f.write(reinterpret_cast<const char*>(p.payload + map),
                std::streamsize(p.payloadLength - map - trailer));
        ++pictures;
    }
    return f ? pictures : -1;
}

}  // namespace bench
