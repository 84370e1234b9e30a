#pragma once
#include <QAbstractScrollArea>
#include <QImage>
#include <string>
#include <vector>

namespace tabulonix {

// One listed file of the picker: its name (the file system's bytes, no folder) and its
// thumbnail (null until made, and when making it failed).
struct TFileEntry {
    std::string name;
    QImage thumbnail;
};

// The picker's thumbnail area: a grid of fixed cells, each a 2-pixel outline around the
// centred thumbnail with the file name in a strip below, scrolled vertically.
class TThumbnailPane : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kCellWidth = 106;  // 100 + 6
    static constexpr int kCellHeight = 121; // 100 + 6 + 15
    static constexpr int kPitchX = 121;     // 100 + 15 + 6
    static constexpr int kPitchY = 136;     // 100 + 15 + 15 + 6
    static constexpr int kLeftMargin = 8;
    static constexpr int kTopMargin = 5;
    static constexpr int kCaptionHeight = 15;

    explicit TThumbnailPane(QWidget* parent = nullptr);

    // The entries to paint, in pane order; the owner keeps them alive and calls
    // EntriesChanged() or UpdateCell() after changing them.
    void SetEntries(const std::vector<TFileEntry>* entries);
    void EntriesChanged();

    // While not shown the pane is empty and has no scroll range.
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    // Sets the scroll range from the entry count, or removes it.
    void SetScrollRange(bool on);

    static int ColumnsFor(int clientWidth);
    static int ScrollRangeFor(int count, int columns);
    int Columns() const;
    // The height of the scrolled content: rows x 136, 0 without a range.
    int ScrollRange() const { return range_; }
    int ScrollPosition() const;
    // Cell of entry `index` in viewport coordinates.
    QRect CellRect(int index) const;
    // Repaints the cell when it is in view.
    void UpdateCell(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void PaintCell(class QPainter& painter, const TFileEntry& entry, const QRect& cell);
    void ApplyRange();

    const std::vector<TFileEntry>* entries_ = nullptr;
    bool shown_ = false;
    bool rangeOn_ = false;
    int range_ = 0;
};

} // namespace tabulonix
