#include "my_tree_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

namespace vexa {

TMyTreeView::TMyTreeView(QWidget* parent) : QTreeWidget(parent), Bar(new TMyScroll(parent)) {
    setFrameShape(QFrame::NoFrame);
    setHeaderHidden(true);
    setRootIsDecorated(false); // no expand buttons and no lines
    setItemsExpandable(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    // Entries light up under the mouse (the style draws hovered entries).
    Bar->setTarget(std::make_unique<ScrollAreaTarget>(this));
    Bar->hide();
    followParentColour();
    connect(this, &QTreeWidget::itemExpanded, this, &TMyTreeView::sync);
    connect(this, &QTreeWidget::itemCollapsed, this, &TMyTreeView::sync);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &TMyTreeView::sync);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TMyTreeView::sync);
}

TMyTreeView::~TMyTreeView() {
    delete Bar;
}

void TMyTreeView::sync() {
    if (Bar && isVisible())
        Bar->SyncWithWindow();
}

void TMyTreeView::followParentColour() {
    if (customBackground_ || !parentWidget())
        return;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, parentWidget()->palette().color(QPalette::Window));
    setPalette(pal);
}

void TMyTreeView::setBackground(const QColor& color, const QImage& tile) {
    customBackground_ = true;
    QPalette pal = palette();
    if (!tile.isNull())
        pal.setBrush(QPalette::Base, QBrush(tile));
    else
        pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

void TMyTreeView::setTreeFont(const QFont& font, const QColor& color) {
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::HighlightedText, color);
    setPalette(pal);
}

bool TMyTreeView::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange) {
        if (Bar)
            Bar->setParent(parentWidget());
        followParentColour();
    }
    return QTreeWidget::event(e);
}

void TMyTreeView::showEvent(QShowEvent* e) {
    QTreeWidget::showEvent(e);
    sync();
}

void TMyTreeView::hideEvent(QHideEvent* e) {
    if (Bar)
        Bar->hide();
    QTreeWidget::hideEvent(e);
}

void TMyTreeView::resizeEvent(QResizeEvent* e) {
    QTreeWidget::resizeEvent(e);
    sync();
}

} // namespace vexa
