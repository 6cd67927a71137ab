// The still image dialog: the frame on screen, shown at a chosen output size
// with a one-line caption at one of eight places, saved as a JPEG file.
#pragma once

#include "skindialog.h"

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>

class CSkinButton;
class CSkinEdit;
class QMessageBox;

class CExportImageDlg : public CSkinDialog {
    Q_OBJECT
public:
    enum ButtonId {
        IDC_IMAGE_CLOSE = 1077,
        IDC_IMAGE_SIZE_LARGE = 1078,  // 704 x 576, or 704 x 480
        IDC_IMAGE_SIZE_SMALL = 1079,  // 352 x 288, or 352 x 240
        IDC_IMAGE_SIZE_SOURCE = 1080,
        IDC_IMAGE_APPLY = 1081,
        IDC_IMAGE_POS_0 = 1082,
        IDC_IMAGE_POS_1 = 1083,
        IDC_IMAGE_POS_2 = 1084,
        IDC_IMAGE_POS_3 = 1085,
        IDC_IMAGE_POS_10 = 1086,
        IDC_IMAGE_POS_11 = 1087,
        IDC_IMAGE_POS_12 = 1088,
        IDC_IMAGE_POS_13 = 1089,
        IDC_IMAGE_SAVE = 1090,
    };
    static constexpr int kWidth = 925;
    static constexpr int kHeight = 696;
    static constexpr int kDefaultPosition = 13;
    // Caption band above or below the picture.
    static constexpr int kBandHeight = 20;
    static constexpr int kMaxCaption = 1024;
    static constexpr QRgb kBandColour = 0xFFC8C8C8;

    // Chooses the file to save to; an empty answer cancels. Replaces the file
    // dialog (tests); empty function: the file dialog.
    using SavePathChooser = std::function<QString(QWidget* parent, const QString& suggestedPath)>;
    static void setSavePathChooser(SavePathChooser chooser);

    // picturePath: the JPEG of the frame on screen; defaultName: the file name offered.
    CExportImageDlg(const QString& picturePath, const QString& defaultName, QWidget* parent = nullptr);
    ~CExportImageDlg() override;

    // The three images of a button (normal, pointer over, pressed); the
    // pressed one also marks the chosen size and position.
    void setButtonImages(int id, const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed);

    bool hasPicture() const { return !source_.isNull(); }
    QSize sourceSize() const { return source_.size(); }
    QSize outputSize() const { return output_; }
    int position() const { return position_; }
    QString caption() const;
    QString defaultName() const { return defaultName_; }
    CSkinButton* button(int id) const;
    CSkinEdit* captionField() const { return caption_; }
    // The two standard sizes offered for a picture height.
    static QSize largeSize(int sourceHeight);
    static QSize smallSize(int sourceHeight);

    // The picture as saved: the source at the output size with the caption at
    // the position code, and a grey band for the rows outside the picture.
    static QImage compose(const QImage& source, const QSize& output, int position, const QString& caption);
    // Writes compose() to path as JPEG; nothing is left behind on failure.
    // False with the reason in *error.
    bool writeTo(const QString& path, QString* error = nullptr) const;

    // Runs the handler of a button.
    void onCommand(int id);

signals:
    void saved(const QString& path);

public slots:
    void done(int result) override;

protected:
    void paintOver(QPainter& p) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void createButtons();
    void setOutputSize(const QSize& size);
    void setPosition(int code);
    void showChoice();
    void save();
    void saveTo(const QString& path);
    void storeSettings();
    void repaintPreview();

    QString defaultName_;
    QImage source_;
    QSize output_;
    int position_ = kDefaultPosition;
    QFont captionFont_;
    CSkinEdit* caption_ = nullptr;
    std::map<int, CSkinButton*> buttons_;
    QPointer<QMessageBox> problem_;
    bool stored_ = false;
};
