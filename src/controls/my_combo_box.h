#pragma once
// TMyComboBox: the selector. A simple-style combo box (an edit field with its list
// below it) that opens in place when it gets the focus and closes when it loses it,
// with a picture-drawn scroll bar over the list's right edge and a circle button beside
// it that opens and closes the list. ConfirmedIndex is the entry last confirmed with
// Enter: a closed box keeps showing it.
#include "my_scroll.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QListWidget;

namespace vexa {

class TMyComboBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClosedHeight = 25;
    static constexpr int kMaxOpenHeight = 300;
    static constexpr int kBarWidth = 16;

    explicit TMyComboBox(QWidget* parent = nullptr);
    ~TMyComboBox() override;

    void clear();
    void addItem(const QString& text);
    void addItems(const QStringList& texts);
    int count() const;
    QString itemText(int index) const;
    // The selected entry (-1: none) and its text in the edit field.
    int currentIndex() const;
    void setCurrentIndex(int index);
    QString text() const;

    // The entry last confirmed with Enter; 0 at creation. The owner's key handling sets
    // it: -1 on any other key, the current entry on Enter.
    int ConfirmedIndex = 0;

    bool isOpen() const { return height() > kClosedHeight; }
    // The height of one entry of the list (16 unless set).
    int itemHeight() const { return itemHeight_; }
    void setItemHeight(int h);
    // Opens the list to show every entry and one more, up to 300 pixels.
    void openList();
    void closeList();
    // The circle button's click.
    void ToggleList();

    // Font and text colour of the edit field and the list; the background is the parent's.
    void setListFont(const QFont& font, const QColor& color);

    TMyScroll* scrollBar() const { return Bar; }
    QWidget* circleButton() const { return Circle; }
    QListWidget* listWidget() const { return List; }
    QLineEdit* editField() const { return Edit; }

    static QImage circlePicture();

signals:
    // Every key pressed while the box has the focus, after the box's own handling.
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void currentIndexChanged(int index);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void focusChanged(QWidget* old, QWidget* now);
    void placeParts();
    void placeCompanions();
    void selectionChanged(int row);
    void keepConfirmed();
    void applyPalette();

    QLineEdit* Edit;
    QListWidget* List;
    // Both live in the box's parent, which may destroy them first.
    QPointer<TMyScroll> Bar;
    QPointer<QWidget> Circle;
    int itemHeight_ = 16;
    QColor textColor_;
    bool settingText_ = false;
};

} // namespace vexa
