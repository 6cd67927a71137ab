#include "framegrabber.h"

#include "framedecoder.h"
#include "keypicture.h"
#include "redirector.h"
#include "tempdirs.h"
#include "toolcommands.h"
#include "videolibrary.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void putTag(std::vector<std::uint8_t>& b, std::size_t at, const char* tag) { std::memcpy(&b[at], tag, 4); }

// A grab can overlap another grab or an export: every temporary name is its own.
std::string uniqueStem() {
    static std::atomic<unsigned> counter{0};
    return "grab-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
           std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()) % 100000);
}

constexpr int kToolTimeoutMs = 30000;

// Grabs decode in this process unless the decoder or the size text needs ffmpeg.
bool needsTool(const GrabJob& job) {
    return grabdecode::toolForced() || !grabdecode::available() || !grabdecode::outputSize(job.size);
}

// Writes bytes under a temporary name and moves the whole file to path.
bool writeWhole(const std::string& temp, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (ok) fs::rename(temp, path, ec);
    if (!ok || ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- AVI writer

CGrabAviWriter::~CGrabAviWriter() {
    if (file_) std::fclose(file_);
}

std::vector<std::uint8_t> CGrabAviWriter::header(std::uint32_t fileLength, bool provisional) const {
    std::vector<std::uint8_t> b(kHeaderSize, 0);
    const std::uint32_t w = std::uint32_t(width_), h = std::uint32_t(height_);
    const std::uint32_t fps = std::uint32_t(frameRate_ > 0 ? frameRate_ : 30);
    const std::uint32_t frames = provisional ? 0 : std::uint32_t(videoChunks_);
    const std::uint32_t audio = provisional ? 0 : std::uint32_t(audioChunks_);
    const std::uint32_t movi = provisional ? 4 : moviLength_ + 4;
    const std::uint16_t blockAlign = std::uint16_t(channels_ * (bits_ / 8));

    putTag(b, 0, "RIFF");
    put32(b, 4, provisional ? 0 : fileLength - 8);
    putTag(b, 8, "AVI ");
    putTag(b, 12, "LIST");
    put32(b, 16, 294);
    putTag(b, 20, "hdrl");
    putTag(b, 24, "avih");
    put32(b, 28, 56);
    put32(b, 32, 1000000 / fps);
    put32(b, 36, provisional ? w * h * fps * 3 : (w * h * fps * 3) / 2);
    put32(b, 48, frames);
    put32(b, 56, 2);
    put32(b, 60, w * h * 3);
    put32(b, 64, w);
    put32(b, 68, h);
    putTag(b, 88, "LIST");
    put32(b, 92, 116);
    putTag(b, 96, "strl");
    putTag(b, 100, "strh");
    put32(b, 104, 56);
    putTag(b, 108, "vids");
    putTag(b, 112, "H264");
    put32(b, 128, 1000000 / fps);
    put32(b, 132, 1000000);
    put32(b, 140, frames);
    put32(b, 144, w * h * 3);
    put32(b, 148, 10000);
    put32(b, 152, w * h * 3);
    put16(b, 160, std::uint16_t(w));
    put16(b, 162, std::uint16_t(h));
    putTag(b, 164, "strf");
    put32(b, 168, 40);
    put32(b, 172, 40);
    put32(b, 176, w);
    put32(b, 180, h);
    put16(b, 184, 1);
    put16(b, 186, 24);
    putTag(b, 188, "H264");
    put32(b, 192, w * h * 3);
    putTag(b, 212, "LIST");
    put32(b, 216, 94);
    putTag(b, 220, "strl");
    putTag(b, 224, "strh");
    put32(b, 228, 56);
    putTag(b, 232, "auds");
    put32(b, 252, blockAlign);
    put32(b, 256, std::uint32_t(sampleRate_) * blockAlign);
    put32(b, 264, audio);
    put32(b, 272, 10000);
    put32(b, 276, blockAlign);
    putTag(b, 288, "strf");
    put32(b, 292, 18);
    put16(b, 296, 1);
    put16(b, 298, std::uint16_t(channels_));
    put32(b, 300, std::uint32_t(sampleRate_));
    put32(b, 304, std::uint32_t(channels_ * (bits_ / 8) * sampleRate_));
    put16(b, 308, blockAlign);
    put16(b, 310, std::uint16_t(bits_));
    putTag(b, 314, "LIST");
    put32(b, 318, movi);
    putTag(b, 322, "movi");
    return b;
}

bool CGrabAviWriter::open(const std::string& path, int width, int height, int frameRate, int channels,
                          int bitsPerSample, int sampleRate) {
    if (file_) close();
    width_ = width;
    height_ = height;
    frameRate_ = frameRate;
    channels_ = channels;
    bits_ = bitsPerSample;
    sampleRate_ = sampleRate;
    videoChunks_ = audioChunks_ = 0;
    moviLength_ = 0;
    ok_ = true;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    const std::vector<std::uint8_t> h = header(0, true);
    ok_ = std::fwrite(h.data(), 1, h.size(), file_) == h.size() && std::fflush(file_) == 0;
    return ok_;
}

bool CGrabAviWriter::writeVideoChunk(const std::uint8_t* data, std::uint32_t length) {
    if (!file_) return false;
    std::uint8_t head[8] = {'0', '0', 'd', 'c'};
    for (int i = 0; i < 4; ++i) head[4 + i] = std::uint8_t(length >> (8 * i));
    ok_ = ok_ && std::fwrite(head, 1, 8, file_) == 8 && std::fwrite(data, 1, length, file_) == length;
    ++videoChunks_;
    moviLength_ += length + 8;
    return ok_;
}

bool CGrabAviWriter::close() {
    if (!file_) return false;
    bool ok = ok_ && std::fseek(file_, 0, SEEK_END) == 0;
    const long end = std::ftell(file_);
    const std::vector<std::uint8_t> h = header(std::uint32_t(end < 0 ? 0 : end), false);
    ok = ok && std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h.data(), 1, h.size(), file_) == h.size();
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    return ok;
}

// ---------------------------------------------------------------- grabber

FrameGrabber::FrameGrabber() {
    std::error_code ec;
    fs::create_directories(qmr3::thumbnailDir(), ec);
    fs::create_directories(qmr3::temporaryDir(), ec);
}

std::string FrameGrabber::cachePath(const CVideoLibrary& lib, int index, const std::string& size,
                                    int offsetSeconds) {
    return lib.thumbnailPath(index, size, offsetSeconds < 0 ? -1 : offsetSeconds);
}

bool FrameGrabber::deinterlaceFor(std::uint8_t productId, int width) {
    return keypicture::deinterlaceFor(productId, width);
}

GrabJob FrameGrabber::makeJob(const CVideoLibrary& lib, int index, const std::string& size,
                              int offsetSeconds) {
    GrabJob job;
    const QMR3FILE* f = lib.file(index);
    if (!f) {
        job.error = "no such recording";
        return job;
    }
    job.recording = lib.filePath(index);
    job.cachePath = cachePath(lib, index, size, offsetSeconds);
    job.size = size;
    job.width = f->width;
    job.height = f->height;
    job.productId = f->productId;
    job.damaged = f->damaged != 0;
    job.startOffset = qmr3::kFileHeaderSize;
    if (offsetSeconds >= 0) {
        bool found = false;
        if (lib.selectedFile() == index) {
            const std::int64_t want = f->startTime + offsetSeconds;
            for (const QMR3FRAMEPOSITION& p : lib.framePositions())
                if (p.time == want) {
                    job.startOffset = p.offset;
                    found = true;
                    break;
                }
        }
        if (!found) job.error = "no frame position at that offset";
    }
    return job;
}

std::string FrameGrabber::run(const GrabJob& job, const std::string& ffmpeg, std::string* error,
                              const std::atomic<bool>* cancel) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::string();
    };
    std::error_code ec;
    if (!job.cachePath.empty() && fs::exists(job.cachePath, ec)) return job.cachePath;
    if (job.damaged) return "ERR";
    if (!job.error.empty()) return fail(job.error);
    const bool tool = needsTool(job);
    if (tool && ffmpeg.empty()) return fail("ffmpeg was not found (next to the program or on PATH)");

    std::string firstError;
    const auto coded = keypicture::firstPicture(job.recording, job.startOffset, job.productId, job.width,
                                                job.height, &firstError);
    if (!coded) return fail(firstError);
    const std::vector<std::uint8_t>& picture = coded->picture;

    const std::string stem = qmr3::temporaryDir() + uniqueStem();
    if (!tool) {
        if (cancel && cancel->load()) return fail("cancelled");
        const std::vector<std::uint8_t> stream = coded->stream();
        std::string why;
        const auto bmp =
            grabdecode::pictureAsBmp(stream, job.width, job.height, deinterlaceFor(job.productId, job.width),
                                     *grabdecode::outputSize(job.size), &why);
        if (!bmp) return fail(why + " (" + job.recording + ")");
        if (!writeWhole(stem + ".bmp", job.cachePath, *bmp))
            return fail("cannot write the picture into the cache");
        return job.cachePath;
    }

    const std::string avi = stem + ".avi";
    CGrabAviWriter writer;
    if (!writer.open(avi, job.width, job.height, 30, 0, 0, 10)) return fail("Avi Creation Error : " + avi);
    writer.writeVideoChunk(coded->parameterSets.data(), std::uint32_t(coded->parameterSets.size()));
    writer.writeVideoChunk(picture.data(), std::uint32_t(picture.size()));
    if (!writer.close()) {
        fs::remove(avi, ec);
        return fail("Avi Creation Error : " + avi);
    }

    const toolcmd::Command cmd =
        toolcmd::grabFrame(ffmpeg, avi, job.size, stem + "-%d.bmp", deinterlaceFor(job.productId, job.width));
    std::string why;
    const int rc = runAndWait(cmd.program, cmd.args, kToolTimeoutMs, &why, cancel);
    fs::remove(avi, ec);
    const std::string made = stem + "-1.bmp";
    if (rc != 0 || !fs::exists(made, ec)) {
        fs::remove(made, ec);
        return fail(rc < 0 ? why : "ffmpeg made no picture (exit code " + std::to_string(rc) + ")");
    }
    // The finished picture replaces the cache file in one step.
    fs::rename(made, job.cachePath, ec);
    if (ec) {
        fs::remove(made, ec);
        return fail("cannot move the picture into the cache");
    }
    return job.cachePath;
}

std::string FrameGrabber::ffmpegPath() const { return ffmpegSet_ ? ffmpeg_ : toolcmd::findTool("ffmpeg"); }

void FrameGrabber::setFfmpegPath(const std::string& path) {
    ffmpeg_ = path;
    ffmpegSet_ = true;
}

std::string FrameGrabber::grab(const CVideoLibrary& lib, int index, const std::string& size,
                               int offsetSeconds) {
    error_.clear();
    return run(makeJob(lib, index, size, offsetSeconds), ffmpegPath(), &error_);
}

// ---------------------------------------------------------------- worker

CAsyncFrameGrabber::CAsyncFrameGrabber(QObject* parent) : QObject(parent) {
    worker_ = std::thread(&CAsyncFrameGrabber::workerLoop, this);
}

CAsyncFrameGrabber::~CAsyncFrameGrabber() {
    {
        std::lock_guard<std::mutex> g(lock_);
        quit_ = true;
        queue_.clear();
    }
    cancel_ = true;  // a running ffmpeg is ended, not waited for
    wake_.notify_all();
    worker_.join();
}

void CAsyncFrameGrabber::request(const GrabJob& job) {
    const std::string ffmpeg = grabber_.ffmpegPath();
    {
        std::lock_guard<std::mutex> g(lock_);
        if (job.cachePath == running_) {
            if (job.recording == runningRecording_) return;
            runningSuperseded_ = true;
        }
        for (auto q = queue_.begin(); q != queue_.end(); ++q)
            if (q->cachePath == job.cachePath) {
                if (q->recording == job.recording) return;
                queue_.erase(q);
                break;
            }
        dropPictureOfOtherRecording(job);
        ffmpeg_ = ffmpeg;
        queue_.push_back(job);
    }
    wake_.notify_one();
}

void CAsyncFrameGrabber::dropPictureOfOtherRecording(const GrabJob& job) {
    const auto made = madeFrom_.find(job.cachePath);
    if (made == madeFrom_.end() || made->second == job.recording) return;
    std::error_code ec;
    fs::remove(job.cachePath, ec);
    madeFrom_.erase(made);
}

std::string CAsyncFrameGrabber::cachedPicture(const GrabJob& job) {
    if (job.cachePath.empty()) return {};
    std::lock_guard<std::mutex> g(lock_);
    // Still being made from another recording: it is removed when that grab ends.
    if (job.cachePath == running_ && (runningSuperseded_ || job.recording != runningRecording_)) return {};
    dropPictureOfOtherRecording(job);
    std::error_code ec;
    return fs::exists(job.cachePath, ec) ? job.cachePath : std::string();
}

void CAsyncFrameGrabber::cancelPending() {
    std::lock_guard<std::mutex> g(lock_);
    queue_.clear();
}

int CAsyncFrameGrabber::pendingCount() const {
    std::lock_guard<std::mutex> g(lock_);
    return int(queue_.size()) + (running_.empty() ? 0 : 1);
}

bool CAsyncFrameGrabber::toolMissing() const {
    std::lock_guard<std::mutex> g(lock_);
    return problemSent_;
}

void CAsyncFrameGrabber::workerLoop() {
    for (;;) {
        GrabJob job;
        std::string ffmpeg;
        {
            std::unique_lock<std::mutex> g(lock_);
            wake_.wait(g, [this] { return quit_ || !queue_.empty(); });
            if (quit_) return;
            job = queue_.front();
            queue_.pop_front();
            running_ = job.cachePath;
            runningRecording_ = job.recording;
            runningSuperseded_ = false;
            ffmpeg = ffmpeg_;
        }
        std::error_code existsError;
        const bool cachedBefore = fs::exists(job.cachePath, existsError);
        std::string error;
        std::string result;
        bool missing = false;
        if (ffmpeg.empty() && !job.damaged && needsTool(job)) {
            std::error_code ec;
            if (!fs::exists(job.cachePath, ec)) missing = true;
        }
        if (!missing) result = FrameGrabber::run(job, ffmpeg, &error, &cancel_);
        const QString cache = QString::fromStdString(job.cachePath);
        const QString res = QString::fromStdString(result);
        bool sendProblem = false;
        bool superseded;
        {
            std::lock_guard<std::mutex> g(lock_);
            superseded = runningSuperseded_;
            if (result == job.cachePath) {
                if (superseded && !cachedBefore) {
                    // A same-named recording of another folder was asked for meanwhile.
                    std::error_code ec;
                    fs::remove(job.cachePath, ec);
                } else if (!superseded) {
                    madeFrom_[job.cachePath] = job.recording;
                }
            }
            running_.clear();
            runningRecording_.clear();
            runningSuperseded_ = false;
            if (missing && !problemSent_) {
                problemSent_ = true;
                sendProblem = true;
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, cache, res, sendProblem, superseded] {
                if (sendProblem)
                    emit toolProblem(
                        tr("ffmpeg was not found next to the program or on the PATH; "
                           "pictures of recordings cannot be made."));
                if (!superseded) emit grabbed(cache, res);
            },
            Qt::QueuedConnection);
    }
}
