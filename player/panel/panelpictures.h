// The small pictures of the panel's rows: loaded from the picture cache when
// a picture of that very recording is there, otherwise asked of the frame
// grabber, which makes them in the background.
#pragma once

#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QString>

#include <vector>

class CAsyncFrameGrabber;
class CVideoLibrary;

class CPanelPictures : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPictureSize = "110x72";

    CPanelPictures(const CVideoLibrary& library, QObject* parent = nullptr);

    // Loads or asks for the pictures of files not loaded yet.
    void request(const std::vector<int>& files);
    // Forgets every picture, failure and request (after an open).
    void reset();

    const QPixmap* picture(int file) const;
    bool has(int file) const { return pictures_.contains(file); }
    // Whether the grabber is making the picture of a file.
    bool waiting(int file) const;
    int pending() const { return int(pending_.size()); }
    CAsyncFrameGrabber* grabber() const { return grabber_; }

signals:
    // done of asked pictures are ready; asked 0 when none is outstanding.
    void progress(int done, int asked);

private:
    void onGrabbed(const QString& cachePath, const QString& result);

    const CVideoLibrary& library_;
    CAsyncFrameGrabber* grabber_;
    QHash<int, QPixmap> pictures_;
    QHash<QString, int> pending_;  // cache path -> file
    QSet<int> failed_;             // not asked again until the next open
    int asked_ = 0;
};
