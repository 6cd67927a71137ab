// The converter control: cuts a range of a recording into a clip or into a
// new, smaller recording on a worker thread of its own. Methods answer 0 for
// success and a small negative code for failure; the end of a conversion or
// cut is announced by signals (emitted on the worker thread).
#pragma once

#include <QObject>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#if defined(VANTREX_LIBRARY)
#define VANTREX_EXPORT Q_DECL_EXPORT
#else
#define VANTREX_EXPORT Q_DECL_IMPORT
#endif

class CVantrexCtrlPrivate;

class VANTREX_EXPORT CVantrexCtrl : public QObject {
    Q_OBJECT
public:
    explicit CVantrexCtrl(QObject* parent = nullptr);
    ~CVantrexCtrl() override;

    long AboutBox();
    long SetTargetFilePath(const QString& strTargetFilePath);
    long SetSourceFilePath(const QString& strSourceFilePath);
    // The same with the path as the file system's bytes: a name that is not
    // UTF-8 does not survive a QString.
    long SetSourceFileBytes(const QByteArray& sourceFilePath);
    long StartConvert();
    long StopConvert();
    long ClearObject();
    long MakeSubFile(const QString& strSourceFilePath, const QString& strTargetFilePath, long lstartTime,
                     long lendTime);
    long GetProgressofCut();
    long GetProgressofAVIConvert();
    long InitObject();
    long GetPlayTime();
    long GetImageWidth();
    long GetImageHeight();
    long SetStartandEndTime(long lstartTime, long lendTime);
    long SetStartandEndGopIndex(long StartGOPIndex, long EndGOPIndex);

    // Export settings: "AVI", "MP4", "WMV" (WMV at bitRate, e.g. "1000k"),
    // where ffmpeg lives, and whether an existing target may be replaced.
    long SetExportFormat(const QString& format, const QString& bitRate = QString());
    void SetToolPath(const QString& ffmpeg);
    void SetOverwrite(bool replace);
    // After OnEndAVIConvert: the ffmpeg command the format still needs
    // (empty program for AVI), then FinishExport with its result.
    QString ToolProgram() const;
    QStringList ToolArguments() const;
    long FinishExport(bool toolOk, const QString& toolOutput = QString());
    bool IsBusy() const;
    // Why the last method or conversion failed; empty after success.
    QString GetLastError() const;
    // After a FinishExport that succeeded: why the clip is shorter than asked
    // (the recording is damaged inside the range); empty otherwise.
    QString GetLastWarning() const;

signals:
    void OnEndAVIConvert(long lParam);         // 100: the conversion ended well
    void OnEndQMR3Cut(long lParam);            // 200: the cut recording is in place
    void OnConvertFailed(const QString& why);  // a conversion or cut failed or was stopped

private:
    std::unique_ptr<CVantrexCtrlPrivate> d;
};
