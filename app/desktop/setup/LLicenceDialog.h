// The installer's terms page: a one-page wizard whose finish button agrees
// and whose cancel button does not. Nothing is installed unless it ends
// accepted. GUI thread.
#pragma once

#include <QString>
#include <QWizard>

class LLicenceDialog : public QWizard {
    Q_OBJECT
public:
    explicit LLicenceDialog(QWidget* pParent = nullptr);

    // The program's own terms, with the licences of the libraries it links.
    static QString TermsText();
};
