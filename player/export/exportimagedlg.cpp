#include "exportimagedlg.h"

#include "skinbutton.h"
#include "skinedit.h"

#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

CExportImageDlg::SavePathChooser& chooserHook() {
    static CExportImageDlg::SavePathChooser chooser;
    return chooser;
}

const QString kCaptionKey = QStringLiteral("ExportImage/Caption");
const QString kPositionKey = QStringLiteral("ExportImage/Position");

// Where each button sits in the dialog.
struct ButtonPlace {
    int id;
    QRect rect;
};
const ButtonPlace kPlaces[] = {
    {CExportImageDlg::IDC_IMAGE_CLOSE, QRect(QPoint(890, 5), QPoint(913, 28))},
    {CExportImageDlg::IDC_IMAGE_SAVE, QRect(QPoint(729, 577), QPoint(906, 640))},
    {CExportImageDlg::IDC_IMAGE_SIZE_LARGE, QRect(QPoint(729, 79), QPoint(906, 108))},
    {CExportImageDlg::IDC_IMAGE_SIZE_SMALL, QRect(QPoint(729, 117), QPoint(906, 146))},
    {CExportImageDlg::IDC_IMAGE_SIZE_SOURCE, QRect(QPoint(729, 155), QPoint(906, 184))},
    {CExportImageDlg::IDC_IMAGE_APPLY, QRect(QPoint(840, 658), QPoint(905, 684))},
    {CExportImageDlg::IDC_IMAGE_POS_0, QRect(QPoint(730, 248), QPoint(772, 273))},
    {CExportImageDlg::IDC_IMAGE_POS_1, QRect(QPoint(730, 278), QPoint(772, 303))},
    {CExportImageDlg::IDC_IMAGE_POS_2, QRect(QPoint(730, 371), QPoint(772, 396))},
    {CExportImageDlg::IDC_IMAGE_POS_3, QRect(QPoint(730, 401), QPoint(772, 426))},
    {CExportImageDlg::IDC_IMAGE_POS_10, QRect(QPoint(864, 248), QPoint(906, 273))},
    {CExportImageDlg::IDC_IMAGE_POS_11, QRect(QPoint(864, 278), QPoint(906, 303))},
    {CExportImageDlg::IDC_IMAGE_POS_12, QRect(QPoint(864, 371), QPoint(906, 396))},
    {CExportImageDlg::IDC_IMAGE_POS_13, QRect(QPoint(864, 401), QPoint(906, 426))},
};

// Position code of a position button; -1 for other buttons.
int positionOf(int id) {
    if (id >= CExportImageDlg::IDC_IMAGE_POS_0 && id <= CExportImageDlg::IDC_IMAGE_POS_3)
        return id - CExportImageDlg::IDC_IMAGE_POS_0;
    if (id >= CExportImageDlg::IDC_IMAGE_POS_10 && id <= CExportImageDlg::IDC_IMAGE_POS_13)
        return 10 + id - CExportImageDlg::IDC_IMAGE_POS_10;
    return -1;
}

bool validPosition(int code) { return (code >= 0 && code <= 3) || (code >= 10 && code <= 13); }

QFont captionFont() {
    QFont f(QStringLiteral("MS PGothic"));
    f.setPixelSize(14);
    f.setBold(true);
    return f;
}

// The caption's text rectangle on the saved picture (x 0, as wide as it).
QRect captionRect(const QSize& output, int position) {
    const int row = position % 10;
    const int y = row <= 1 ? 3 : row == 2 ? output.height() - 18 : output.height() + 2;
    return QRect(0, y, output.width(), CExportImageDlg::kBandHeight);
}

int captionAlignment(int position) {
    return int(position >= 10 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine;
}

// Preview: the picture at (12, 50), its small copy, the area repainted on a change.
constexpr QPoint kPreviewOrigin(12, 50);
const QRect kSmallPreview(731, 279, 174, 118);
const QRect kPreviewArea(0, 0, 725, 647);

}  // namespace

void CExportImageDlg::setSavePathChooser(SavePathChooser chooser) { chooserHook() = std::move(chooser); }

CExportImageDlg::CExportImageDlg(const QString& picturePath, const QString& defaultName, QWidget* parent)
    : CSkinDialog(parent, QStringLiteral("template-exportimage"), QSize(kWidth, kHeight)),
      defaultName_(defaultName),
      source_(picturePath),
      output_(source_.size()),
      captionFont_(captionFont()) {
    setObjectName(QStringLiteral("CExportImageDlg"));
    setWindowTitle(tr("Export Still Image"));
    createButtons();

    caption_ = new CSkinEdit(this);
    caption_->setObjectName(QStringLiteral("m_edtImageCaption"));
    caption_->setGeometry(119, 663, 711, 19);
    caption_->setMaxLength(kMaxCaption);
    QFont editFont(QStringLiteral("MS PGothic"));
    editFont.setPointSize(12);
    editFont.setWeight(QFont::DemiBold);
    caption_->setFont(editFont);
    // The preview follows the caption as it is typed.
    connect(caption_, &QLineEdit::textChanged, this, &CExportImageDlg::repaintPreview);

    QSettings settings;
    caption_->setText(settings.value(kCaptionKey).toString());
    bool ok = false;
    const int code = settings.value(kPositionKey, kDefaultPosition).toInt(&ok);
    position_ = ok && validPosition(code) ? code : kDefaultPosition;
    showChoice();
    caption_->setFocus();
}

CExportImageDlg::~CExportImageDlg() { storeSettings(); }

void CExportImageDlg::createButtons() {
    for (const ButtonPlace& place : kPlaces) {
        auto* b = new CSkinButton(this, place.id);
        b->setObjectName(QStringLiteral("image%1").arg(place.id));
        b->setGeometry(place.rect);
        b->setMode(2);
        connect(b, &CSkinButton::commandSent, this, &CExportImageDlg::onCommand);
        buttons_[place.id] = b;
    }
    const std::pair<int, const char*> tips[] = {
        {IDC_IMAGE_CLOSE, QT_TR_NOOP("Close")},
        {IDC_IMAGE_SAVE, QT_TR_NOOP("Save as JPEG file")},
        {IDC_IMAGE_APPLY, QT_TR_NOOP("Show the caption in the preview")},
        {IDC_IMAGE_SIZE_SOURCE, QT_TR_NOOP("Original Size")},
    };
    for (const auto& [id, tip] : tips) buttons_[id]->setTooltipText(tr(tip), true);
}

void CExportImageDlg::setButtonImages(int id, const QPixmap& normal, const QPixmap& hover,
                                      const QPixmap& pressed) {
    CSkinButton* b = button(id);
    if (!b) return;
    b->setImages(normal, hover, pressed);
    // The chosen size and position show their pressed picture.
    b->setImages2(pressed);
    showChoice();
}

CSkinButton* CExportImageDlg::button(int id) const {
    const auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

QString CExportImageDlg::caption() const { return caption_->text(); }

QSize CExportImageDlg::largeSize(int sourceHeight) {
    return sourceHeight % 288 == 0 ? QSize(704, 576) : QSize(704, 480);
}

QSize CExportImageDlg::smallSize(int sourceHeight) {
    return sourceHeight % 288 == 0 ? QSize(352, 288) : QSize(352, 240);
}

void CExportImageDlg::onCommand(int id) {
    const int code = positionOf(id);
    if (code >= 0) {
        setPosition(code);
        return;
    }
    switch (id) {
    case IDC_IMAGE_CLOSE: reject(); break;
    case IDC_IMAGE_SAVE: save(); break;
    case IDC_IMAGE_SIZE_LARGE: setOutputSize(largeSize(source_.height())); break;
    case IDC_IMAGE_SIZE_SMALL: setOutputSize(smallSize(source_.height())); break;
    case IDC_IMAGE_SIZE_SOURCE: setOutputSize(source_.size()); break;
    case IDC_IMAGE_APPLY: repaintPreview(); break;
    default: break;
    }
}

void CExportImageDlg::setOutputSize(const QSize& size) {
    output_ = size;
    showChoice();
    repaintPreview();
}

void CExportImageDlg::setPosition(int code) {
    position_ = code;
    showChoice();
    repaintPreview();
}

void CExportImageDlg::showChoice() {
    for (const auto& [id, b] : buttons_) {
        const int code = positionOf(id);
        bool chosen = code >= 0 && code == position_;
        if (id == IDC_IMAGE_SIZE_LARGE) chosen = output_ == largeSize(source_.height());
        if (id == IDC_IMAGE_SIZE_SMALL) chosen = output_ == smallSize(source_.height());
        if (id == IDC_IMAGE_SIZE_SOURCE) chosen = output_ == source_.size();
        if (b->active() == chosen) b->setActive(!chosen);
    }
}

void CExportImageDlg::repaintPreview() { update(kPreviewArea); }

void CExportImageDlg::paintOver(QPainter& p) {
    if (source_.isNull()) return;
    const int row = position_ % 10;
    const QRect picture(kPreviewOrigin, output_);
    p.save();
    p.setClipRect(QRect(0, 30, kPreviewArea.width(), kPreviewArea.height() - 30));
    // The band shows where a caption outside the picture goes, as it is saved.
    if (row == 0)
        p.fillRect(QRect(picture.left(), picture.top() - kBandHeight, output_.width(), kBandHeight),
                   QColor::fromRgb(kBandColour));
    if (row == 3)
        p.fillRect(QRect(picture.left(), picture.bottom() + 1, output_.width(), kBandHeight),
                   QColor::fromRgb(kBandColour));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(picture, source_);
    const int y = row == 0 ? 33 : row == 1 ? 53 : row == 2 ? output_.height() + 32 : output_.height() + 52;
    p.setFont(captionFont_);
    p.setPen(QColor(0, 0, 0));
    p.drawText(QRect(15, y, output_.width() - 6, kBandHeight), captionAlignment(position_),
               caption_->text().left(kMaxCaption));
    p.restore();
    p.drawImage(kSmallPreview, source_);
}

QImage CExportImageDlg::compose(const QImage& source, const QSize& output, int position,
                                const QString& caption) {
    if (source.isNull() || output.isEmpty()) return QImage();
    const int row = position % 10;
    const bool band = row == 0 || row == 3;
    QImage out(output.width(), output.height() + (band ? kBandHeight : 0), QImage::Format_RGB32);
    out.fill(QColor::fromRgb(kBandColour));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint(0, row == 0 ? kBandHeight : 0), output), source);
    p.setFont(captionFont());
    p.setPen(QColor(0, 0, 0));
    p.drawText(captionRect(output, position), captionAlignment(position), caption.left(kMaxCaption));
    p.end();
    return out;
}

bool CExportImageDlg::writeTo(const QString& path, QString* error) const {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QImage picture = compose(source_, output_, position_, caption_->text());
    if (picture.isNull()) return fail(tr("There is no picture to save."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    if (!picture.save(&file, "JPEG")) {
        const QString why = file.error() != QFileDevice::NoError
                                ? file.errorString()
                                : tr("The JPEG picture could not be written.");
        file.cancelWriting();
        return fail(why);
    }
    // Nothing appears under the chosen name unless the whole file was written.
    if (!file.commit()) return fail(file.errorString());
    return true;
}

void CExportImageDlg::save() {
    if (problem_ && problem_->isVisible()) return;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(defaultName_ + QStringLiteral(".jpg"));
    if (const SavePathChooser& chooser = chooserHook()) {
        saveTo(chooser(this, suggested));
        return;
    }
    auto* dlg = new QFileDialog(this, tr("Save Still Image"), suggested);
    dlg->setAcceptMode(QFileDialog::AcceptSave);
    dlg->setFileMode(QFileDialog::AnyFile);
    dlg->setNameFilters(
        {tr("JPEG file") + QStringLiteral("(*.jpg)"), tr("All Files") + QStringLiteral("(*)")});
    dlg->setDefaultSuffix(QStringLiteral("jpg"));
    dlg->selectFile(suggested);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QFileDialog::fileSelected, this, &CExportImageDlg::saveTo);
    dlg->open();
}

void CExportImageDlg::saveTo(const QString& path) {
    if (path.isEmpty()) return;  // cancelled: the dialog stays
    QString why;
    if (!writeTo(path, &why)) {
        // Said, and the dialog stays open for another place.
        problem_ = new QMessageBox(
            QMessageBox::Warning, QStringLiteral("Korvid"),
            tr("The still image could not be saved to %1.").arg(QDir::toNativeSeparators(path)) +
                QLatin1Char('\n') + why,
            QMessageBox::Ok, this);
        problem_->setAttribute(Qt::WA_DeleteOnClose);
        problem_->open();
        return;
    }
    emit saved(path);
    accept();
}

void CExportImageDlg::storeSettings() {
    if (stored_ || !caption_) return;
    stored_ = true;
    QSettings settings;
    settings.setValue(kCaptionKey, caption_->text());
    settings.setValue(kPositionKey, position_);
}

void CExportImageDlg::done(int result) {
    storeSettings();
    CSkinDialog::done(result);
}

void CExportImageDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        onCommand(IDC_IMAGE_APPLY);
        e->accept();
        return;
    }
    if (e->matches(QKeySequence::Save)) {
        onCommand(IDC_IMAGE_SAVE);
        e->accept();
        return;
    }
    CSkinDialog::keyPressEvent(e);
}
