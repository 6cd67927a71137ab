#include "vantrexctrl.h"

#include "clipexport.h"
#include "cutengine.h"

#include <QMessageBox>

#include <atomic>
#include <mutex>
#include <thread>

class CVantrexCtrlPrivate {
public:
    std::string target, source;
    vantrex::Cutter facts;  // the current source, for its facts and range checks
    bool ready = false;
    bool byGop = false;
    std::int64_t from = 0, to = 0;
    std::size_t startGop = 0, endGop = 0;
    vantrex::ClipFormat format = vantrex::ClipFormat::Avi;
    std::string bitRate = "1000k";
    std::string ffmpeg;
    bool overwrite = false;

    std::thread worker;
    std::atomic<bool> stop{false};
    std::atomic<bool> busy{false};
    std::atomic<int> convertProgress{0};
    std::atomic<int> cutProgress{0};
    std::unique_ptr<vantrex::ClipExport> job;
    mutable std::mutex errorLock;
    QString error;
    QString warning;  // UI thread only

    void setError(const QString& e) {
        std::lock_guard<std::mutex> g(errorLock);
        error = e;
    }
    void join() {
        if (worker.joinable()) worker.join();
    }
};

CVantrexCtrl::CVantrexCtrl(QObject* parent) : QObject(parent), d(new CVantrexCtrlPrivate) {
    d->ffmpeg = vantrex::findFfmpeg();
}

CVantrexCtrl::~CVantrexCtrl() {
    d->stop = true;
    d->join();
}

long CVantrexCtrl::AboutBox() {
    QMessageBox::about(nullptr, tr("About Vantrex"), tr("Vantrex: cuts ranges of recordings into clips."));
    return 0;
}

long CVantrexCtrl::SetTargetFilePath(const QString& path) {
    if (path.isEmpty()) return -1;
    d->target = path.toStdString();
    return 0;
}

long CVantrexCtrl::SetSourceFilePath(const QString& path) { return SetSourceFileBytes(path.toUtf8()); }

long CVantrexCtrl::SetSourceFileBytes(const QByteArray& path) {
    d->setError({});
    if (path.isEmpty()) return -1;
    d->ready = false;
    std::string error;
    if (!d->facts.open(path.toStdString(), error)) {
        d->setError(QString::fromStdString(error));
        return -10;
    }
    d->source = path.toStdString();
    d->ready = true;
    d->byGop = false;
    d->from = 0;
    d->to = d->facts.lastTime() - d->facts.firstTime() + 1;
    return 0;
}

long CVantrexCtrl::SetStartandEndTime(long start, long end) {
    if (!d->ready) return -1;
    const long play = d->facts.playTime();
    d->byGop = false;
    d->from = start;
    d->to = (play > 0 && end >= play && start < play) ? play : end;
    return 0;
}

long CVantrexCtrl::SetStartandEndGopIndex(long start, long end) {
    if (!d->ready || start < 0 || end < 0) return -1;
    d->byGop = true;
    d->startGop = std::size_t(start);
    d->endGop = std::min<std::size_t>(std::size_t(end), d->facts.gopCount());
    return 0;
}

long CVantrexCtrl::SetExportFormat(const QString& format, const QString& bitRate) {
    vantrex::ClipFormat f;
    if (!vantrex::parseClipFormat(format.toLower().toStdString(), f) || f == vantrex::ClipFormat::Qmr3)
        return -1;
    d->format = f;
    if (!bitRate.trimmed().isEmpty()) d->bitRate = bitRate.trimmed().toStdString();
    return 0;
}

void CVantrexCtrl::SetToolPath(const QString& ffmpeg) { d->ffmpeg = ffmpeg.toStdString(); }
void CVantrexCtrl::SetOverwrite(bool replace) { d->overwrite = replace; }

long CVantrexCtrl::StartConvert() {
    if (!d->ready || d->busy) return -1;
    d->join();
    vantrex::ClipRequest req;
    req.source = d->source;
    req.target = d->target;
    req.format = d->format;
    req.fromOffset = d->from;
    req.toOffset = d->to;
    req.byGop = d->byGop;
    req.startGop = d->startGop;
    req.endGop = d->endGop;
    req.bitRate = d->bitRate;
    req.overwrite = d->overwrite;
    req.ffmpeg = d->ffmpeg;
    d->job = std::make_unique<vantrex::ClipExport>();
    d->convertProgress = 0;
    if (!d->job->prepare(req)) {
        d->setError(QString::fromStdString(d->job->error()));
        d->job.reset();
        return -1;
    }
    d->setError({});
    d->stop = false;
    d->busy = true;
    d->worker = std::thread([this] {
        const bool ok = d->job->convert(d->stop, d->convertProgress);
        // Once busy drops, the job belongs to the caller's thread again.
        const QString why = ok ? QString() : QString::fromStdString(d->job->error());
        d->setError(why);
        d->busy = false;
        if (ok) emit OnEndAVIConvert(100);
        else emit OnConvertFailed(why);
    });
    return 0;
}

QString CVantrexCtrl::ToolProgram() const {
    if (d->busy || !d->job) return {};
    return QString::fromStdString(d->job->toolCommand().program);
}

QStringList CVantrexCtrl::ToolArguments() const {
    QStringList out;
    if (d->busy || !d->job) return out;
    for (const auto& a : d->job->toolCommand().args) out << QString::fromStdString(a);
    return out;
}

long CVantrexCtrl::FinishExport(bool toolOk, const QString& toolOutput) {
    if (d->busy || !d->job) return -1;
    const bool ok = d->job->publish(toolOk, toolOutput.toStdString());
    d->setError(ok ? QString() : QString::fromStdString(d->job->error()));
    d->warning = ok ? QString::fromStdString(d->job->report().warning) : QString();
    d->job.reset();
    return ok ? 0 : -1;
}

long CVantrexCtrl::StopConvert() {
    d->stop = true;
    d->join();
    if (d->job) {
        d->job->discard();
        d->job.reset();
    }
    return 0;
}

long CVantrexCtrl::ClearObject() {
    StopConvert();
    d->target.clear();
    d->source.clear();
    d->ready = false;
    return 0;
}

long CVantrexCtrl::MakeSubFile(const QString& source, const QString& target, long start, long end) {
    if (source.isEmpty() || target.isEmpty() || start >= end || start < 0 || d->busy) return -30;
    vantrex::Cutter probe;
    std::string error;
    if (!probe.open(source.toStdString(), error) || end > probe.playTime()) {
        d->setError(QString::fromStdString(error));
        return -30;
    }
    d->join();
    vantrex::ClipRequest req;
    req.source = source.toStdString();
    req.target = target.toStdString();
    req.format = vantrex::ClipFormat::Qmr3;
    req.fromOffset = start;
    req.toOffset = end;
    req.overwrite = d->overwrite;
    d->job = std::make_unique<vantrex::ClipExport>();
    d->cutProgress = 0;
    if (!d->job->prepare(req)) {
        d->setError(QString::fromStdString(d->job->error()));
        d->job.reset();
        return -30;
    }
    d->stop = false;
    d->busy = true;
    d->worker = std::thread([this] {
        const bool ok = d->job->convert(d->stop, d->cutProgress) && d->job->publish(true);
        const QString why = ok ? QString() : QString::fromStdString(d->job->error());
        d->setError(why);
        d->busy = false;
        if (ok) emit OnEndQMR3Cut(200);
        else emit OnConvertFailed(why);
    });
    return 0;
}

long CVantrexCtrl::GetProgressofCut() { return d->cutProgress; }
long CVantrexCtrl::GetProgressofAVIConvert() { return d->ready || d->job ? d->convertProgress.load() : 0; }
long CVantrexCtrl::InitObject() { return 0; }
long CVantrexCtrl::GetPlayTime() { return d->ready ? d->facts.playTime() : -1; }
long CVantrexCtrl::GetImageWidth() { return d->ready ? long(d->facts.header().width) : -1; }
long CVantrexCtrl::GetImageHeight() { return d->ready ? long(d->facts.header().height) : -1; }
bool CVantrexCtrl::IsBusy() const { return d->busy; }

QString CVantrexCtrl::GetLastError() const {
    std::lock_guard<std::mutex> g(d->errorLock);
    return d->error;
}

QString CVantrexCtrl::GetLastWarning() const { return d->warning; }
