#include "panelpictures.h"

#include "framegrabber.h"
#include "videolibrary.h"

#include <QImage>

CPanelPictures::CPanelPictures(const CVideoLibrary& library, QObject* parent)
    : QObject(parent), library_(library), grabber_(new CAsyncFrameGrabber(this)) {
    connect(grabber_, &CAsyncFrameGrabber::grabbed, this, &CPanelPictures::onGrabbed);
}

const QPixmap* CPanelPictures::picture(int file) const {
    auto it = pictures_.constFind(file);
    return it != pictures_.constEnd() ? &it.value() : nullptr;
}

bool CPanelPictures::waiting(int file) const { return pending_.key(file, QString()).size() > 0; }

void CPanelPictures::reset() {
    grabber_->cancelPending();
    pending_.clear();
    pictures_.clear();
    failed_.clear();
    asked_ = 0;
}

void CPanelPictures::request(const std::vector<int>& files) {
    for (int file : files) {
        if (pictures_.contains(file)) continue;
        const GrabJob job = FrameGrabber::makeJob(library_, file, kPictureSize, -1);
        const QString qpath = QString::fromStdString(job.cachePath);
        // Only a picture of this very recording: a same-named file of the
        // folder opened before may have left one under the same name.
        if (const std::string cached = grabber_->cachedPicture(job); !cached.empty()) {
            QImage img(QString::fromStdString(cached));
            if (!img.isNull()) {
                pictures_.insert(file, QPixmap::fromImage(img));
                continue;
            }
        }
        if (library_.damaged(file) || failed_.contains(file) || pending_.contains(qpath)) continue;
        pending_.insert(qpath, file);
        ++asked_;
        grabber_->request(job);
    }
    if (!pending_.isEmpty()) emit progress(asked_ - int(pending_.size()), asked_);
}

void CPanelPictures::onGrabbed(const QString& cachePath, const QString& result) {
    auto it = pending_.find(cachePath);
    if (it == pending_.end()) return;  // asked before the last open
    const int file = it.value();
    pending_.erase(it);
    QImage img;
    if (!result.isEmpty() && result != QLatin1String("ERR")) img.load(result);
    if (img.isNull()) failed_.insert(file);
    else pictures_.insert(file, QPixmap::fromImage(img));
    if (pending_.isEmpty()) asked_ = 0;
    emit progress(asked_ - int(pending_.size()), asked_);
}
