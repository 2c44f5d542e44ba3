// Dialogs of the administration windows (operator, post, department).
#pragma once

#include "ui/custom_dlg.h"

#include <cstdint>

namespace priv {

// The dialog of the administration windows: no title band (the caption is the
// title), no line above the buttons, and the brand "TOLVANE" at the bottom
// left with a dotted line running from it to the right edge.
class Tfrm_CustomDlgEx : public Tfrm_CustomDlg {
    Q_OBJECT
public:
    explicit Tfrm_CustomDlgEx(QWidget* parent = nullptr);

    // The Tfrm_CustomDlg skin, then the dotted line's background takes the
    // window colour of the host.
    void ApplySkinScheme() override;

    // The brand colour, 12164479 as the host writes colours (blue-grey).
    static constexpr std::uint32_t kBrandColor = 12164479;
};

} // namespace priv
