// The viewer control Lumacast: plays one recording inside its own widget.
// It assembles the media pipeline by hand (hexmoorsrc, avdec_h264,
// videoconvert, pexarosink, and the audio branch when a sink opens), owns the
// words and events the source and the renderer share, runs the frame request
// and media stop threads, and offers its dispatch methods as member functions
// and its events as signals.
//
// Results: 0 for success and negative codes for failures; BOOL results are
// bool. All methods are called on the GUI thread.
// OnMediaStop is emitted from the media stop thread (connect with the default
// connection type to receive it queued on the GUI thread).
// GST_DEBUG=lumacast:5 traces every pipeline step.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

#if defined(LUMACAST_LIBRARY)
#define LUMACAST_EXPORT Q_DECL_EXPORT
#else
#define LUMACAST_EXPORT Q_DECL_IMPORT
#endif

class LUMACAST_EXPORT CLumacastCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CLumacastCtrl(QWidget* parent = nullptr);
    ~CLumacastCtrl() override;

    // Dispatch methods, in the order of their ids 1..41.
    qint32 SetConnectFileName(const QString& filename);
    qint32 SetPlayMode(short playmode);
    qint32 StartService(const QString& filePath);
    void StopService();
    void SeekToPlay();
    void SeekToPause();
    void SetStartPos(qint32 offset);
    void ShowOSD();
    void AddOSD(short num, const QString& text, short posX, short posY, short align, const QString& fontName,
                short fontSize, short colorR, short colorG, short colorB);
    bool GetCurrTime(short* year, short* month, short* day, short* hour, short* minute, short* second);
    void SeekToNextFrame();
    void SeekToPrevFrame();
    void SeekToRew(short rate);
    void SeekToFF(short rate);
    short GetSkipRate();
    void SetVideoInfo(short frameRate, short width, short height, short isGopMode, short isBPictureSupport);
    void EnableZoom(bool enableZoom);
    void SetADPCMTypeAudio();
    short SetTemporaryFlag1(short flag);
    short SetTemporaryFlag2(short flag);
    short SetTemporaryFlag3(short flag);
    short SetTemporaryFlag4(short flag);
    qint32 SnapShot(const QString& filename);
    bool SetSpecificPos(qint32 offset);
    short SetPacketHeaderMagicCode(short code1, short code2, short code3);
    void SetProductID(short productId);
    void SetVideoFlipOn(short isFlipOn);
    void SetMDArea(short rows, short cols);
    void ShowMDArea();
    void HideMDArea();
    qint32 SnapShotRawData(const QString& filename);
    void SetVideoType(short videoType);
    qint32 SetAudioVolume(qint32 volumeValue);
    bool Get3DimensionValue(qint32* x, qint32* y, qint32* z);
    bool GetGpsInformation(qint32* latitude, qint32* longitude);  // 4 values behind each pointer
    bool GetSpeedInformation(qint32* speed);
    void SetHeaderOption(qint32 headerOption);
    bool SetBackGroundImagePath(const QString& path);
    void SetBKColor(short r, short g, short b);
    double GetFrameIndex();
    void SetKindOfFile(short kindOfFile);

    // Not part of the dispatch table: what a host or a test may look at.
    // StartService with the path as the file system's bytes: a name that is
    // not valid in the locale's encoding does not survive a QString.
    qint32 StartServiceBytes(const QByteArray& filePath);
    bool HasPipeline() const;
    bool HasAudioBranch() const;    // false on a machine without sound
    QImage CurrentPicture() const;  // the latest presented picture (null before one)
    QColor BackgroundColor() const;

signals:
    void OnMediaStop();
    void DbrClick();  // never emitted: double-clicks reach a host as DblClick
    void ViewerContextMenu(short posX, short posY);
    void Click();
    void DblClick();
    void KeyDown(short* keyCode, short shift);
    void KeyPress(short* keyAscii);
    void KeyUp(short* keyCode, short shift);
    void MouseDown(short button, short shift, int x, int y);
    void MouseMove(short button, short shift, int x, int y);
    void MouseUp(short button, short shift, int x, int y);
    // Emitted on the renderer's thread for every picture it presents; use a
    // direct connection to look at it.
    void PicturePresented(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d_;
    friend struct Private;
};
