#include "viewerfixture.h"

#include "pictureframe.h"
#include "qmr3format.h"

#include <QCoreApplication>
#include <QFile>

namespace vwtest {

long FrameOf(const QImage& picture) { return testrec::frameOf(picture); }

std::vector<long> Distinct(const std::vector<long>& v) {
    std::vector<long> out;
    for (long x : v)
        if (out.empty() || out.back() != x) out.push_back(x);
    return out;
}

std::vector<long> UpTo(long n) {
    std::vector<long> v;
    for (long i = 0; i < n; ++i) v.push_back(i);
    return v;
}

Viewer::Viewer() {
    ctl.resize(352, 240);
    ctl.show();
    QObject::connect(
        &ctl, &CLumacastCtrl::PicturePresented, &ctl,
        [this](const QImage& picture) {
            const auto at = std::chrono::steady_clock::now();
            const long f = FrameOf(picture);
            std::lock_guard<std::mutex> lock(m_);
            frames_.push_back(f);
            times_.push_back(at);
            cv_.notify_all();
        },
        Qt::DirectConnection);
    QObject::connect(
        &ctl, &CLumacastCtrl::OnMediaStop, &ctl,
        [this] {
            std::lock_guard<std::mutex> lock(m_);
            ++mediaStops_;
            cv_.notify_all();
        },
        Qt::DirectConnection);
}

Viewer::~Viewer() { ctl.StopService(); }

std::string Viewer::write(const std::string& name, const qmr3::GenOptions& options) {
    const std::string path = dir.file(name);
    return qmr3::generateRecording(path, options).ok ? path : std::string();
}

std::int32_t Viewer::open(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return -100;
    const QByteArray raw = f.read(qmr3::kFileHeaderSize);
    if (raw.size() != int(qmr3::kFileHeaderSize)) return -100;
    const auto h = qmr3::Qmr3FileHeader::parse(reinterpret_cast<const std::uint8_t*>(raw.constData()));
    ctl.SetProductID(h.productId);
    ctl.SetVideoType(h.videoType);
    ctl.SetVideoInfo(short(h.frameRate), short(h.width), short(h.height), h.gopMode, 0);
    if (h.audioKind == 0xFF) ctl.SetADPCMTypeAudio();
    ctl.SetStartPos(0);
    ctl.SetHeaderOption(h.headerOption);
    const std::int32_t r = ctl.StartService(QString::fromStdString(path));
    if (r != 0) return r;
    ctl.SeekToPlay();
    return 0;
}

std::vector<long> Viewer::frames() const {
    std::lock_guard<std::mutex> lock(m_);
    return frames_;
}

std::vector<std::pair<long, std::chrono::steady_clock::time_point>> Viewer::firstShown() const {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<std::pair<long, std::chrono::steady_clock::time_point>> out;
    for (std::size_t i = 0; i < frames_.size(); ++i)
        if (out.empty() || out.back().first != frames_[i]) out.emplace_back(frames_[i], times_[i]);
    return out;
}

std::vector<long> Viewer::framesFrom(std::size_t from) const {
    std::lock_guard<std::mutex> lock(m_);
    if (from >= frames_.size()) return {};
    return std::vector<long>(frames_.begin() + long(from), frames_.end());
}

std::size_t Viewer::presented() const {
    std::lock_guard<std::mutex> lock(m_);
    return frames_.size();
}

int Viewer::mediaStops() const {
    std::lock_guard<std::mutex> lock(m_);
    return mediaStops_;
}

long Viewer::last() const {
    std::lock_guard<std::mutex> lock(m_);
    return frames_.empty() ? -1 : frames_.back();
}

bool Viewer::waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        QCoreApplication::processEvents();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, 20ms);
    }
}

bool Viewer::waitFrame(const std::function<bool(long)>& match, std::chrono::milliseconds deadline) {
    return waitFor([&] { return match(last()); }, deadline);
}

bool Viewer::waitMediaStop(std::chrono::milliseconds deadline) {
    return waitFor([&] { return mediaStops() > 0; }, deadline);
}

long Settle(Viewer& v, std::chrono::milliseconds quiet) {
    std::size_t count = v.presented();
    auto since = std::chrono::steady_clock::now();
    v.waitFor(
        [&] {
            if (v.presented() != count) {
                count = v.presented();
                since = std::chrono::steady_clock::now();
            }
            return std::chrono::steady_clock::now() - since >= quiet;
        },
        20s);
    return v.last();
}

std::string Show(const std::vector<long>& frames) {
    std::string s;
    for (long f : frames) s += std::to_string(f) + " ";
    return s;
}

}  // namespace vwtest
