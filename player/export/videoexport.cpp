#include "videoexport.h"

#include "aviconvertdlg.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("VideoExport", text); }

}  // namespace

QString defaultClipName(qint64 recordingStart, int startMark, int endMark) {
    const QString f = QStringLiteral("yyyyMMdd_HHmmss");
    return QDateTime::fromSecsSinceEpoch(recordingStart + startMark).toString(f) + QLatin1Char('-') +
           QDateTime::fromSecsSinceEpoch(recordingStart + endMark).toString(f);
}

bool exportMarkedRange(QWidget* parent, CVideoPlaySlider* slider, const CVideoLibrary& library, int fileIndex,
                       const QString& format, const QString& bitRate, const VideoExportUi& ui) {
    auto message = [&](const QString& text) {
        if (ui.message) ui.message(parent, text);
        else QMessageBox::information(parent, QStringLiteral("Korvid"), text);
    };
    if (!slider) return false;
    int start = slider->startMark(), end = slider->endMark();
    if (end < start) {
        std::swap(start, end);
        slider->setStartMark(start);
        slider->setEndMark(end);
        slider->update();
    }
    if (start < 0 || end <= 0) {
        message(tr("Please determine range for export."));
        return false;
    }
    if (start == end) {
        // Nothing lies between two equal marks; saying so beats an empty file.
        message(tr("The start and the end of the range are the same second. Move one of them first."));
        slider->clearMarks();
        return false;
    }
    const QByteArray sourceFile = fileIndex >= 0 && fileIndex < library.fileCount()
                                      ? QByteArray::fromStdString(library.filePath(fileIndex))
                                      : QByteArray();
    const QString source = QFile::decodeName(sourceFile);
    if (source.isEmpty()) {
        message(QCoreApplication::translate("CKorvidAppDlg", "Video is not opened."));
        slider->clearMarks();
        return false;
    }
    const QString ext = format.toLower();
    const QString filter = QStringLiteral("%1 file (*.%2);;All Files (*)").arg(format.toUpper(), ext);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString suggested = folder + QLatin1Char('/') +
                              defaultClipName(slider->recordingStart(), start, end) + QLatin1Char('.') + ext;
    QString target = ui.chooseFile
                         ? ui.chooseFile(parent, suggested, filter)
                         : QFileDialog::getSaveFileName(parent, tr("Export Movie Clip"), suggested, filter);
    slider->clearMarks();
    if (target.isEmpty()) return false;
    if (QFileInfo(target).suffix().isEmpty()) target += QLatin1Char('.') + ext;

    VideoExportJob job;
    job.source = source;
    job.sourceFile = sourceFile;
    job.target = target;
    job.format = format.toUpper();
    job.bitRate = bitRate;
    job.start = start;
    job.end = end;
    job.ffmpeg = ui.ffmpeg;
    CAviConvertDlg dlg(parent, job);
    dlg.exec();
    return dlg.state() == CAviConvertDlg::State::Finished;
}
