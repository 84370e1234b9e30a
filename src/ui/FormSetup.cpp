#include "ui/FormSetup.h"

#include "i18n/IniLang.h"
#include "i18n/TranslateForms.h"

#include <QWidget>

namespace tabulonix {

void SetUpForm(QWidget& form, const TFormSetup& setup)
{
    if (setup.font)
        ApplyInterfaceFont(form, *setup.font);
    if (setup.languageIndex != 0) {
        LanguageFilePtr file =
            setup.languageFolder.empty()
                ? OpenCurrentLanguage(setup.language)
                : OpenLanguageFileAt(setup.languageFolder + setup.language + ".txt");
        SetCurrentLanguageFile(file);
        TranslateForms(form, file.get());
    }
}

} // namespace tabulonix
