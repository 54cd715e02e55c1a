#pragma once
// TMyDBCtrlGrid: the record-panel grid of the results. One panel per record, painted by
// the owner through a callback, in rows x columns equal panels (one column and as many
// rows as fit in the height unless set). The first visible record may be any record: the
// grid scrolls by records. The current record is the grid's position in its data; the
// picture-drawn scroll bar at its right edge mirrors and moves it.
#include "my_scroll.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace vexa {

class TMyDBCtrlGrid : public QWidget {
    Q_OBJECT
public:
    using PaintPanel = std::function<void(QPainter& painter, const QRect& panel, int record, bool current)>;

    explicit TMyDBCtrlGrid(QWidget* parent = nullptr);
    ~TMyDBCtrlGrid() override;

    void setPaintPanel(PaintPanel paint);
    // The number of records; the current record becomes the first (or none).
    void setRecordCount(int count);
    int RecordCount() const { return recordCount_; }
    // The current record, -1 when there are none.
    int RecNo() const { return current_; }
    void setRecNo(int record);
    // The data set's moves; each keeps the current panel in view.
    void First();
    void Last();
    void Prior();
    void Next();
    void MoveBy(int distance);

    int PanelHeight() const { return panelHeight_; }
    void setPanelHeight(int h);
    // Panel width; 0 (the default) shares the grid's width among the columns.
    int PanelWidth() const;
    void setPanelWidth(int w);
    int ColCount() const { return colCount_; }
    void setColCount(int columns);
    // Rows of panels; 0 (the default) is as many as fit in the grid's height.
    int RowCount() const;
    void setRowCount(int rows);
    // Panels on screen: rows x columns.
    int panelsPerPage() const;
    // Where the panel with that index (0: the first visible record) stands.
    QRect panelRect(int panel) const;
    // The record in the first visible panel.
    int topRecord() const { return top_; }

    TMyScroll* scrollBar() const { return Bar; }

signals:
    void recordChanged(int record);
    void panelClicked(int record);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void placeBar();
    void keepCurrentInView();
    int pageKeyStep() const;

    PaintPanel paint_;
    int recordCount_ = 0;
    int current_ = -1;
    int top_ = 0;
    int panelHeight_ = 148;
    int panelWidth_ = 0;
    int colCount_ = 1;
    int rowCount_ = 0;
    QPointer<TMyScroll> Bar; // lives in the grid's parent
};

} // namespace vexa
