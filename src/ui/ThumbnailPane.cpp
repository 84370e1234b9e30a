#include "ui/ThumbnailPane.h"

#include "i18n/QtText.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace tabulonix {

TThumbnailPane::TThumbnailPane(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Every pixel is painted in paintEvent, so nothing is erased first and nothing flickers.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(kPitchY / 4);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName("Thumbnails");
}

void TThumbnailPane::SetEntries(const std::vector<TFileEntry>* entries)
{
    entries_ = entries;
    EntriesChanged();
}

void TThumbnailPane::EntriesChanged()
{
    viewport()->update();
}

void TThumbnailPane::SetShown(bool shown)
{
    shown_ = shown;
    viewport()->update();
}

void TThumbnailPane::SetScrollRange(bool on)
{
    rangeOn_ = on;
    ApplyRange();
    viewport()->update();
}

int TThumbnailPane::ColumnsFor(int clientWidth)
{
    return std::max(1, (clientWidth + 15) / kPitchX);
}

int TThumbnailPane::ScrollRangeFor(int count, int columns)
{
    const int rows = (count + columns - 1) / columns;
    return rows * kPitchY;
}

int TThumbnailPane::Columns() const
{
    return ColumnsFor(viewport()->width());
}

int TThumbnailPane::ScrollPosition() const
{
    return verticalScrollBar()->value();
}

void TThumbnailPane::ApplyRange()
{
    const int count = entries_ ? static_cast<int>(entries_->size()) : 0;
    range_ = rangeOn_ ? ScrollRangeFor(count, Columns()) : 0;
    QScrollBar* bar = verticalScrollBar();
    const int page = viewport()->height();
    bar->setPageStep(std::max(1, page));
    bar->setRange(0, std::max(0, range_ - page));
}

QRect TThumbnailPane::CellRect(int index) const
{
    const int columns = Columns();
    const int left = kLeftMargin + (index % columns) * kPitchX;
    const int top = kTopMargin + (index / columns) * kPitchY - ScrollPosition();
    return QRect(left, top, kCellWidth, kCellHeight);
}

void TThumbnailPane::UpdateCell(int index)
{
    if (!shown_)
        return;
    const QRect cell = CellRect(index);
    if (cell.intersects(viewport()->rect()))
        viewport()->update(cell);
}

void TThumbnailPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Button));
    if (!shown_ || !entries_)
        return;
    const int columns = Columns();
    const int position = ScrollPosition();
    const int firstRow = position / kPitchY;
    const int height = viewport()->height();
    for (size_t i = static_cast<size_t>(firstRow) * columns; i < entries_->size(); ++i) {
        const QRect cell = CellRect(static_cast<int>(i));
        if (cell.top() >= height)
            break;
        if (cell.intersects(event->rect()))
            PaintCell(painter, (*entries_)[i], cell);
    }
}

void TThumbnailPane::PaintCell(QPainter& painter, const TFileEntry& entry, const QRect& cell)
{
    const QColor highlight = palette().color(QPalette::Light);
    const int l = cell.left(), t = cell.top();
    const int r = l + kCellWidth, b = t + kCellHeight;

    // The outline is a 2-pixel pen centred on (l + 2, t + 2) - (r - 2, b - 2); it covers
    // the pixel of each line and the one before it.
    painter.fillRect(QRect(QPoint(l + 1, t + 1), QPoint(r - 2, t + 2)), highlight);
    painter.fillRect(QRect(QPoint(l + 1, b - 3), QPoint(r - 2, b - 2)), highlight);
    painter.fillRect(QRect(QPoint(l + 1, t + 1), QPoint(l + 2, b - 2)), highlight);
    painter.fillRect(QRect(QPoint(r - 3, t + 1), QPoint(r - 2, b - 2)), highlight);

    const QImage& image = entry.thumbnail;
    if (!image.isNull()) {
        const int x = l + 3 + (100 - image.width()) / 2;
        const int y = t + 3 + (100 - image.height()) / 2;
        painter.drawImage(x, y, image);
    }

    const QRect strip(l + 3, b - kCaptionHeight - 3, kCellWidth - 6, kCaptionHeight);
    painter.fillRect(strip, highlight);
    // Sunken edge: the shadow on the top and left, the highlight on the bottom and right.
    const QColor shadow = palette().color(QPalette::Mid);
    painter.fillRect(QRect(strip.left(), strip.top(), strip.width(), 1), shadow);
    painter.fillRect(QRect(strip.left(), strip.top(), 1, strip.height()), shadow);

    const QRect textRect = strip.adjusted(1, 1, -1, -1);
    const QString name = ToQString(entry.name);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.setFont(font());
    const QString shown = painter.fontMetrics().elidedText(name, Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

void TThumbnailPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (shown_) {
        ApplyRange();
        viewport()->update();
    }
}

void TThumbnailPane::scrollContentsBy(int, int)
{
    viewport()->update();
}

} // namespace tabulonix
