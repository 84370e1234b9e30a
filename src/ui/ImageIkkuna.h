#pragma once
#include "ui/FormSetup.h"
#include "ui/ThumbnailMaker.h"
#include "ui/ThumbnailPane.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QSplitter;
class QToolBar;
class QToolButton;

namespace tabulonix {

// The extensions the picker lists, upper case with their dot (".BMP" ... ".VST").
const std::vector<std::string>& PickerExtensions();
bool IsPickerExtension(const std::string& fileName);

// "Select source images": the folder, its pictures in a check list and their thumbnails.
// Made once and kept: every opening shows it as it was left.
class TKuvaIkkuna : public QDialog {
    Q_OBJECT
  public:
    explicit TKuvaIkkuna(const TFormSetup& setup = {}, QWidget* parent = nullptr);
    ~TKuvaIkkuna() override;

    // The current folder, always ending with "/" (empty before the first listing).
    const std::string& Folder() const { return folder_; }
    void SetFolder(const std::string& folder);
    // Puts "Show thumbnails" down or up without making any thumbnail.
    void SetThumbnailsDown(bool down);
    // Lists the current folder into the check list (and the pane).
    void ListFolder();

    // The ticked names, in check-list order.
    std::vector<std::string> CheckedNames() const;
    // The entries in pane order (sorted by name).
    const std::vector<TFileEntry>& Entries() const { return entries_; }
    bool ThumbnailsMade() const { return thumbnailsMade_; }
    bool MakingThumbnails() const { return maker_.Busy(); }
    TThumbnailMaker& Maker() { return maker_; }
    TThumbnailPane& Pane() { return *pane_; }

    // The folder dialog ("" when cancelled) and the desktop's "open", replaceable in tests.
    std::function<std::string(QWidget* parent, const QString& title)> ChooseFolder;
    std::function<void(const std::string& path)> OpenDocument;

    QToolBar* ToolBar;
    QToolButton* btnBrowse;
    QToolButton* btnThumbnails;
    QToolButton* btnSelectAll;
    QToolButton* btnInvert;
    QToolButton* btnOk;
    QToolButton* btnCancel;
    QSplitter* Splitter;
    QListWidget* KuvaLista;

  signals:
    // The last thumbnail of the current list has been handed to the pane.
    void ThumbnailsDone();

  public slots:
    void btnBrowseClick();
    void btnThumbnailsClick();
    void btnSelectAllClick();
    void btnInvertClick();
    void KuvaListaDblClick();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void TakeBaseCaption();
    enum class Counting { Loaded, Made };
    void StartThumbnails(Counting counting);
    void ThumbnailArrived(int index, const QImage& image);
    void ThumbnailsFinished();
    void ShowCount(int count);
    void ShowLoaded();
    void SetAllChecks(bool invert);

    TThumbnailPane* pane_;
    TThumbnailMaker maker_;
    std::string folder_;
    std::vector<TFileEntry> entries_;
    bool thumbnailsMade_ = false;
    QString baseCaption_;
    Counting counting_ = Counting::Loaded;
    int arrived_ = 0;
    int made_ = 0;
};

} // namespace tabulonix
