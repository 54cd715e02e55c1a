#pragma once
// TMyTreeView: the section tree. A flat, borderless tree without expand buttons or
// lines, with hot tracking, whose system scroll bars are replaced by the picture-drawn
// TMyScroll (placed by the owner). The background is the parent's colour, a chosen
// colour, or a tiled picture.
#include "my_scroll.h"

#include <QPointer>
#include <QTreeWidget>

namespace vexa {

class TMyTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TMyTreeView(QWidget* parent = nullptr);
    ~TMyTreeView() override;

    TMyScroll* scrollBar() const { return Bar; }

    // The background: a tiled picture when one is given, otherwise the colour.
    void setBackground(const QColor& color, const QImage& tile = QImage());
    // Font and text colour of the entries.
    void setTreeFont(const QFont& font, const QColor& color);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void sync();
    // Until a background is chosen, the tree takes its parent's colour.
    void followParentColour();
    bool customBackground_ = false;
    QPointer<TMyScroll> Bar; // lives in the tree's parent
};

} // namespace vexa
