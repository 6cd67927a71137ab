// Exporting the marked range of the play slider: the marks are put in
// order and checked, the user names the file, and the conversion dialog
// writes it. Both marks are cleared afterwards, whatever happened.
#pragma once

#include <QString>

#include <functional>

class CVideoLibrary;
class CVideoPlaySlider;
class QWidget;

struct VideoExportUi {
    // Asks for the target file (empty: cancelled). Default: a save dialog
    // that asks before replacing a file.
    std::function<QString(QWidget* parent, const QString& suggested, const QString& filter)> chooseFile;
    // Shows a message. Default: a message box.
    std::function<void(QWidget* parent, const QString& text)> message;
    QString ffmpeg;  // empty: found beside the program or on PATH
};

// The name a clip of these marks gets by default: "20100315_084500-20100315_085230".
QString defaultClipName(qint64 recordingStart, int startMark, int endMark);

// True when a conversion ran and wrote the clip.
bool exportMarkedRange(QWidget* parent, CVideoPlaySlider* slider, const CVideoLibrary& library, int fileIndex,
                       const QString& format, const QString& bitRate, const VideoExportUi& ui = {});
