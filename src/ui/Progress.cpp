#include "ui/Progress.h"

#include "i18n/IniLang.h"
#include "i18n/QtText.h"
#include "i18n/TranslateForms.h"
#include "ui/Pictures.h"
#include "ui/TiledBackground.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tabulonix {

TProgressIkkuna::TProgressIkkuna(const TWindowLanguage& language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ProgressIkkuna"));
    setWindowTitle(QStringLiteral("Working..."));
    setFont(ToQFont(language.interfaceFont));

    Reunus = new QFrame(this);
    Reunus->setObjectName(QStringLiteral("Reunus"));
    Reunus->setFrameShape(QFrame::NoFrame);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Reunus);

    FileName = new QLabel(Reunus);
    FileName->setObjectName(QStringLiteral("FileName"));
    FileName->setTextFormat(Qt::PlainText);
    // A long name must not widen the window; it is cut at the end instead.
    FileName->setMinimumWidth(1);
    FileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    ProgressBar = new QProgressBar(Reunus);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 0);

    Edistys = new QLabel(QStringLiteral("0%"), Reunus);
    Edistys->setObjectName(QStringLiteral("Edistys"));
    Edistys->setAlignment(Qt::AlignCenter);
    QFont percentFont = ToQFont(language.interfaceFont);
    percentFont.setItalic(false);
    percentFont.setUnderline(false);
    percentFont.setStrikeOut(false);
    percentFont.setBold(true);
    Edistys->setFont(percentFont);
    QPalette blue = Edistys->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Edistys->setPalette(blue);

    btnAbort = new QToolButton(Reunus);
    btnAbort->setObjectName(QStringLiteral("btnAbort"));
    btnAbort->setText(QStringLiteral("Abort"));
    btnAbort->setToolTip(QStringLiteral("Cancel process"));
    btnAbort->setIcon(ButtonGlyph(QStringLiteral("abort")));
    btnAbort->setIconSize(QSize(32, 32));
    btnAbort->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnAbort->setMinimumSize(80, 75);
    btnAbort->setFocusPolicy(Qt::StrongFocus);
    connect(btnAbort, &QToolButton::clicked, this, &TProgressIkkuna::btnAbortClick);

    auto* column = new QVBoxLayout(Reunus);
    column->setContentsMargins(8, 8, 8, 6);
    column->setSpacing(2);
    column->addWidget(FileName);
    column->addWidget(ProgressBar);
    column->addWidget(Edistys);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(btnAbort);
    buttonRow->addStretch();
    column->addLayout(buttonRow);

    // 345 pixels at the design font; wider with a larger font, so that names fit as well.
    setMinimumWidth(std::max(345, 40 * fontMetrics().averageCharWidth()));
    UseTiledBackground(*this);

    if (language.languageIndex != 0) {
        OpenCurrentLanguage(language.languageName);
        TranslateForms(*this);
    }
    aborted_ = false;
    FileName->clear();
}

void TProgressIkkuna::btnAbortClick()
{
    if (aborted_)
        return;
    aborted_ = true;
    btnAbort->setEnabled(false);
}

void TProgressIkkuna::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

} // namespace tabulonix
