// One export of a range of a recording into a file the user named: checks
// the range and the target, converts in a private temporary folder and under
// a temporary name beside the target, runs ffmpeg where the format needs it,
// and renames into place only what was completely written. Anything else is
// removed, also after a stop or a failure.
#pragma once

#include "cutengine.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrex {

enum class ClipFormat { Avi, Mp4, Wmv, Qmr3 };

// "avi", "mp4", "wmv", "qmr3"; false for anything else.
bool parseClipFormat(const std::string& text, ClipFormat& out);
const char* clipExtension(ClipFormat f);

struct ClipRequest {
    std::string source;
    std::string target;
    ClipFormat format = ClipFormat::Avi;
    std::int64_t fromOffset = 0;  // seconds from the recording's first time stamp
    std::int64_t toOffset = 0;
    bool byGop = false;  // groups startGop .. endGop - 1 instead of the times
    std::size_t startGop = 0;
    std::size_t endGop = 0;
    std::string bitRate = "1000k";  // WMV only
    bool overwrite = false;         // replace an existing target
    bool sidecars = true;           // .srt and .csv beside a video clip
    std::string ffmpeg;             // path of ffmpeg; empty: not available
};

struct ToolCommand {
    std::string program;
    std::vector<std::string> args;  // without the program
};

class ClipExport {
public:
    ClipExport() = default;
    ~ClipExport();  // discards what was not published
    ClipExport(const ClipExport&) = delete;
    ClipExport& operator=(const ClipExport&) = delete;

    // Checks the recording, the range, the target folder and the tools; makes
    // the temporary folder. False with error() set.
    bool prepare(const ClipRequest& request);
    // The engine's part. stop is polled; progress goes to 100.
    bool convert(const std::atomic<bool>& stop, std::atomic<int>& progress);
    // ffmpeg's part, when the format has one (empty program otherwise).
    ToolCommand toolCommand() const;
    // Called after the tool ended (toolOk: it exited with 0). Renames the
    // outputs into place when they are complete; otherwise removes them.
    bool publish(bool toolOk, const std::string& toolOutput = {});
    // Removes every temporary and unpublished file.
    void discard();

    const std::string& error() const { return error_; }
    const ConvertReport& report() const { return report_; }
    const Cutter& cutter() const { return cutter_; }
    // Where the clip and its sidecars land.
    const std::string& target() const { return request_.target; }
    std::string srtTarget() const;
    std::string csvTarget() const;
    const std::string& workFolder() const { return workDir_; }

private:
    std::string partBeside(const std::string& finalPath, const char* what);

    ClipRequest request_;
    Cutter cutter_;
    ConvertReport report_;
    std::string error_;
    std::string workDir_;
    std::string aviPart_;   // the engine's AVI (beside the target, or in workDir_ for ffmpeg)
    std::string mainPart_;  // what becomes the target
    std::string srtPart_, csvPart_;
    std::vector<std::string> parts_;
    bool published_ = false;
};

// ffmpeg's command for a finished AVI: MP4 (video copied, sound to AAC, the
// subtitles as a text track, creation_time, index at the front) or WMV.
ToolCommand mp4Command(const std::string& ffmpeg, const std::string& avi, const std::string& srt,
                       std::int64_t creationTime, bool audio, const std::string& out);
ToolCommand wmvCommand(const std::string& ffmpeg, const std::string& avi, const std::string& bitRate,
                       const std::string& out);

// ffmpeg from folder when it holds one, else from PATH; empty when none.
std::string findFfmpeg(const std::string& folder = {});

// Runs a command without a shell and waits; the exit code, or -1 (why set)
// when it could not start, died or was stopped. stop ends the child: SIGTERM,
// then SIGKILL when it has not ended within a short grace. onOutput, when
// set, receives each piece of the child's output (standard output and error
// together) as it arrives.
int runTool(const ToolCommand& cmd, const std::atomic<bool>* stop, std::string* output, std::string* why,
            const std::function<void(const std::string& chunk)>& onOutput = {});

// The permissions a new file gets under the process's umask (files made
// with mkstemp start as 0600).
unsigned newFileMode();

// Seconds since 1970 of "YYYY-MM-DD HH:MM:SS" local time; false when the text is not such a time.
bool parseLocalTime(const std::string& text, std::int64_t& out);

}  // namespace vantrex
