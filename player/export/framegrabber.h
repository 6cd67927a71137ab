// Still pictures of recordings: one key frame, with the recorder's parameter
// sets in front, is decoded, deinterlaced and scaled into a BMP that lands in
// the thumbnail cache. Decoding runs in process; where that cannot be done the
// frame goes into a small temporary AVI that ffmpeg turns into the BMP.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CVideoLibrary;

// The temporary AVI: header layout as the grabber's readers expect it,
// written provisionally at open and again with the final values at close.
class CGrabAviWriter {
public:
    static constexpr std::size_t kHeaderSize = 326;

    ~CGrabAviWriter();
    bool open(const std::string& path, int width, int height, int frameRate, int channels, int bitsPerSample,
              int sampleRate);
    bool writeVideoChunk(const std::uint8_t* data, std::uint32_t length);
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    int videoChunks() const { return videoChunks_; }

    // The header for the given counts; fileLength 0 and moviLength 4 with
    // provisional true give the header written at open.
    std::vector<std::uint8_t> header(std::uint32_t fileLength, bool provisional) const;

private:
    std::FILE* file_ = nullptr;
    int width_ = 0, height_ = 0, frameRate_ = 30, channels_ = 0, bits_ = 0, sampleRate_ = 0;
    int videoChunks_ = 0, audioChunks_ = 0;
    std::uint32_t moviLength_ = 0;
    bool ok_ = true;
};

// Everything one grab needs, copied out of the catalogue so that it can run
// on any thread.
struct GrabJob {
    std::string recording;  // full path of the .qmr3 file
    std::string cachePath;  // the BMP it makes
    std::string size;       // ffmpeg size: "110x72", "qcif", ...
    int width = 0, height = 0;
    std::uint8_t productId = 0;
    bool damaged = false;
    std::uint64_t startOffset = 0;  // file offset where the search for a picture starts
    std::string error;              // set when no job could be made
};

class FrameGrabber {
public:
    // Creates the temporary folders when missing.
    FrameGrabber();

    static std::string cachePath(const CVideoLibrary& lib, int index, const std::string& size,
                                 int offsetSeconds);
    // offsetSeconds -1: the first picture; otherwise the frame position at
    // start time + offset of the catalogue's selected file.
    static GrabJob makeJob(const CVideoLibrary& lib, int index, const std::string& size, int offsetSeconds);
    // Any thread. The cached BMP's path; "ERR" for a damaged recording; ""
    // when no picture could be made (why in error).
    static std::string run(const GrabJob& job, const std::string& ffmpeg, std::string* error,
                           const std::atomic<bool>* cancel = nullptr);
    // Whether deinterlacing is asked for this recorder and size.
    static bool deinterlaceFor(std::uint8_t productId, int width);

    // Synchronous grab (for callers off the GUI thread or in tests).
    std::string grab(const CVideoLibrary& lib, int index, const std::string& size, int offsetSeconds);
    const std::string& lastError() const { return error_; }

    // ffmpeg found next to the program or on PATH; setFfmpegPath overrides
    // ("" pretends it is missing).
    std::string ffmpegPath() const;
    void setFfmpegPath(const std::string& path);

private:
    std::string error_;
    std::string ffmpeg_;
    bool ffmpegSet_ = false;
};

// Grabs on a worker thread, one at a time, so the window never waits for
// ffmpeg. Results arrive as signals on the owner's thread.
class CAsyncFrameGrabber : public QObject {
    Q_OBJECT
public:
    explicit CAsyncFrameGrabber(QObject* parent = nullptr);
    ~CAsyncFrameGrabber() override;

    FrameGrabber& grabber() { return grabber_; }
    // Queues a job. A job for a cache file already queued or running for the
    // same recording is dropped; one for another recording (a same-named file
    // of another folder) replaces it, and the older picture is never delivered.
    void request(const GrabJob& job);
    // The cached picture of job when one exists that this grabber did not make
    // from another recording; a picture left under the same name by a grab of
    // another recording is removed. "" when there is none.
    std::string cachedPicture(const GrabJob& job);
    // Forgets jobs not yet started.
    void cancelPending();
    int pendingCount() const;
    bool toolMissing() const;

signals:
    // result: the BMP path, "ERR", or "" when it failed.
    void grabbed(const QString& cachePath, const QString& result);
    // Sent once per grabber when ffmpeg cannot be found or started.
    void toolProblem(const QString& message);

private:
    void workerLoop();
    // With lock_ held.
    void dropPictureOfOtherRecording(const GrabJob& job);

    FrameGrabber grabber_;
    std::string ffmpeg_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<GrabJob> queue_;
    std::string running_;
    std::string runningRecording_;
    bool runningSuperseded_ = false;
    std::map<std::string, std::string> madeFrom_;  // cache file -> the recording it shows
    bool quit_ = false;
    std::atomic<bool> cancel_{false};
    bool problemSent_ = false;
    std::thread worker_;
};
