#include "toolcommands.h"

#include "toolpath.h"

#include <QCoreApplication>

namespace toolcmd {

std::string findTool(const std::string& name, const std::string& programFolder) {
    std::string folder = programFolder;
    if (folder.empty() && QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath().toStdString();
    return qmr3::findProgram(name, folder);
}

// -nostdin: the tools must never wait for keys on a pipe nobody writes to.
Command exportAvi(const std::string& ffmpeg, const std::string& tempAvi, const std::string& outPath) {
    return {ffmpeg, {"-nostdin", "-i", tempAvi, "-vcodec", "copy", "-acodec", "copy", outPath}};
}

Command exportWmv(const std::string& ffmpeg, const std::string& tempAvi, const std::string& bitRate,
                  const std::string& outPath) {
    return {ffmpeg,
            {"-nostdin", "-i", tempAvi, "-b:v", bitRate, "-vcodec", "wmv2", "-acodec", "copy", outPath}};
}

Command backupAvi(const std::string& ffmpeg, const std::string& tempAvi, const std::string& targetAvi) {
    return {ffmpeg, {"-nostdin", "-y", "-i", tempAvi, "-vcodec", "copy", "-acodec", "copy", targetAvi}};
}

// "-sameq" is gone from ffmpeg; a fixed finest-but-one quantiser keeps the
// quality close to the source.
Command backupWmv(const std::string& ffmpeg, const std::string& tempAvi, const std::string& targetWmv) {
    return {ffmpeg,
            {"-nostdin", "-y", "-i", tempAvi, "-q:v", "2", "-vcodec", "wmv2", "-acodec", "copy", targetWmv}};
}

Command mergeAvi(const std::string& mencoder, const std::vector<std::string>& inputs,
                 const std::string& targetAvi) {
    Command c{mencoder, {"-forceidx", "-ovc", "copy", "-oac", "copy", "-o", targetAvi}};
    c.args.insert(c.args.end(), inputs.begin(), inputs.end());
    return c;
}

Command mergeWmvStage1(const std::string& mencoder, const std::vector<std::string>& inputs,
                       const std::string& mergedAvi) {
    Command c{mencoder,
              {"-ovc", "lavc", "-lavcopts", "vcodec=wmv2", "-oac", "lavc", "-lavcopts", "acodec=wmav2", "-of",
               "lavf", "-o", mergedAvi}};
    c.args.insert(c.args.end(), inputs.begin(), inputs.end());
    return c;
}

// "-deinterlace" is gone from ffmpeg; the yadif filter does the same.
Command grabFrame(const std::string& ffmpeg, const std::string& tempAvi, const std::string& size,
                  const std::string& outPattern, bool deinterlace) {
    Command c{ffmpeg, {"-nostdin", "-y", "-i", tempAvi}};
    if (deinterlace) c.args.insert(c.args.end(), {"-vf", "yadif"});
    c.args.insert(c.args.end(), {"-an", "-s", size, "-vframes", "1", outPattern});
    return c;
}

std::string displayLine(const Command& c) {
    auto quoted = [](const std::string& s) {
        if (!s.empty() && s.find_first_of(" \t\"'\\$`") == std::string::npos) return s;
        std::string q = "'";
        for (char ch : s) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
        return q + "'";
    };
    std::string line = quoted(c.program);
    for (const std::string& a : c.args) line += ' ' + quoted(a);
    return line;
}

}  // namespace toolcmd
