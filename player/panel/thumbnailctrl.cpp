#include "thumbnailctrl.h"

#include "framegrabber.h"
#include "panelrow.h"
#include "skinkeys.h"
#include "videolibrary.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CThumbnailCtrl::CThumbnailCtrl(CVideoLibrary& library, QWidget* parent)
    : QWidget(parent),
      ctx_(library, *this),
      pictures_(new CPanelPictures(library, this)),
      list_(ctx_),
      calendar_(ctx_),
      info_(ctx_),
      timeline_(new CPanelDayTimeline(ctx_, this)) {
    setObjectName(QLatin1String(skinkey::m_ThumbnailCtrl));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    ctx_.fonts = panel::Fonts::make();
    ctx_.pictures = pictures_;
    connect(pictures_, &CPanelPictures::progress, this, &CThumbnailCtrl::showProgress);
    connect(timeline_, &CPanelDayTimeline::timeChosen, this, &CThumbnailCtrl::timeChosen);
    timeline_->hide();
    connect(pictures_->grabber(), &CAsyncFrameGrabber::toolProblem, this, &CThumbnailCtrl::toolProblem);
}

CThumbnailCtrl::~CThumbnailCtrl() = default;

void CThumbnailCtrl::setSkin(const CSkin* skin) {
    ctx_.skin = skin;
    update();
}

bool CThumbnailCtrl::passes(int file) const { return (ctx_.library.eventSummary(file) & mask_) != 0; }

void CThumbnailCtrl::setPage(int page) {
    page_ = std::clamp(page, 0, 2);
    ctx_.pointer.pressed = -1;
    refresh(-1, -1);
}

bool CThumbnailCtrl::isListed(int file) const {
    return file >= 0 && file < ctx_.library.fileCount() && passes(file);
}

void CThumbnailCtrl::setFilterBit(int bit, bool on) {
    mask_ &= ~bit;
    if (on) mask_ |= bit;
    ctx_.pointer.pressed = -1;
    if (!isListed(ctx_.selected)) ctx_.selected = -1;
    refresh(-1, -1);
}

void CThumbnailCtrl::setFilterMask(int mask) {
    mask_ = mask & 15;
    refresh(-1, -1);
}

void CThumbnailCtrl::markSelection(int file) {
    ctx_.selected = file;
    update();
}

void CThumbnailCtrl::followPlayback(int file) {
    ctx_.selected = file;
    int listPage = -1;
    const auto& shown = ctx_.shown;
    const auto it = std::find(shown.begin(), shown.end(), file);
    if (it != shown.end() && ctx_.rows() > 0) listPage = int(it - shown.begin()) / ctx_.rows();
    const std::int64_t start = ctx_.library.startTime(file);
    // The half hour the recording starts in.
    std::int64_t halfHour = -1;
    if (start > 0) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(start);
        halfHour =
            QDateTime(t.date(), QTime(t.time().hour(), t.time().minute() < 30 ? 0 : 30)).toSecsSinceEpoch();
    }
    refresh(listPage, halfHour);
}

void CThumbnailCtrl::clearSelection() {
    ctx_.selected = -1;
    ctx_.pointer.pressed = -1;
    update();
}

void CThumbnailCtrl::resetForOpen() {
    pictures_->reset();
    mask_ = 15;
    ctx_.selected = -1;
    ctx_.pointer.pressed = -1;
    // The calendar opens on the newest recording that is listed.
    rebuildShown();
    const std::int64_t newest =
        !ctx_.shown.empty() ? ctx_.library.startTime(ctx_.shown.front()) : QDateTime::currentSecsSinceEpoch();
    calendar_.resetForOpen(newest);
    refresh(0, newest);
}

void CThumbnailCtrl::rebuildShown() {
    ctx_.shown.clear();
    for (int i = 0; i < ctx_.library.fileCount(); ++i)
        if (passes(i)) ctx_.shown.push_back(i);
}

void CThumbnailCtrl::refresh(int listPage, std::int64_t calendarDate) {
    rebuildShown();
    list_.refresh(listPage);
    calendar_.refresh(calendarDate);
    const QRect strip = calendar_.timelineRect();
    timeline_->setVisible(page_ == CalendarPage && !strip.isEmpty());
    if (timeline_->isVisible()) {
        timeline_->setGeometry(strip);
        timeline_->setDay(calendar_.date());
    }
    requestPictures();
    update();
}

void CThumbnailCtrl::requestPictures() {
    if (page_ == ListPage) pictures_->request(list_.visibleFiles());
    else if (page_ == CalendarPage) pictures_->request(calendar_.pageItems());
}

void CThumbnailCtrl::showProgress(int done, int asked) {
    emit statusText(asked == 0 ? QString() : tr("Preparing Pictures (%1/%2)").arg(done).arg(asked));
    update();
}

QString CThumbnailCtrl::pageBarText() const {
    return page_ == CalendarPage ? calendar_.pageBarText() : list_.pageBarText();
}

QStringList CThumbnailCtrl::rowTexts(int file) const { return CPanelRow::texts(ctx_.library, file); }

void CThumbnailCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), panel::kBack);
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (page_) {
    case ListPage: list_.paint(p); break;
    case CalendarPage: calendar_.paint(p); break;
    default: info_.paint(p); break;
    }
}

void CThumbnailCtrl::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    refresh(-1, -1);
}

// ---------------------------------------------------------------- mouse

void CThumbnailCtrl::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    ctx_.pointer.pressedInMark = pos.x() < panel::kMarkAreaWidth;
    if (page_ == ListPage) perform(list_.press(pos));
    else if (page_ == CalendarPage) ctx_.pointer.pressed = calendar_.pressCode(pos);
    update();
}

void CThumbnailCtrl::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    panel::Hover hover;
    if (page_ == ListPage) hover = list_.hoverAt(pos);
    else if (page_ == CalendarPage) hover.code = calendar_.hitCode(pos);
    if (!(hover == ctx_.pointer.hover)) {
        ctx_.pointer.hover = hover;
        update();
    }
}

void CThumbnailCtrl::leaveEvent(QEvent*) {
    ctx_.pointer.hover = {};
    update();
}

void CThumbnailCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    const int was = ctx_.pointer.pressed;
    ctx_.pointer.pressed = -1;
    if (page_ == ListPage) perform(list_.release(pos, was));
    else if (page_ == CalendarPage) perform(calendar_.release(pos, was));
    else return;
    update();
}

void CThumbnailCtrl::perform(const panel::Action& action) {
    switch (action.kind) {
    case panel::Action::Refresh: refresh(action.listPage, action.calendarDate); break;
    case panel::Action::Choose: choose(action.file, action.markArea); break;
    case panel::Action::None: break;
    }
}

void CThumbnailCtrl::choose(int file, bool markArea) {
    if (markArea) {
        ctx_.library.setMarked(file, !ctx_.library.marked(file));
        ctx_.pointer.pressed = -1;
        update();
        return;
    }
    ctx_.selected = file;
    refresh(-1, -1);
    emit fileChosen(file);
}
