#include "ui/ImageIkkuna.h"

#include "i18n/Messages.h"
#include "i18n/QtText.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "ui/Pictures.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace tabulonix {

namespace {

constexpr const char* kListedExtensions =
    "BMP, BW, CEL, CUT, DIB, EMF, EPS, FAX, GIF, ICB, ICO, JFIF,JPE, JPEG, JPG, PBM, PCC, PCD, "
    "PCX, PDD, PGM, PIC, PNG, PPM, PSD, PSP,RGB, RGBA, RLA, RLE, RPF, SCR, SGI, TGA, TIF, TIFF, "
    "VDA, WIN, WMF, VST";

constexpr int kListWidth = 169;

std::vector<std::string> SplitExtensions(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string item = text.substr(start, comma - start);
        const size_t first = item.find_first_not_of(' ');
        const size_t last = item.find_last_not_of(' ');
        item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        out.push_back(std::string(1, '.').append(UpperCase(item)));
        start = comma + 1;
    }
    return out;
}

// The desktop's default program for a local file; the URL carries the name's exact bytes.
void OpenWithDesktop(const std::string& path)
{
    const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
    QDesktopServices::openUrl(QUrl::fromEncoded("file://" + encoded));
}

std::string BrowseForFolder(QWidget* parent, const QString& title)
{
    const QString folder = QFileDialog::getExistingDirectory(parent, title);
    return folder.isEmpty() ? std::string() : QFile::encodeName(folder).toStdString();
}

QToolButton* AddButton(QToolBar* bar, const char* name, const QString& caption, const QString& hint,
                       const QIcon& icon)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setAccessibleName(caption);
    button->setIcon(icon);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(Qt::TabFocus);
    bar->addWidget(button);
    return button;
}

} // namespace

const std::vector<std::string>& PickerExtensions()
{
    static const std::vector<std::string> extensions = SplitExtensions(kListedExtensions);
    return extensions;
}

bool IsPickerExtension(const std::string& fileName)
{
    const std::string ext = UpperCase(ExtractFileExt(fileName));
    if (ext.empty())
        return false;
    const auto& all = PickerExtensions();
    return std::find(all.begin(), all.end(), ext) != all.end();
}

TKuvaIkkuna::TKuvaIkkuna(const TFormSetup& setup, QWidget* parent)
    : QDialog(parent), ChooseFolder(BrowseForFolder), OpenDocument(OpenWithDesktop)
{
    setObjectName("KuvaIkkuna");
    setWindowTitle("Select source images");
    setModal(true);

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName("ToolBar");
    QStyle* style = this->style();
    btnBrowse =
        AddButton(ToolBar, "btnBrowse", "Browse...", "Browse for folder", ButtonGlyph("folder"));
    btnThumbnails = AddButton(ToolBar, "btnThumbnails", "Show thumbnails", "Show thumbnails",
                              ButtonGlyph("thumbnails"));
    btnThumbnails->setCheckable(true);
    btnThumbnails->setChecked(true);
    btnSelectAll = AddButton(ToolBar, "btnSelectAll", "Select all", "Select all",
                             style->standardIcon(QStyle::SP_DialogApplyButton));
    btnInvert = AddButton(ToolBar, "btnInvert", "Invert selection", "Invert selection",
                          style->standardIcon(QStyle::SP_BrowserReload));
    btnOk = AddButton(ToolBar, "btnOk", "Ok", "Accept changes",
                      style->standardIcon(QStyle::SP_DialogOkButton));
    btnCancel = AddButton(ToolBar, "btnCancel", "Cancel", "Cancel changes",
                          style->standardIcon(QStyle::SP_DialogCancelButton));
    btnSelectAll->setEnabled(false);
    btnInvert->setEnabled(false);
    btnOk->setEnabled(false);

    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName("Splitter");
    KuvaLista = new QListWidget(Splitter);
    KuvaLista->setObjectName("KuvaLista");
    KuvaLista->setToolTip("Double click to view the image in the associated program");
    KuvaLista->setAccessibleName("Images");
    pane_ = new TThumbnailPane(Splitter);
    pane_->setObjectName("Preview");
    pane_->SetEntries(&entries_);
    pane_->SetShown(true);
    Splitter->addWidget(KuvaLista);
    Splitter->addWidget(pane_);
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({kListWidth, 640 - kListWidth});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar);
    layout->addWidget(Splitter, 1);
    resize(640, 440);
    // The list has the focus at first, so that Enter means "Ok" as in any dialog.
    KuvaLista->setFocus();

    connect(btnBrowse, &QToolButton::clicked, this, &TKuvaIkkuna::btnBrowseClick);
    connect(btnThumbnails, &QToolButton::clicked, this, &TKuvaIkkuna::btnThumbnailsClick);
    connect(btnSelectAll, &QToolButton::clicked, this, &TKuvaIkkuna::btnSelectAllClick);
    connect(btnInvert, &QToolButton::clicked, this, &TKuvaIkkuna::btnInvertClick);
    connect(btnOk, &QToolButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QToolButton::clicked, this, &QDialog::reject);
    connect(KuvaLista, &QListWidget::itemDoubleClicked, this, &TKuvaIkkuna::KuvaListaDblClick);
    connect(&maker_, &TThumbnailMaker::ThumbnailReady, this, &TKuvaIkkuna::ThumbnailArrived);
    connect(&maker_, &TThumbnailMaker::Finished, this, &TKuvaIkkuna::ThumbnailsFinished);

    SetUpForm(*this, setup);
    TakeBaseCaption();
}

TKuvaIkkuna::~TKuvaIkkuna()
{
    maker_.Stop();
}

void TKuvaIkkuna::TakeBaseCaption()
{
    baseCaption_ = windowTitle();
    for (QToolButton* button :
         {btnBrowse, btnThumbnails, btnSelectAll, btnInvert, btnOk, btnCancel})
        button->setAccessibleName(button->text());
}

void TKuvaIkkuna::SetThumbnailsDown(bool down)
{
    btnThumbnails->setChecked(down);
    pane_->SetShown(down);
    pane_->SetScrollRange(down && thumbnailsMade_);
}

void TKuvaIkkuna::SetFolder(const std::string& folder)
{
    folder_ = IncludeTrailingSlash(folder);
}

void TKuvaIkkuna::ListFolder()
{
    maker_.Stop();
    KuvaLista->clear();
    entries_.clear();
    thumbnailsMade_ = false;
    pane_->verticalScrollBar()->setValue(0);
    pane_->SetScrollRange(false);

    for (const FolderEntry& file : FindFiles(folder_, "*")) {
        if (file.isDirectory || !IsPickerExtension(file.name))
            continue;
        entries_.push_back(TFileEntry{file.name, QImage()});
        auto* item = new QListWidgetItem(ToQString(file.name), KuvaLista);
        item->setData(Qt::UserRole, QByteArray::fromStdString(file.name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    // Plain character order of the case-folded names; equal names keep the listing order.
    std::stable_sort(
        entries_.begin(), entries_.end(),
        [](const TFileEntry& a, const TFileEntry& b) { return CompareText(a.name, b.name) < 0; });

    const bool any = !entries_.empty();
    btnSelectAll->setEnabled(any);
    btnInvert->setEnabled(any);
    btnOk->setEnabled(any);
    SetAllChecks(false);

    if (btnThumbnails->isChecked() && any) {
        thumbnailsMade_ = true;
        pane_->SetScrollRange(true);
        StartThumbnails(Counting::Loaded);
    } else {
        pane_->EntriesChanged();
        ShowLoaded();
    }
}

std::vector<std::string> TKuvaIkkuna::CheckedNames() const
{
    std::vector<std::string> names;
    for (int i = 0; i < KuvaLista->count(); ++i) {
        const QListWidgetItem* item = KuvaLista->item(i);
        if (item->checkState() == Qt::Checked)
            names.push_back(item->data(Qt::UserRole).toByteArray().toStdString());
    }
    return names;
}

void TKuvaIkkuna::StartThumbnails(Counting counting)
{
    counting_ = counting;
    arrived_ = 0;
    made_ = 0;
    ShowCount(0);
    std::vector<std::string> paths;
    paths.reserve(entries_.size());
    for (const TFileEntry& entry : entries_)
        paths.push_back(folder_ + entry.name);
    maker_.Start(paths);
}

void TKuvaIkkuna::ThumbnailArrived(int index, const QImage& image)
{
    if (index < 0 || static_cast<size_t>(index) >= entries_.size())
        return;
    entries_[index].thumbnail = image;
    ++arrived_;
    if (!image.isNull())
        ++made_;
    ShowCount(counting_ == Counting::Loaded ? arrived_ : made_);
    pane_->UpdateCell(index);
}

void TKuvaIkkuna::ThumbnailsFinished()
{
    if (pane_->Shown())
        pane_->SetScrollRange(true);
    ShowLoaded();
    emit ThumbnailsDone();
}

void TKuvaIkkuna::ShowCount(int count)
{
    setWindowTitle(baseCaption_ + " " + ToQString(Format(LangMessage("M026"), count)));
}

void TKuvaIkkuna::ShowLoaded()
{
    setWindowTitle(
        baseCaption_ + " " +
        ToQString(Format(LangMessage("M027"), {std::to_string(entries_.size()), folder_})));
}

void TKuvaIkkuna::SetAllChecks(bool invert)
{
    for (int i = 0; i < KuvaLista->count(); ++i) {
        QListWidgetItem* item = KuvaLista->item(i);
        const bool checked = invert ? item->checkState() != Qt::Checked : true;
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void TKuvaIkkuna::btnBrowseClick()
{
    const std::string folder = ChooseFolder(this, ToQString(LangMessage("M001")));
    if (folder.empty())
        return;
    SetFolder(folder);
    ListFolder();
}

void TKuvaIkkuna::btnThumbnailsClick()
{
    if (!btnThumbnails->isChecked()) {
        pane_->SetShown(false);
        pane_->SetScrollRange(false);
        return;
    }
    pane_->SetShown(true);
    if (!thumbnailsMade_ && !entries_.empty()) {
        thumbnailsMade_ = true;
        pane_->SetScrollRange(true);
        StartThumbnails(Counting::Made);
        return;
    }
    pane_->SetScrollRange(thumbnailsMade_);
}

void TKuvaIkkuna::btnSelectAllClick()
{
    SetAllChecks(false);
}

void TKuvaIkkuna::btnInvertClick()
{
    SetAllChecks(true);
}

void TKuvaIkkuna::KuvaListaDblClick()
{
    for (int i = 0; i < KuvaLista->count(); ++i) {
        const QListWidgetItem* item = KuvaLista->item(i);
        if (item->isSelected()) {
            OpenDocument(folder_ + item->data(Qt::UserRole).toByteArray().toStdString());
            return;
        }
    }
}

void TKuvaIkkuna::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused toolbar button, or else "Ok", the default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        auto* focused = qobject_cast<QToolButton*>(focusWidget());
        QToolButton* target = focused && focused->parent() == ToolBar ? focused : btnOk;
        if (target->isEnabled())
            target->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tabulonix
