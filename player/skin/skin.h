// The skin: templates.ini read line by line, the template picture cut into
// named bitmaps and button state images, and the control placement records.
#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// One placement record per BUTTON or CTRL line, in file order.
struct CtrlRect {
    enum Kind { Button = 0, AudioSlider = 1, VideoSlider = 2, PlayTime = 3, Thumbnail = 4, Video = 5 };
    enum Mode { Absolute = 0, FromEnd = 1, Percent = 2, Grows = 10 };
    int kind = Button;
    QString name;  // skin key of the placed control
    int xMode = Absolute;
    int yMode = Absolute;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The images of one skinned button, cut in state order.
struct SkinButtonImages {
    QString stateKind;        // "3BTN", "4BTN" or "6BTN"
    QVector<QPixmap> images;  // 3, 4 or 6
};

class CSkin {
public:
    // The 3 x 3 background set, by column and row.
    static const QStringList& backgroundNames();
    // Every bitmap name a BITMAP line may fill.
    static bool isBitmapName(const QString& name);
    // The 29 main window buttons, in creation order.
    static const QStringList& buttonNames();

    // Reads the description and cuts the picture. False when the description
    // cannot be read (the "No Template File" case); the skin is then empty.
    // A missing or unreadable picture leaves the images empty and is noted in
    // warnings().
    bool load(const QString& iniPath, const QString& picturePath);
    // The same from text already in memory.
    void parse(const QString& text, const QImage& picture);
    void clear();

    QSize designSize() const { return designSize_; }
    // False when load() could not read the template picture.
    bool pictureLoaded() const { return pictureLoaded_; }
    QPixmap bitmap(const QString& name) const { return bitmaps_.value(name); }
    bool hasBitmap(const QString& name) const { return bitmaps_.contains(name); }
    const QHash<QString, QPixmap>& bitmaps() const { return bitmaps_; }
    const SkinButtonImages* button(const QString& name) const;
    const QVector<CtrlRect>& records() const { return records_; }
    // Lines that were rejected, each "line N: reason".
    const QStringList& warnings() const { return warnings_; }

    // Position and size of a record for a layout of W x H (client size + 2)
    // and a design size.
    static QRect place(const CtrlRect& r, int W, int H, QSize design);

    // "-120" -> (1, 120), "*50" -> (2, 50), "+100" -> (10, 100), "7" -> (0, 7).
    // False when the rest is not a decimal number.
    static bool parseValue(const QString& field, bool sizeField, int* mode, int* value);

private:
    void warn(int line, const QString& why);
    QPixmap cut(const QImage& picture, qint64 x, qint64 y, int w, int h) const;

    QSize designSize_;
    QHash<QString, QPixmap> bitmaps_;
    QHash<QString, SkinButtonImages> buttons_;
    QVector<CtrlRect> records_;
    QStringList warnings_;
    bool pictureLoaded_ = false;
};
