// Every command line the player gives to ffmpeg and mencoder, built in one
// place as a program and an argument list (never through a shell, so file
// names are passed as they are).
#pragma once

#include <string>
#include <vector>

namespace toolcmd {

struct Command {
    std::string program;            // full path; empty when the tool was not found
    std::vector<std::string> args;  // without the program itself
};

// "ffmpeg" or "mencoder" from the program folder when present there, else
// from PATH; empty when neither has it. An empty programFolder means the
// running program's folder.
std::string findTool(const std::string& name, const std::string& programFolder = {});

// Video export: streams copied, or WMV2 at a bit rate.
Command exportAvi(const std::string& ffmpeg, const std::string& tempAvi, const std::string& outPath);
Command exportWmv(const std::string& ffmpeg, const std::string& tempAvi, const std::string& bitRate,
                  const std::string& outPath);
// Backup of one recording.
Command backupAvi(const std::string& ffmpeg, const std::string& tempAvi, const std::string& targetAvi);
Command backupWmv(const std::string& ffmpeg, const std::string& tempAvi, const std::string& targetWmv);
// Merged backup through mencoder; stage 2 of WMV is backupWmv on the merge.
Command mergeAvi(const std::string& mencoder, const std::vector<std::string>& inputs,
                 const std::string& targetAvi);
Command mergeWmvStage1(const std::string& mencoder, const std::vector<std::string>& inputs,
                       const std::string& mergedAvi);
// One frame, decoded and scaled to size ("110x72", "qcif", ...) into outPattern
// (which holds "%d").
Command grabFrame(const std::string& ffmpeg, const std::string& tempAvi, const std::string& size,
                  const std::string& outPattern, bool deinterlace);

// For messages and logs only: the line as a user would type it.
std::string displayLine(const Command& c);

}  // namespace toolcmd
