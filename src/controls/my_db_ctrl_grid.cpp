#include "my_db_ctrl_grid.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace vexa {

namespace {

// The grid as the bar sees it: one line per record, the current record as the position.
class GridTarget : public ScrollTarget {
public:
    explicit GridTarget(TMyDBCtrlGrid* grid) : grid_(grid) {}
    bool scrollState(int& min, int& max, int& page, int& position) override {
        if (!grid_)
            return false;
        // The range is the records, whether or not they all have a panel on screen:
        // the keys step the bar with the record, and Down stops at the bar's Max.
        min = 0;
        page = 1;
        max = std::max(0, grid_->RecordCount() - 1);
        position = std::max(0, grid_->RecNo());
        return true;
    }
    void lineUp() override {
        if (grid_)
            grid_->Prior();
    }
    void lineDown() override {
        if (grid_)
            grid_->Next();
    }

private:
    QPointer<TMyDBCtrlGrid> grid_;
};

} // namespace

TMyDBCtrlGrid::TMyDBCtrlGrid(QWidget* parent) : QWidget(parent), Bar(new TMyScroll(parent)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    Bar->setTarget(std::make_unique<GridTarget>(this));
    Bar->hide();
}

TMyDBCtrlGrid::~TMyDBCtrlGrid() {
    delete Bar;
}

void TMyDBCtrlGrid::setPaintPanel(PaintPanel paint) {
    paint_ = std::move(paint);
    update();
}

void TMyDBCtrlGrid::setRecordCount(int count) {
    recordCount_ = std::max(0, count);
    current_ = recordCount_ > 0 ? 0 : -1;
    top_ = 0;
    update();
    emit recordChanged(current_);
}

void TMyDBCtrlGrid::setRecNo(int record) {
    if (recordCount_ == 0)
        return;
    record = std::clamp(record, 0, recordCount_ - 1);
    if (record == current_)
        return;
    current_ = record;
    keepCurrentInView();
    update();
    emit recordChanged(current_);
}

void TMyDBCtrlGrid::First() {
    setRecNo(0);
}
void TMyDBCtrlGrid::Last() {
    setRecNo(recordCount_ - 1);
}
void TMyDBCtrlGrid::Prior() {
    setRecNo(current_ - 1);
}
void TMyDBCtrlGrid::Next() {
    setRecNo(current_ + 1);
}
void TMyDBCtrlGrid::MoveBy(int distance) {
    setRecNo(current_ + distance);
}

void TMyDBCtrlGrid::setPanelHeight(int h) {
    panelHeight_ = std::max(1, h);
    keepCurrentInView();
    update();
}

int TMyDBCtrlGrid::PanelWidth() const {
    return panelWidth_ > 0 ? panelWidth_ : std::max(1, width() / colCount_);
}

void TMyDBCtrlGrid::setPanelWidth(int w) {
    panelWidth_ = std::max(0, w);
    update();
}

void TMyDBCtrlGrid::setColCount(int columns) {
    colCount_ = std::clamp(columns, 1, 1000);
    keepCurrentInView();
    update();
}

int TMyDBCtrlGrid::RowCount() const {
    return rowCount_ > 0 ? rowCount_ : std::max(1, height() / panelHeight_);
}

void TMyDBCtrlGrid::setRowCount(int rows) {
    rowCount_ = std::clamp(rows, 0, 1000);
    keepCurrentInView();
    update();
}

int TMyDBCtrlGrid::panelsPerPage() const {
    return RowCount() * colCount_;
}

QRect TMyDBCtrlGrid::panelRect(int panel) const {
    return QRect(panel % colCount_ * PanelWidth(), panel / colCount_ * panelHeight_, PanelWidth(),
                 panelHeight_);
}

void TMyDBCtrlGrid::keepCurrentInView() {
    int page = panelsPerPage();
    if (current_ < top_)
        top_ = current_;
    else if (current_ >= top_ + page)
        top_ = current_ - page + 1;
    top_ = std::clamp(top_, 0, std::max(0, recordCount_ - page));
}

int TMyDBCtrlGrid::pageKeyStep() const {
    // The grid's maximum height constraint in panels (none set: 0).
    int constraint = maximumHeight() < QWIDGETSIZE_MAX ? maximumHeight() : 0;
    return constraint / panelHeight_;
}

void TMyDBCtrlGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    int page = panelsPerPage();
    for (int i = 0; i < page && top_ + i < recordCount_; ++i) {
        QRect panel = panelRect(i);
        p.save();
        p.setClipRect(panel);
        if (paint_)
            paint_(p, panel, top_ + i, top_ + i == current_);
        p.restore();
    }
}

void TMyDBCtrlGrid::keyPressEvent(QKeyEvent* e) {
    TMyScroll* bar = Bar;
    auto moveBar = [bar](int position) {
        if (bar)
            bar->SetParams(position, bar->Min(), bar->Max());
    };
    int pos = bar ? bar->Position() : 0;
    switch (e->key()) {
    case Qt::Key_PageUp:
        moveBar(pos - pageKeyStep());
        MoveBy(-panelsPerPage());
        break;
    case Qt::Key_PageDown:
        moveBar(pos + pageKeyStep());
        MoveBy(panelsPerPage());
        break;
    case Qt::Key_Home:
        if (bar)
            moveBar(bar->Min());
        First();
        break;
    case Qt::Key_End:
        if (bar)
            moveBar(bar->Max());
        Last();
        break;
    case Qt::Key_Up:
        // The record moves one row of panels; the bar one step.
        moveBar(pos - 1);
        MoveBy(-colCount_);
        break;
    case Qt::Key_Down:
        // On the last position the key is consumed: neither the bar nor the record moves.
        if (bar && bar->Position() >= bar->Max()) {
            e->accept();
            return;
        }
        moveBar(pos + 1);
        MoveBy(colCount_);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Across the columns; the bar stays. One column has nowhere to go.
        if (colCount_ == 1) {
            QWidget::keyPressEvent(e);
            return;
        }
        MoveBy(e->key() == Qt::Key_Left ? -1 : 1);
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    e->accept();
}

void TMyDBCtrlGrid::wheelEvent(QWheelEvent* e) {
    int notches = e->angleDelta().y() / 120;
    if (notches == 0 && e->angleDelta().y() != 0)
        notches = e->angleDelta().y() > 0 ? 1 : -1;
    MoveBy(-notches * colCount_);
    e->accept();
    if (Bar)
        Bar->SyncWithWindow();
}

void TMyDBCtrlGrid::mousePressEvent(QMouseEvent* e) {
    QPoint at = e->position().toPoint();
    int column = at.x() / PanelWidth(), row = at.y() / panelHeight_;
    int record = top_ + row * colCount_ + column;
    if (e->button() == Qt::LeftButton && at.x() >= 0 && at.y() >= 0 && column < colCount_ &&
        row < RowCount() && record < recordCount_) {
        setFocus(Qt::MouseFocusReason);
        setRecNo(record);
        emit panelClicked(record);
    }
}

bool TMyDBCtrlGrid::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange && Bar) {
        Bar->setParent(parentWidget());
        placeBar();
    }
    return QWidget::event(e);
}

void TMyDBCtrlGrid::placeBar() {
    if (!Bar)
        return;
    int h = parentWidget() ? parentWidget()->height() : Bar->height();
    Bar->setGeometry(x() + width() - Bar->width() - 2, Bar->y(), Bar->width(), h);
}

void TMyDBCtrlGrid::moveEvent(QMoveEvent* e) {
    placeBar();
    QWidget::moveEvent(e);
}

void TMyDBCtrlGrid::resizeEvent(QResizeEvent* e) {
    placeBar();
    keepCurrentInView();
    QWidget::resizeEvent(e);
}

void TMyDBCtrlGrid::showEvent(QShowEvent* e) {
    placeBar();
    if (Bar) {
        Bar->raise();
        Bar->SyncWithWindow();
    }
    QWidget::showEvent(e);
}

void TMyDBCtrlGrid::hideEvent(QHideEvent* e) {
    if (Bar)
        Bar->hide();
    QWidget::hideEvent(e);
}

} // namespace vexa
