#include "ui/PreviewIkkuna.h"

#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "ui/Thumbnails.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tabulonix {

TPreview::TPreview(QWidget* parent) : QWidget(parent)
{
    setObjectName("Preview");
    setAccessibleName("Preview");
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kInitialSide, kInitialSide);
    Redraw();
}

void TPreview::DrawFrameSample(bool drawFrame, TColor color, int width)
{
    drawFrame_ = drawFrame;
    color_ = color;
    frameWidth_ = width;
    Redraw();
}

// Drawn with the run's own canvas so that the sample shows the frame pixel for pixel.
void TPreview::Redraw()
{
    const int w = std::max(1, width()), h = std::max(1, height());
    TBitmap sample;
    sample.SetSize(w, h);
    TCanvas& canvas = sample.Canvas();
    canvas.Brush.Color = clWhite;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(TRect{0, 0, w, h});
    canvas.Pen.Color = drawFrame_ ? color_ : clWhite;
    canvas.Pen.Width = frameWidth_;
    canvas.Pen.Style = psSolid;
    canvas.Rectangle(0, 0, w, h);
    kuva_ = ToQImage(sample);
    update();
}

void TPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(0, 0, kuva_);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TPreview::resizeEvent(QResizeEvent*)
{
    Redraw();
}

int TPreview::EdgesAt(const QPoint& point) const
{
    int edges = None;
    if (point.x() >= width() - kGrip)
        edges |= Right;
    if (point.y() >= height() - kGrip)
        edges |= Bottom;
    return edges;
}

void TPreview::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    dragEdges_ = EdgesAt(event->position().toPoint());
    dragStart_ = event->globalPosition().toPoint();
    sizeAtStart_ = size();
}

void TPreview::mouseMoveEvent(QMouseEvent* event)
{
    if (dragEdges_ == None) {
        const int edges = EdgesAt(event->position().toPoint());
        setCursor(edges == (Right | Bottom) ? Qt::SizeFDiagCursor
                  : edges == Right          ? Qt::SizeHorCursor
                  : edges == Bottom         ? Qt::SizeVerCursor
                                            : Qt::ArrowCursor);
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - dragStart_;
    int w = sizeAtStart_.width(), h = sizeAtStart_.height();
    if (dragEdges_ & Right)
        w += delta.x();
    if (dragEdges_ & Bottom)
        h += delta.y();
    // Within the panel that holds the pane, so that its edge stays in reach.
    if (parentWidget()) {
        w = std::min(w, parentWidget()->width() - x());
        h = std::min(h, parentWidget()->height() - y());
    }
    ResizeByUser(w, h);
}

void TPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragEdges_ = None;
    QWidget::mouseReleaseEvent(event);
}

void TPreview::keyPressEvent(QKeyEvent* event)
{
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_Left:
        ResizeByUser(width() - step, height());
        break;
    case Qt::Key_Right:
        ResizeByUser(width() + step, height());
        break;
    case Qt::Key_Up:
        ResizeByUser(width(), height() - step);
        break;
    case Qt::Key_Down:
        ResizeByUser(width(), height() + step);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TPreview::ResizeByUser(int width, int height)
{
    width = std::max(kMinimumSide, width);
    height = std::max(kMinimumSide, height);
    if (QSize(width, height) == size())
        return;
    resize(width, height);
    emit UserResized(width, height);
}

} // namespace tabulonix
