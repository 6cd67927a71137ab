#include "exportavidlg.h"

#include "framegrabber.h"
#include "skinbutton.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace {

struct StepButton {
    int id;
    QRect rect;  // left, top, right, bottom as the layout gives them
    int seconds;
    const char* label;
};

QRect ltrb(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

// Flat rounded faces for the three states; the hour and dialog buttons are tinted apart.
QImage face(QSize size, const QString& label, QColor fill, QColor text) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(8, 8, 8));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 5, 5);
    p.fillPath(path, fill);
    p.setPen(QColor(255, 255, 255, 40));
    p.drawPath(path);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(size.height() > 40 && size.width() < 40 ? 12 : 13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(text);
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextWordWrap, label);
    return img;
}

void skin(CSkinButton* b, const QString& label, QColor base) {
    const QSize s = b->size();
    b->setImages(face(s, label, base, QColor(230, 232, 236)), face(s, label, base.lighter(135), Qt::white),
                 face(s, label, base.darker(140), QColor(200, 204, 210)));
}

}  // namespace

CExportAviDlg::CExportAviDlg(QWidget* parent, CVideoPlaySlider* slider, const CVideoLibrary& library,
                             int fileIndex, FrameGrabber* grabber)
    : CSkinDialog(parent, QStringLiteral("template-exportavi"), QSize(925, 534), 20),
      slider_(slider),
      library_(library),
      fileIndex_(fileIndex),
      grabber_(grabber) {
    setWindowTitle(tr("Export Movie Clip"));
    setDragLimit(40);
    const StepButton steps[] = {
        {IDC_START_HOUR_BACK, ltrb(150, 362, 178, 458), -3600, "-1h"},
        {IDC_START_MINUTE_BACK, ltrb(184, 362, 224, 390), -60, "-"},
        {IDC_START_TEN_BACK, ltrb(184, 396, 224, 424), -10, "-"},
        {IDC_START_SECOND_BACK, ltrb(184, 430, 224, 458), -1, "-"},
        {IDC_START_MINUTE_ON, ltrb(284, 362, 324, 390), 60, "+"},
        {IDC_START_TEN_ON, ltrb(284, 396, 324, 424), 10, "+"},
        {IDC_START_SECOND_ON, ltrb(284, 430, 324, 458), 1, "+"},
        {IDC_END_HOUR_ON, ltrb(746, 362, 774, 458), 3600, "+1h"},
        {IDC_END_MINUTE_BACK, ltrb(600, 362, 640, 390), -60, "-"},
        {IDC_END_TEN_BACK, ltrb(600, 396, 640, 424), -10, "-"},
        {IDC_END_SECOND_BACK, ltrb(600, 430, 640, 458), -1, "-"},
        {IDC_END_MINUTE_ON, ltrb(700, 362, 740, 390), 60, "+"},
        {IDC_END_TEN_ON, ltrb(700, 396, 740, 424), 10, "+"},
        {IDC_END_SECOND_ON, ltrb(700, 430, 740, 458), 1, "+"},
    };
    for (const StepButton& s : steps) {
        auto* b = new CSkinButton(this, s.id);
        b->setGeometry(s.rect);
        skin(b, QString::fromLatin1(s.label),
             s.seconds == 3600 || s.seconds == -3600 ? QColor(52, 74, 110) : QColor(58, 60, 66));
        buttons_[s.id] = b;
    }
    auto* close = new CSkinButton(this, IDC_CLOSE);
    close->setGeometry(ltrb(890, 5, 914, 29));
    skin(close, QStringLiteral("\u00d7"), QColor(90, 40, 40));
    close->setTooltipText(tr("Close"));
    buttons_[IDC_CLOSE] = close;
    auto* exportButton = new CSkinButton(this, IDC_EXPORT);
    exportButton->setGeometry(ltrb(739, 491, 917, 527));
    skin(exportButton, tr("Export"), QColor(36, 98, 214));
    buttons_[IDC_EXPORT] = exportButton;
    for (auto& [id, b] : buttons_) connect(b, &CSkinButton::commandSent, this, &CExportAviDlg::onButton);

    // The clip's format; WMV is made at a chosen bit rate.
    const QString style = QStringLiteral("color: rgb(230, 232, 236); font: 13px 'Arial';");
    auto* formatLabel = new QLabel(tr("Format"), this);
    formatLabel->setStyleSheet(style);
    formatLabel->setGeometry(330, 497, 70, 28);
    format_ = new QComboBox(this);
    format_->addItems({QStringLiteral("AVI"), QStringLiteral("MP4"), QStringLiteral("WMV")});
    format_->setGeometry(400, 497, 90, 28);
    auto* rateLabel = new QLabel(tr("Bit rate"), this);
    rateLabel->setStyleSheet(style);
    rateLabel->setGeometry(502, 497, 92, 28);
    bitRate_ = new QLineEdit(QStringLiteral("1000k"), this);
    bitRate_->setGeometry(598, 497, 112, 28);
    bitRate_->setEnabled(false);
    formatLabel->setBuddy(format_);
    rateLabel->setBuddy(bitRate_);
    connect(format_, &QComboBox::currentTextChanged, this,
            [this](const QString& f) { bitRate_->setEnabled(f == QLatin1String("WMV")); });
    refreshPreviews();
}

CSkinButton* CExportAviDlg::button(int id) const {
    const auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

QString CExportAviDlg::format() const { return format_->currentText(); }
QString CExportAviDlg::bitRate() const {
    return format() == QLatin1String("WMV") ? bitRate_->text().trimmed() : QString();
}
void CExportAviDlg::setFormat(const QString& f) { format_->setCurrentText(f); }

void CExportAviDlg::onButton(int id) {
    if (id == IDC_CLOSE) {
        reject();
        return;
    }
    if (id == IDC_EXPORT) {
        accept();
        return;
    }
    static const std::map<int, int> kSeconds = {
        {IDC_START_HOUR_BACK, -3600}, {IDC_START_MINUTE_BACK, -60}, {IDC_START_TEN_BACK, -10},
        {IDC_START_SECOND_BACK, -1},  {IDC_START_MINUTE_ON, 60},    {IDC_START_TEN_ON, 10},
        {IDC_START_SECOND_ON, 1},     {IDC_END_HOUR_ON, 3600},      {IDC_END_MINUTE_BACK, -60},
        {IDC_END_TEN_BACK, -10},      {IDC_END_SECOND_BACK, -1},    {IDC_END_MINUTE_ON, 60},
        {IDC_END_TEN_ON, 10},         {IDC_END_SECOND_ON, 1}};
    const auto it = kSeconds.find(id);
    if (it == kSeconds.end() || !slider_) return;
    if (id <= IDC_START_SECOND_ON) slider_->moveStartMark(it->second);
    else slider_->moveEndMark(it->second);
    refreshPreviews();
    update();
}

// A mark at the very end shows the last picture that has a place in the catalogue.
int CExportAviDlg::pictureOffset(int mark) const {
    if (!slider_) return 0;
    if (mark < 0) mark = slider_->value();
    if (mark != slider_->maximum()) return mark;
    if (library_.selectedFile() != fileIndex_ || library_.framePositionCount() == 0)
        return slider_->minimum();
    const auto& pos = library_.framePositions();
    return int(pos.back().time - pos.front().time);
}

QPixmap CExportAviDlg::grabPicture(int offset) {
    if (!grabber_ || fileIndex_ < 0) return {};
    const std::string path = grabber_->grab(library_, fileIndex_, "450x300", offset);
    QPixmap pm;
    if (!path.empty()) pm.load(QString::fromStdString(path));
    return pm;
}

void CExportAviDlg::refreshPreviews() {
    startPicture_ = QPixmap();
    endPicture_ = QPixmap();
    if (!slider_) return;
    startOffset_ = pictureOffset(slider_->startMark());
    endOffset_ = pictureOffset(slider_->endMark());
    startPicture_ = grabPicture(startOffset_);
    endPicture_ = grabPicture(endOffset_);
}

void CExportAviDlg::paintEvent(QPaintEvent* e) {
    CSkinDialog::paintEvent(e);
    QPainter p(this);
    const QRect boxes[] = {QRect(22, 64, 430, 287), QRect(472, 64, 430, 287)};
    const QPixmap* pictures[] = {&startPicture_, &endPicture_};
    const int marks[] = {slider_ ? slider_->startMark() : -1, slider_ ? slider_->endMark() : -1};
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    p.setFont(f);
    for (int i = 0; i < 2; ++i) {
        if (pictures[i]->isNull()) p.fillRect(boxes[i], QColor(24, 26, 30));
        else p.drawPixmap(boxes[i], *pictures[i]);
        if (!slider_ || marks[i] < 0) continue;
        // The wall-clock time of the mark, above its picture.
        const QDateTime when = QDateTime::fromSecsSinceEpoch(slider_->recordingStart() + marks[i]);
        p.setPen(QColor(230, 232, 236));
        p.drawText(QRect(boxes[i].left(), 42, boxes[i].width() - 6, 20), Qt::AlignRight | Qt::AlignVCenter,
                   when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
}
