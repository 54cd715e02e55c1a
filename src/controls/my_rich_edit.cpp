#include "my_rich_edit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWheelEvent>

#include <cmath>
#include <fstream>
#include <iterator>

namespace vexa {

TMyRichEdit::TMyRichEdit(QWidget* parent) : QTextEdit(parent), Bar(new TRichScroll(parent, 16)) {
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    Bar->setTarget(std::make_unique<ScrollAreaTarget>(this));
    Bar->hide();
    followParentColour();
    auto sync = [this] {
        if (Bar && isVisible())
            Bar->SyncWithWindow();
    };
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, sync);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, sync);
}

TMyRichEdit::~TMyRichEdit() {
    delete Bar;
}

bool TMyRichEdit::loadRtfFile(const std::filesystem::path& file) {
    std::error_code ec;
    auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxFileSize) {
        clear();
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        clear();
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    showRtf(bytes);
    return true;
}

void TMyRichEdit::showRtf(std::string_view bytes) {
    showDocument(readRtf(bytes));
}

void TMyRichEdit::showDocument(const RtfDocument& doc) {
    clear();
    QTextCursor cursor(document());
    bool first = true;
    for (const RtfParagraph& par : doc.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(par.alignment);
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        first = false;
        for (const RtfRun& run : par.runs) {
            QTextCharFormat f;
            f.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
            f.setFontItalic(run.italic);
            f.setFontUnderline(run.underline);
            // Half-points to pixels on the 96-dpi screen.
            f.setProperty(QTextFormat::FontPixelSize,
                          std::max(1, int(std::lround(run.halfPoints * 96.0 / 144.0))));
            if (run.color)
                f.setForeground(*run.color);
            if (!run.fontName.isEmpty())
                f.setFontFamilies({run.fontName});
            cursor.insertText(run.text, f);
        }
    }
    moveCursor(QTextCursor::Start);
    if (Bar)
        Bar->SyncWithWindow();
}

void TMyRichEdit::followParentColour() {
    if (!parentWidget())
        return;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, parentWidget()->palette().color(QPalette::Window));
    setPalette(pal);
}

bool TMyRichEdit::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange)
        followParentColour();
    if (e->type() == QEvent::ParentChange && Bar) {
        // The bar lives in the view's parent, over the view's right edge.
        Bar->setParent(parentWidget());
        placeBar();
        if (isVisible())
            Bar->SyncWithWindow();
    }
    return QTextEdit::event(e);
}

void TMyRichEdit::wheelEvent(QWheelEvent* e) {
    // The wheel acts as if no modifier key were held (no zooming with Ctrl).
    QWheelEvent plain(e->position(), e->globalPosition(), e->pixelDelta(), e->angleDelta(), e->buttons(),
                      Qt::NoModifier, e->phase(), e->inverted(), e->source());
    QTextEdit::wheelEvent(&plain);
    e->setAccepted(plain.isAccepted());
}

void TMyRichEdit::placeBar() {
    if (!Bar)
        return;
    Bar->setGeometry(x() + width() - Bar->width(), y(), Bar->width(), height());
    Bar->raise();
}

void TMyRichEdit::moveEvent(QMoveEvent* e) {
    placeBar();
    QTextEdit::moveEvent(e);
}

void TMyRichEdit::resizeEvent(QResizeEvent* e) {
    placeBar();
    QTextEdit::resizeEvent(e);
}

void TMyRichEdit::showEvent(QShowEvent* e) {
    QTextEdit::showEvent(e);
    placeBar();
    if (Bar)
        Bar->SyncWithWindow();
}

void TMyRichEdit::hideEvent(QHideEvent* e) {
    if (Bar)
        Bar->hide();
    QTextEdit::hideEvent(e);
}

void TMyRichEdit::paintEvent(QPaintEvent* e) {
    if (Bar)
        Bar->SyncWithWindow();
    QTextEdit::paintEvent(e);
}

} // namespace vexa
