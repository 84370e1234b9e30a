#include "ui/ImageIkkuna.h"

#include "QtTestApp.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "codecs/Registry.h"
#include "platform/Files.h"

#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

using namespace tabulonix;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListNames(const TKuvaIkkuna& picker)
{
    std::vector<std::string> names;
    for (int i = 0; i < picker.KuvaLista->count(); ++i)
        names.push_back(picker.KuvaLista->item(i)->text().toStdString());
    return names;
}

std::vector<std::string> PaneNames(const TKuvaIkkuna& picker)
{
    std::vector<std::string> names;
    for (const TFileEntry& e : picker.Entries())
        names.push_back(e.name);
    return names;
}

void WritePicture(const std::string& path, int w, int h)
{
    TBitmap b = test::Pattern(w, h);
    b.WriteFile(path);
}

std::string Title(const TKuvaIkkuna& picker)
{
    return picker.windowTitle().toStdString();
}

bool WaitForThumbnails(TKuvaIkkuna& picker)
{
    if (!picker.MakingThumbnails())
        return true;
    QSignalSpy done(&picker, &TKuvaIkkuna::ThumbnailsDone);
    return done.wait(60000);
}

// Counts the files the workers are asked for.
struct CountingMaker {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    void InstallOn(TKuvaIkkuna& picker)
    {
        auto counter = calls;
        picker.Maker().SetMakeFunction([counter](const std::string& path) {
            ++*counter;
            return LoadThumbnail(path);
        });
    }
};

class Picker : public ::testing::Test {
  protected:
    void SetUp() override { test::TestApplication(); }
};
using ThumbnailPane = Picker;

} // namespace

TEST(PickerExtensions, FortyExtensionsTheRegistryCanRead)
{
    const auto& ext = PickerExtensions();
    ASSERT_EQ(ext.size(), 40u);
    EXPECT_EQ(ext.front(), ".BMP");
    EXPECT_EQ(ext.back(), ".VST");
    std::set<std::string> readable;
    for (const std::string& e : ReadableExtensions())
        readable.insert("." + UpperCase(e));
    EXPECT_EQ(std::set<std::string>(ext.begin(), ext.end()), readable);
    EXPECT_TRUE(IsPickerExtension("x.JfIf"));
    EXPECT_TRUE(IsPickerExtension(".tif"));
    EXPECT_FALSE(IsPickerExtension("photo.jpg.txt"));
    EXPECT_FALSE(IsPickerExtension("JPG"));
}

TEST_F(Picker, ListsOnlyPictureFilesTicksThemAndReportsTheCount)
{
    test::TempDir dir;
    test::WriteText(dir.File("a.JPG"), "x");
    test::WriteText(dir.File("b.txt"), "x");
    test::WriteText(dir.File("c.tiff"), "x");
    ASSERT_TRUE(ForceDirectories(dir.File("d.jpg")));

    TKuvaIkkuna picker;
    CountingMaker maker;
    maker.InstallOn(picker);
    EXPECT_TRUE(picker.btnThumbnails->isChecked()) << "down when first built";
    EXPECT_FALSE(picker.btnOk->isEnabled());
    EXPECT_FALSE(picker.btnSelectAll->isEnabled());
    EXPECT_FALSE(picker.btnInvert->isEnabled());

    picker.SetThumbnailsDown(false);
    picker.SetFolder(dir.Path().substr(0, dir.Path().size() - 1));
    EXPECT_EQ(picker.Folder(), dir.Path()) << "a folder always ends with a slash";
    picker.ListFolder();

    EXPECT_EQ(Sorted(ListNames(picker)), (std::vector<std::string>{"a.JPG", "c.tiff"}));
    EXPECT_EQ(Sorted(picker.CheckedNames()), (std::vector<std::string>{"a.JPG", "c.tiff"}));
    EXPECT_EQ(PaneNames(picker), (std::vector<std::string>{"a.JPG", "c.tiff"}));
    EXPECT_TRUE(picker.btnOk->isEnabled());
    EXPECT_TRUE(picker.btnSelectAll->isEnabled());
    EXPECT_TRUE(picker.btnInvert->isEnabled());
    EXPECT_EQ(Title(picker), "Select source images (2 images loaded @ " + dir.Path() + ")");
    EXPECT_FALSE(picker.ThumbnailsMade());
    EXPECT_EQ(picker.Pane().ScrollRange(), 0);
    EXPECT_EQ(*maker.calls, 0);

    // A folder without pictures disables the buttons again.
    test::TempDir empty;
    picker.SetFolder(empty.Path());
    picker.ListFolder();
    EXPECT_EQ(picker.KuvaLista->count(), 0);
    EXPECT_FALSE(picker.btnOk->isEnabled());
    EXPECT_FALSE(picker.btnSelectAll->isEnabled());
    EXPECT_EQ(Title(picker), "Select source images (0 images loaded @ " + empty.Path() + ")");
}

TEST_F(ThumbnailPane, ColumnsAndScrollRange)
{
    EXPECT_EQ(TThumbnailPane::ColumnsFor(500), 4);
    EXPECT_EQ(TThumbnailPane::ColumnsFor(105), 1);
    EXPECT_EQ(TThumbnailPane::ColumnsFor(106), 1);
    EXPECT_EQ(TThumbnailPane::ColumnsFor(227), 2);
    EXPECT_EQ(TThumbnailPane::ColumnsFor(0), 1);
    EXPECT_EQ(TThumbnailPane::ScrollRangeFor(23, 4), 816);
    EXPECT_EQ(TThumbnailPane::ScrollRangeFor(24, 4), 816);
    EXPECT_EQ(TThumbnailPane::ScrollRangeFor(25, 4), 952);
    EXPECT_EQ(TThumbnailPane::ScrollRangeFor(0, 4), 0);

    std::vector<TFileEntry> entries(23);
    TThumbnailPane pane;
    pane.SetEntries(&entries);
    pane.SetShown(true);
    pane.SetScrollRange(true);
    pane.resize(500 + pane.verticalScrollBar()->sizeHint().width(), 300);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    ASSERT_EQ(pane.viewport()->width(), 500);
    EXPECT_EQ(pane.Columns(), 4);
    EXPECT_EQ(pane.ScrollRange(), 816);
    EXPECT_EQ(pane.verticalScrollBar()->maximum(), 816 - pane.viewport()->height());

    // Resizing recomputes the range: two columns need 12 rows.
    pane.resize(250 + pane.verticalScrollBar()->sizeHint().width(), 300);
    ASSERT_EQ(pane.viewport()->width(), 250);
    EXPECT_EQ(pane.ScrollRange(), 12 * 136);

    pane.SetScrollRange(false);
    EXPECT_EQ(pane.ScrollRange(), 0);
    EXPECT_EQ(pane.verticalScrollBar()->maximum(), 0);
}

TEST_F(ThumbnailPane, PaintsCellsPixelForPixel)
{
    QImage wide(100, 75, QImage::Format_RGB32), tall(61, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            if (y < 75)
                wide.setPixel(x, y, qRgb(x * 2, y * 3, 7));
            if (x < 61)
                tall.setPixel(x, y, qRgb(9, x * 4, y * 2));
        }
    std::vector<TFileEntry> entries{
        {"wide.bmp", wide}, {"tall.bmp", tall}, {"failed.bmp", QImage()}};
    TThumbnailPane pane;
    pane.SetEntries(&entries);
    pane.SetShown(true);
    pane.SetScrollRange(true);
    pane.resize(400, 300);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    const QImage shot = pane.viewport()->grab().toImage();
    const QRgb face = pane.palette().color(QPalette::Button).rgb();
    const QRgb light = pane.palette().color(QPalette::Light).rgb();
    const QRgb shadow = pane.palette().color(QPalette::Mid).rgb();
    auto at = [&](int x, int y) { return shot.pixel(x, y); };

    // Cell 0 at (8, 5): the 100 x 75 picture 12 pixels down (25 split as 12 above, 13 below).
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(at(11 + x, 8 + 12 + y), wide.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(at(11, 8 + 11), face) << "above the picture";
    EXPECT_EQ(at(11, 8 + 12 + 75), face) << "below the picture";
    // Cell 1 at (129, 5): 61 wide, 19 free pixels on the left and 20 on the right.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 61; ++x)
            ASSERT_EQ(at(132 + 19 + x, 8 + y), tall.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(at(132 + 18, 50), face);
    EXPECT_EQ(at(132 + 19 + 61, 50), face);

    // The 2-pixel outline of cell 0 covers x 9..10 and 111..112, y 6..7 and 123..124.
    for (int x : {9, 10, 111, 112})
        EXPECT_EQ(at(x, 60), light) << "outline column " << x;
    for (int y : {6, 7, 123, 124})
        EXPECT_EQ(at(60, y), light) << "outline row " << y;
    EXPECT_EQ(at(8, 60), face);
    EXPECT_EQ(at(113, 60), face);
    EXPECT_EQ(at(60, 5), face);
    EXPECT_EQ(at(60, 125), face);
    // Between the cells and in the first column's margin.
    EXPECT_EQ(at(120, 60), face);
    EXPECT_EQ(at(3, 60), face);

    // The caption strip of cell 0: (11, 108) to (110, 122), a sunken edge, then the highlight.
    EXPECT_EQ(at(11, 115), shadow);
    EXPECT_EQ(at(60, 108), shadow);
    EXPECT_EQ(at(109, 121), light);
    EXPECT_EQ(at(109, 110), light) << "the short name leaves the end of the strip empty";

    // The failed file's cell is an empty outline.
    const int left = 8 + 2 * 121;
    EXPECT_EQ(at(left + 1, 60), light);
    EXPECT_EQ(at(left + 50, 50), face);

    // Not shown: everything is button face.
    pane.SetShown(false);
    const QImage hidden = pane.viewport()->grab().toImage();
    EXPECT_EQ(hidden.pixel(11 + 50, 20 + 30), face);
    EXPECT_EQ(hidden.pixel(10, 60), face);
}

TEST_F(ThumbnailPane, ScrolledRowsStartAtTheirPitch)
{
    std::vector<TFileEntry> entries(9);
    QImage red(100, 100, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    entries[3].name = "row1.bmp"; // columns = 3: entry 3 starts row 1
    entries[3].thumbnail = red;
    TThumbnailPane pane;
    pane.SetEntries(&entries);
    pane.SetShown(true);
    pane.SetScrollRange(true);
    pane.resize(370, 200); // 3 columns with or without the scroll bar
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    ASSERT_EQ(pane.Columns(), 3);
    pane.verticalScrollBar()->setValue(146);
    // Row 1 now starts at 5 + 136 - 146 = -5; its picture at -2.
    const QImage shot = pane.viewport()->grab().toImage();
    EXPECT_EQ(shot.pixel(11, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(11, 97), qRgb(255, 0, 0));
    EXPECT_NE(shot.pixel(11, 98), qRgb(255, 0, 0));
}

TEST_F(Picker, ThumbnailsArriveSortedAndMatchTheirFiles)
{
    test::TempDir dir;
    WritePicture(dir.File("c.bmp"), 250, 40);
    WritePicture(dir.File("B.bmp"), 30, 90);
    WritePicture(dir.File("a.bmp"), 160, 160);
    WritePicture(dir.File("_d.bmp"), 101, 99);
    test::WriteText(dir.File("broken.png"), "not a png");

    TKuvaIkkuna picker;
    picker.resize(700, 450);
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    picker.SetFolder(dir.Path());
    picker.ListFolder();
    ASSERT_TRUE(WaitForThumbnails(picker));

    EXPECT_EQ(PaneNames(picker),
              (std::vector<std::string>{"_d.bmp", "a.bmp", "B.bmp", "broken.png", "c.bmp"}));
    for (const TFileEntry& e : picker.Entries()) {
        const QImage want = LoadThumbnail(dir.File(e.name)).image;
        EXPECT_EQ(e.thumbnail, want) << e.name;
    }
    EXPECT_TRUE(picker.Entries()[3].thumbnail.isNull());
    EXPECT_EQ(picker.Entries()[4].thumbnail.size(), QSize(100, 16));
    EXPECT_EQ(Title(picker), "Select source images (5 images loaded @ " + dir.Path() + ")");
    EXPECT_EQ(picker.CheckedNames().size(), 5u);

    // What the pane shows is the thumbnail itself: "a.bmp" (100 x 100) fills cell 1.
    QApplication::processEvents();
    const QImage shot = picker.Pane().viewport()->grab().toImage();
    const QImage& a = picker.Entries()[1].thumbnail;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(shot.pixel(8 + 121 + 3 + x, 8 + y), a.pixel(x, y)) << x << "," << y;
}

TEST_F(Picker, ShowThumbnailsToggle)
{
    test::TempDir dir;
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp"})
        WritePicture(dir.File(name), 120, 80);
    test::WriteText(dir.File("0.gif"), "GIF89a broken");

    TKuvaIkkuna picker;
    CountingMaker maker;
    maker.InstallOn(picker);
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    picker.SetThumbnailsDown(false);
    picker.SetFolder(dir.Path());
    picker.ListFolder();
    EXPECT_EQ(*maker.calls, 0);

    // Down with no thumbnails: all are made; the caption counts the successful ones.
    QSignalSpy titles(&picker, &QWidget::windowTitleChanged);
    picker.btnThumbnails->click();
    ASSERT_TRUE(WaitForThumbnails(picker));
    EXPECT_EQ(*maker.calls, 4);
    std::vector<std::string> seen;
    for (const QList<QVariant>& args : titles)
        seen.push_back(args.at(0).toString().toStdString());
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "Select source images (0 images loaded)");
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Select source images (3 images loaded)"),
              seen.end());
    EXPECT_EQ(std::find(seen.begin(), seen.end(), "Select source images (4 images loaded)"),
              seen.end())
        << "the broken file is not counted";
    EXPECT_EQ(seen.back(), "Select source images (4 images loaded @ " + dir.Path() + ")");
    EXPECT_EQ(picker.Pane().ScrollRange(),
              136 * ((4 + picker.Pane().Columns() - 1) / picker.Pane().Columns()));

    // Up: the pane is empty and has no range; down again shows the same thumbnails.
    picker.btnThumbnails->click();
    EXPECT_FALSE(picker.Pane().Shown());
    EXPECT_EQ(picker.Pane().ScrollRange(), 0);
    picker.btnThumbnails->click();
    EXPECT_TRUE(picker.Pane().Shown());
    EXPECT_GT(picker.Pane().ScrollRange(), 0);
    EXPECT_FALSE(picker.MakingThumbnails());
    EXPECT_EQ(*maker.calls, 4);
}

TEST_F(Picker, CancelKeepsTheTicksForTheNextOpening)
{
    test::TempDir dir;
    for (const char* name : {"x.pcx", "y.tga", "z.png"})
        test::WriteText(dir.File(name), "x");
    TKuvaIkkuna picker;
    picker.SetThumbnailsDown(false);
    picker.SetFolder(dir.Path());
    picker.ListFolder();
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));

    picker.KuvaLista->item(0)->setCheckState(Qt::Unchecked);
    const std::string unticked = picker.KuvaLista->item(0)->text().toStdString();
    picker.btnCancel->click();
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.result(), QDialog::Rejected);

    picker.show();
    EXPECT_EQ(picker.KuvaLista->item(0)->checkState(), Qt::Unchecked);
    auto checked = picker.CheckedNames();
    EXPECT_EQ(checked.size(), 2u);
    EXPECT_EQ(std::find(checked.begin(), checked.end(), unticked), checked.end());

    picker.btnInvert->click();
    EXPECT_EQ(picker.CheckedNames(), std::vector<std::string>{unticked});
    picker.btnSelectAll->click();
    EXPECT_EQ(picker.CheckedNames().size(), 3u);

    // Enter is "Ok" unless another button has the focus.
    ASSERT_EQ(picker.focusWidget(), picker.KuvaLista);
    QTest::keyClick(picker.KuvaLista, Qt::Key_Return);
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.result(), QDialog::Accepted);
}

TEST_F(Picker, BrowseListsTheChosenFolderAndDoubleClickOpensTheFile)
{
    test::TempDir dir;
    test::WriteText(dir.File("one.bmp"), "x");
    test::WriteText(dir.File("two.bmp"), "x");
    TKuvaIkkuna picker;
    picker.SetThumbnailsDown(false);
    QString askedTitle;
    std::string answer = dir.Path().substr(0, dir.Path().size() - 1);
    picker.ChooseFolder = [&](QWidget*, const QString& title) {
        askedTitle = title;
        return answer;
    };
    std::vector<std::string> opened;
    picker.OpenDocument = [&](const std::string& path) { opened.push_back(path); };
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));

    picker.btnBrowse->click();
    EXPECT_EQ(askedTitle, "Browse for folder...");
    EXPECT_EQ(picker.Folder(), dir.Path());
    ASSERT_EQ(picker.KuvaLista->count(), 2);

    // A cancelled dialog changes nothing.
    answer.clear();
    picker.btnBrowse->click();
    EXPECT_EQ(picker.Folder(), dir.Path());
    EXPECT_EQ(picker.KuvaLista->count(), 2);

    QListWidgetItem* item = picker.KuvaLista->item(1);
    const QRect rect = picker.KuvaLista->visualItemRect(item);
    QTest::mouseClick(picker.KuvaLista->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(picker.KuvaLista->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], dir.Path() + item->text().toStdString());
}

// Workers wait at a gate, so the test knows which files were started before the second
// listing; the window must go on working meanwhile.
TEST_F(Picker, ListingAnotherFolderDropsTheQueuedWork)
{
    test::TempDir first, second;
    for (int i = 0; i < 12; ++i)
        test::WriteText(first.File("f" + std::to_string(i) + ".bmp"), "x");
    for (const char* name : {"s1.bmp", "s2.bmp", "s3.bmp"})
        WritePicture(second.File(name), 50, 50);

    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        std::atomic<int> firstStarted{0}, secondStarted{0};
    };
    auto gate = std::make_shared<Gate>();
    struct Opener {
        std::shared_ptr<Gate> g;
        ~Opener()
        {
            std::lock_guard lock(g->m);
            g->open = true;
            g->cv.notify_all();
        }
    } opener{gate};

    TKuvaIkkuna picker;
    const std::string firstPath = first.Path();
    picker.Maker().SetMakeFunction([gate, firstPath](const std::string& path) {
        if (path.rfind(firstPath, 0) == 0) {
            ++gate->firstStarted;
            std::unique_lock lock(gate->m);
            gate->cv.wait(lock, [&] { return gate->open; });
            return ThumbnailResult{};
        }
        ++gate->secondStarted;
        return LoadThumbnail(path);
    });
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    picker.SetFolder(first.Path());
    picker.ListFolder();
    const int parallel = picker.Maker().Parallel();
    QTRY_COMPARE(gate->firstStarted.load(), parallel);

    // The window answers while every worker is busy: scrolling, resizing, another listing.
    picker.Pane().verticalScrollBar()->setValue(136);
    picker.resize(picker.width() + 40, picker.height() + 30);
    QApplication::processEvents();
    picker.SetFolder(second.Path());
    picker.ListFolder();
    EXPECT_EQ(PaneNames(picker), (std::vector<std::string>{"s1.bmp", "s2.bmp", "s3.bmp"}));
    EXPECT_EQ(picker.Pane().ScrollPosition(), 0);

    {
        std::lock_guard lock(gate->m);
        gate->open = true;
        gate->cv.notify_all();
    }
    ASSERT_TRUE(WaitForThumbnails(picker));
    EXPECT_EQ(gate->firstStarted.load(), parallel)
        << "queued files of the first folder were dropped";
    EXPECT_EQ(gate->secondStarted.load(), 3);
    for (const TFileEntry& e : picker.Entries())
        EXPECT_EQ(e.thumbnail.size(), QSize(50, 50)) << e.name;
    EXPECT_EQ(Title(picker), "Select source images (3 images loaded @ " + second.Path() + ")");

    // Cancel works while workers are busy as well.
    picker.btnCancel->click();
    EXPECT_FALSE(picker.isVisible());
}
