#include "memdc.h"

CMemDC::CMemDC(QPainter* target, const QRect& rect)
    : target_(target), rect_(rect), pixmap_(rect.size().expandedTo(QSize(1, 1))) {
    pixmap_.fill(Qt::black);
    painter_.begin(&pixmap_);
    painter_.translate(-rect_.topLeft());
}

CMemDC::~CMemDC() {
    painter_.end();
    if (target_) target_->drawPixmap(rect_.topLeft(), pixmap_);
}
