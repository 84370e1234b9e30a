#pragma once
#include <QWidget>

#include <string>

class QLabel;

namespace tabulonix {

// The splash screen: our picture with the version over it, frameless, on top and centred,
// shown exactly while the main window is being created. Never translated.
class TOdota : public QWidget {
    Q_OBJECT

  public:
    explicit TOdota(QWidget* parent = nullptr);

    // Fills the texts, sizes the window to its picture, centres it and paints it at once.
    void FormShow();

    // The program version: four numbers joined by ".".
    static std::string GetVersion();
    // The maker's notice, ending with the year (never before 2004).
    static QString NoticeText(int year);

    QLabel* Kuva;
    QLabel* Version;
    QLabel* Notice;
};

} // namespace tabulonix
