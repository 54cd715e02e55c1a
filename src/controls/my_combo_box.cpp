#include "my_combo_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>

namespace vexa {

namespace {

// The round button beside the box that opens and closes the list.
class CircleButton : public QWidget {
public:
    CircleButton(TMyComboBox* box, QWidget* parent) : QWidget(parent), box_(box) {
        picture_ = whiteTransparent(TMyComboBox::circlePicture());
        setFixedSize(19, 19);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, picture_);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && box_)
            box_->ToggleList();
    }

private:
    TMyComboBox* box_;
    QImage picture_;
};

} // namespace

QImage TMyComboBox::circlePicture() {
    QImage img(19, 19, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QColor grey(123, 123, 123);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(grey);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(0, 0, 18, 18));
    p.setBrush(grey);
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(9, 13)}));
    return img;
}

TMyComboBox::TMyComboBox(QWidget* parent)
    : QWidget(parent), Edit(new QLineEdit(this)), List(new QListWidget(this)),
      Bar(new TMyScroll(parent, kBarWidth)), Circle(new CircleButton(this, parent)) {
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(Edit);
    Edit->setFrame(false);
    List->setFrameShape(QFrame::NoFrame);
    List->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    List->setUniformItemSizes(true);
    List->setFocusPolicy(Qt::ClickFocus);
    List->viewport()->installEventFilter(this);
    Edit->installEventFilter(this);
    List->installEventFilter(this);
    Bar->setTarget(std::make_unique<ScrollAreaTarget>(List));
    Bar->hide();
    resize(width(), kClosedHeight);
    applyPalette();

    connect(List, &QListWidget::currentRowChanged, this, &TMyComboBox::selectionChanged);
    connect(Edit, &QLineEdit::textEdited, this, [this](const QString& typed) {
        // Typing selects the first entry that begins with the text, as a simple combo does.
        for (int i = 0; i < List->count(); ++i)
            if (List->item(i)->text().startsWith(typed, Qt::CaseInsensitive)) {
                settingText_ = true;
                List->setCurrentRow(i);
                settingText_ = false;
                break;
            }
    });
    auto sync = [this] {
        if (Bar && isOpen() && isVisible())
            Bar->SyncWithWindow();
    };
    connect(List->verticalScrollBar(), &QScrollBar::rangeChanged, this, sync);
    connect(List->verticalScrollBar(), &QScrollBar::valueChanged, this, sync);
    connect(qApp, &QApplication::focusChanged, this, &TMyComboBox::focusChanged);
}

TMyComboBox::~TMyComboBox() {
    disconnect(qApp, nullptr, this, nullptr);
    delete Bar;
    delete Circle;
}

void TMyComboBox::clear() {
    List->clear();
    Edit->clear();
}

void TMyComboBox::addItem(const QString& text) {
    auto* item = new QListWidgetItem(text, List);
    item->setSizeHint(QSize(0, itemHeight_));
}

void TMyComboBox::addItems(const QStringList& texts) {
    for (const QString& t : texts)
        addItem(t);
}

int TMyComboBox::count() const {
    return List->count();
}

QString TMyComboBox::itemText(int index) const {
    QListWidgetItem* item = List->item(index);
    return item ? item->text() : QString();
}

int TMyComboBox::currentIndex() const {
    return List->currentRow();
}

void TMyComboBox::setCurrentIndex(int index) {
    if (index < -1 || index >= List->count())
        index = -1;
    List->setCurrentRow(index);
    // A closed box may have taken its confirmed entry back; only a box that really has
    // no entry chosen shows an empty field.
    if (List->currentRow() < 0)
        Edit->clear();
}

QString TMyComboBox::text() const {
    return Edit->text();
}

void TMyComboBox::setItemHeight(int h) {
    itemHeight_ = std::max(1, h);
    for (int i = 0; i < List->count(); ++i)
        List->item(i)->setSizeHint(QSize(0, itemHeight_));
}

void TMyComboBox::selectionChanged(int row) {
    if (!settingText_) {
        // The edit field shows the selected entry.
        settingText_ = true;
        Edit->setText(row >= 0 ? List->item(row)->text() : QString());
        settingText_ = false;
        keepConfirmed();
    }
    emit currentIndexChanged(List->currentRow());
}

void TMyComboBox::keepConfirmed() {
    // A closed box keeps its confirmed entry, whatever selected another one.
    if (currentIndex() != ConfirmedIndex && ConfirmedIndex >= 0 && ConfirmedIndex < List->count() &&
        height() <= kClosedHeight)
        List->setCurrentRow(ConfirmedIndex);
}

void TMyComboBox::openList() {
    int h = itemHeight_ * (List->count() + 1) + kClosedHeight;
    resize(width(), std::min(h, kMaxOpenHeight));
    placeParts();
    placeCompanions();
    raise();
    if (Bar) {
        Bar->raise();
        if (isVisible())
            Bar->SyncWithWindow();
    }
}

void TMyComboBox::closeList() {
    resize(width(), kClosedHeight);
    placeParts();
    placeCompanions();
    if (Bar)
        Bar->hide();
}

void TMyComboBox::ToggleList() {
    if (!parentWidget())
        return;
    QWidget* focus = QApplication::focusWidget();
    bool focused = focus && (focus == this || isAncestorOf(focus));
    if (!focused)
        Edit->setFocus(Qt::MouseFocusReason); // opens it
    else if (isOpen())
        closeList();
    else
        openList();
}

void TMyComboBox::focusChanged(QWidget* old, QWidget* now) {
    bool had = old && (old == this || isAncestorOf(old));
    bool has = now && (now == this || isAncestorOf(now));
    if (has && !had)
        openList();
    else if (had && !has)
        closeList();
}

void TMyComboBox::setListFont(const QFont& font, const QColor& color) {
    setFont(font);
    Edit->setFont(font);
    List->setFont(font);
    textColor_ = color;
    applyPalette();
}

void TMyComboBox::applyPalette() {
    QPalette pal = palette();
    QColor back =
        parentWidget() ? parentWidget()->palette().color(QPalette::Window) : pal.color(QPalette::Window);
    pal.setColor(QPalette::Base, back);
    if (textColor_.isValid())
        pal.setColor(QPalette::Text, textColor_);
    Edit->setPalette(pal);
    List->setPalette(pal);
}

void TMyComboBox::placeParts() {
    Edit->setGeometry(0, 0, width(), kClosedHeight);
    List->setGeometry(0, kClosedHeight, width(), std::max(0, height() - kClosedHeight));
}

void TMyComboBox::placeCompanions() {
    if (!Bar || !Circle)
        return;
    Circle->move(x() + width(), y() + 2);
    Bar->setGeometry(x() + width() - Bar->width() - 2, y() + kClosedHeight, Bar->width(),
                     std::max(0, height() - 27));
}

bool TMyComboBox::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange && Bar && Circle) {
        // The bar and the circle button live in the box's parent.
        Bar->setParent(parentWidget());
        Circle->setParent(parentWidget());
        placeCompanions();
        applyPalette();
        Circle->setVisible(isVisible());
    } else if (e->type() == QEvent::PaletteChange) {
        applyPalette();
    }
    return QWidget::event(e);
}

bool TMyComboBox::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonRelease && (watched == List->viewport() || watched == Edit)) {
        // Choosing with the mouse confirms the entry as Enter does.
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton && isOpen())
            QCoreApplication::postEvent(this,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    } else if (e->type() == QEvent::KeyPress && (watched == Edit || watched == List)) {
        keyPressEvent(static_cast<QKeyEvent*>(e));
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void TMyComboBox::keyPressEvent(QKeyEvent* e) {
    const int before = List->currentRow();
    int row = before;
    int page = std::max(1, (height() - kClosedHeight) / itemHeight_ - 1);
    switch (e->key()) {
    case Qt::Key_Up:
        row = std::max(0, row - 1);
        break;
    case Qt::Key_Down:
        row = std::min(List->count() - 1, row + 1);
        break;
    case Qt::Key_PageUp:
        row = std::max(0, row - page);
        break;
    case Qt::Key_PageDown:
        row = std::min(List->count() - 1, row + page);
        break;
    default:
        // Other keys edit the text.
        if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter && e->key() != Qt::Key_Escape &&
            e->key() != Qt::Key_Tab)
            Edit->event(e);
        break;
    }
    if (row != before && List->count() > 0)
        List->setCurrentRow(row);
    emit keyPressed(e->key(), e->modifiers());
    e->accept();
}

void TMyComboBox::moveEvent(QMoveEvent* e) {
    placeCompanions();
    QWidget::moveEvent(e);
}

void TMyComboBox::resizeEvent(QResizeEvent* e) {
    placeParts();
    placeCompanions();
    QWidget::resizeEvent(e);
}

void TMyComboBox::showEvent(QShowEvent* e) {
    placeParts();
    placeCompanions();
    if (Circle) {
        Circle->show();
        Circle->raise();
    }
    if (Bar && isOpen())
        Bar->SyncWithWindow();
    QWidget::showEvent(e);
}

void TMyComboBox::hideEvent(QHideEvent* e) {
    if (Circle)
        Circle->hide();
    if (Bar)
        Bar->hide();
    QWidget::hideEvent(e);
}

} // namespace vexa
