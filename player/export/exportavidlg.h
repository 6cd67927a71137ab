// The range dialog of a video export: the pictures at both marks of the play
// slider, sixteen buttons that move the marks, and the clip's format.
#pragma once

#include "skindialog.h"

#include <QPixmap>

#include <map>

class CSkinButton;
class CVideoLibrary;
class CVideoPlaySlider;
class FrameGrabber;
class QComboBox;
class QLineEdit;

class CExportAviDlg : public CSkinDialog {
    Q_OBJECT
public:
    enum {
        IDC_START_HOUR_BACK = 1093,
        IDC_START_MINUTE_BACK,
        IDC_START_TEN_BACK,
        IDC_START_SECOND_BACK,
        IDC_START_MINUTE_ON,
        IDC_START_TEN_ON,
        IDC_START_SECOND_ON,
        IDC_END_HOUR_ON,
        IDC_END_MINUTE_BACK,
        IDC_END_TEN_BACK,
        IDC_END_SECOND_BACK,
        IDC_END_MINUTE_ON,
        IDC_END_TEN_ON,
        IDC_END_SECOND_ON,
        IDC_CLOSE = 1107,
        IDC_EXPORT = 1108,
    };

    CExportAviDlg(QWidget* parent, CVideoPlaySlider* slider, const CVideoLibrary& library, int fileIndex,
                  FrameGrabber* grabber);

    CSkinButton* button(int id) const;
    // "AVI", "WMV" or "MP4"; the bit rate ("1000k") for WMV.
    QString format() const;
    QString bitRate() const;
    void setFormat(const QString& format);
    const QPixmap& startPicture() const { return startPicture_; }
    const QPixmap& endPicture() const { return endPicture_; }
    // The slider offsets whose pictures are shown.
    int startPictureOffset() const { return startOffset_; }
    int endPictureOffset() const { return endOffset_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void onButton(int id);
    void refreshPreviews();
    int pictureOffset(int mark) const;
    QPixmap grabPicture(int offset);

    CVideoPlaySlider* slider_;
    const CVideoLibrary& library_;
    int fileIndex_;
    FrameGrabber* grabber_;
    std::map<int, CSkinButton*> buttons_;
    QComboBox* format_ = nullptr;
    QLineEdit* bitRate_ = nullptr;
    QPixmap startPicture_, endPicture_;
    int startOffset_ = -1, endOffset_ = -1;
};
