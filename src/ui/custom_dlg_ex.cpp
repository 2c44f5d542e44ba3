#include "ui/custom_dlg_ex.h"

#include "boundary/host.h"
#include "ui/shape_line.h"
#include "ui/window_utils.h"

#include "ui_custom_dlg.h"

namespace priv {

Tfrm_CustomDlgEx::Tfrm_CustomDlgEx(QWidget* parent) : Tfrm_CustomDlg(parent)
{
    // The caption carries the title; the band and the line above the
    // buttons go.
    dialogUi->pnlTop->setFixedHeight(0);
    dialogUi->pnlTop->setVisible(false);
    dialogUi->pnlTop->setEnabled(false);
    dialogUi->Bevel1->setVisible(false);

    const QColor brand = HostColorToQColor(kBrandColor);
    dialogUi->ORVEK->setVisible(true);
    dialogUi->ORVEK->setEnabled(true);
    dialogUi->ORVEK->setAutoFillBackground(false);
    dialogUi->ORVEK->setAttribute(Qt::WA_TranslucentBackground);
    dialogUi->ORVEK->setText(QStringLiteral("TOLVANE"));
    dialogUi->ORVEK->setFont(PixelFont(QStringLiteral("Arial"), 10));
    QPalette brandPalette = dialogUi->ORVEK->palette();
    brandPalette.setColor(QPalette::WindowText, brand);
    dialogUi->ORVEK->setPalette(brandPalette);

    // The dotted line runs at the height of the label's middle.
    dialogUi->Shape1->setVisible(true);
    dialogUi->Shape1->SetPenStyle(Qt::DotLine);
    dialogUi->Shape1->SetPenColor(brand);
    dialogUi->Shape1->setFixedHeight(dialogUi->ORVEK->sizeHint().height());
}

void Tfrm_CustomDlgEx::ApplySkinScheme()
{
    Tfrm_CustomDlg::ApplySkinScheme();
    dialogUi->Shape1->SetBrushColor(HostColorToQColor(CurrentHost().gclModuleBackColor()));
}

} // namespace priv
