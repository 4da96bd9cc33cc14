#include "app/desktop/setup/LLicenceDialog.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWizardPage>

LLicenceDialog::LLicenceDialog(QWidget* pParent)
    : QWizard(pParent)
{
    setWindowTitle(QStringLiteral("Licence Agreement"));
    setWizardStyle(QWizard::ClassicStyle);
    // Agreeing or not are the only ways out; no back, no help.
    setOptions(QWizard::NoBackButtonOnStartPage | QWizard::NoBackButtonOnLastPage | QWizard::NoDefaultButton);
    setButtonLayout({ QWizard::Stretch, QWizard::FinishButton, QWizard::CancelButton });
    setButtonText(QWizard::FinishButton, QStringLiteral("I &agree with these terms"));
    setButtonText(QWizard::CancelButton, QStringLiteral("I do not agree with these terms"));

    auto* pPage = new QWizardPage(this);
    pPage->setTitle(QStringLiteral("Licence Agreement"));
    pPage->setSubTitle(QStringLiteral("Please read the following important information before continuing."));
    auto* pLayout = new QVBoxLayout(pPage);
    auto* pTerms = new QPlainTextEdit(TermsText(), pPage);
    pTerms->setReadOnly(true);
    pTerms->setTabChangesFocus(true);
    // Read-only text still takes the focus, so the keys scroll it.
    pTerms->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    pTerms->setMinimumSize(480, 260);
    pLayout->addWidget(pTerms);
    addPage(pPage);
    pTerms->setFocus();
}

QString LLicenceDialog::TermsText()
{
    return QStringLiteral(
        "Tavrine Dictate 4.02\n"
        "Copyright (c) Orvane\n"
        "\n"
        "Permission is hereby granted, free of charge, to any person obtaining a copy of this software and "
        "associated documentation files (the \"Software\"), to deal in the Software without restriction, "
        "including without limitation the rights to use, copy, modify, merge, publish, distribute, sublicense, "
        "and/or sell copies of the Software, and to permit persons to whom the Software is furnished to do so, "
        "subject to the following conditions:\n"
        "\n"
        "The above copyright notice and this permission notice shall be included in all copies or substantial "
        "portions of the Software.\n"
        "\n"
        "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT "
        "LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO "
        "EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER "
        "IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR "
        "THE USE OR OTHER DEALINGS IN THE SOFTWARE.\n"
        "\n"
        "Recordings you make with the Software are yours; the Software sends them only to the recipients you "
        "set up.\n"
        "\n"
        "The Software uses libraries under their own licences, which these terms do not change: Qt 6 (LGPL 3), "
        "ALSA (LGPL 2.1), libcurl (curl licence), OpenSSL (Apache 2.0) and Xlib (X11/MIT).\n");
}
