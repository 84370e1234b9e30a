#pragma once
#include "platform/Colors.h"

#include <QImage>
#include <QWidget>

namespace tabulonix {

// The size preview of the wizard's size page: a white picture the size of the thumbnails
// to be made, with the frame drawn as a run would draw it. The user resizes it by dragging
// its right or bottom edge (or with the arrow keys).
class TPreview : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kInitialSide = 100;
    static constexpr int kMinimumSide = 7;
    // How far inside the edge a drag grabs it.
    static constexpr int kGrip = 4;

    explicit TPreview(QWidget* parent = nullptr);

    // The frame sample: white, outlined with `color` and `width` when `drawFrame` is set.
    void DrawFrameSample(bool drawFrame, TColor color, int width);
    const QImage& Picture() const { return kuva_; }

    QSize sizeHint() const override { return size(); }

  signals:
    // The user changed the size (not emitted when the program resizes the pane).
    void UserResized(int width, int height);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum Edge { None = 0, Right = 1, Bottom = 2 };
    int EdgesAt(const QPoint& point) const;
    void ResizeByUser(int width, int height);
    void Redraw();

    QImage kuva_;
    bool drawFrame_ = false;
    TColor color_ = clBlack;
    int frameWidth_ = 1;
    int dragEdges_ = None;
    QPoint dragStart_;
    QSize sizeAtStart_;
};

} // namespace tabulonix
