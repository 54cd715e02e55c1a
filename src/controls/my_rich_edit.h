#pragma once
// TMyRichEdit: the read-only rich-text view of the help text, with the picture-drawn
// TRichScroll laid over its right edge in place of the system's scroll bar.
#include "my_scroll.h"
#include "rtf_reader.h"

#include <QPointer>
#include <QTextEdit>

#include <filesystem>

namespace vexa {

class TMyRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TMyRichEdit(QWidget* parent = nullptr);
    ~TMyRichEdit() override;

    // Shows an RTF document. A file that is missing or unreadable shows nothing and
    // answers false; a broken document shows what can be read.
    bool loadRtfFile(const std::filesystem::path& file);
    void showRtf(std::string_view bytes);
    void showDocument(const RtfDocument& doc);

    TRichScroll* scrollBar() const { return Bar; }

    // Files larger than this are not read (the help text is a few pages).
    static constexpr std::uintmax_t kMaxFileSize = 32u << 20;

protected:
    bool event(QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void placeBar();
    // The view takes its parent's colour.
    void followParentColour();
    // The bar lives in the view's parent, which may destroy it first.
    QPointer<TRichScroll> Bar;
};

} // namespace vexa
