// The audio format chooser, shown first at GSM: every format's attributes fit its list box.
#include "app/desktop/dialogs/LWaveFormatChooser.h"
#include "tests/desktop/DesktopFixture.h"
#include <QComboBox>
#include <QStyleOptionComboBox>

TEST(ChooserLayout, EveryFormatsAttributesFit)
{
    TestApp();
    LWaveFormat gsm;
    gsm.wFormatTag = kWaveFormatGSM610;
    LWaveFormatChooser chooser(gsm, 1, QString(), nullptr);
    chooser.show();
    auto* pFormats = chooser.findChild<QComboBox*>(QStringLiteral("c%1").arg(LWaveFormatChooser::kIdFormat));
    auto* p = chooser.findChild<QComboBox*>(QStringLiteral("c%1").arg(LWaveFormatChooser::kIdAttributes));
    for (int i = 0; i < pFormats->count(); ++i) {
        pFormats->setCurrentIndex(i);
        for (int j = 0; j < p->count(); ++j) {
            p->setCurrentIndex(j);
            QStyleOptionComboBox option;
            option.initFrom(p);
            const QRect field
                = p->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, p);
            EXPECT_LE(p->fontMetrics().horizontalAdvance(p->currentText()), field.width());
        }
    }
}
