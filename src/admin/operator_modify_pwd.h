// The password change page: the signed-in operator types his old password and
// the new one twice. After a change the host's user record holds the new
// enciphered password, so a second change in the same page checks against it.
#pragma once

#include "ui/custom_form_ex.h"

#include <memory>

class QToolButton;

namespace Ui {
class Tfrm_OperatorModifyPwdInner;
}

namespace priv {

class Tfrm_OperatorModifyPwdInner : public Tfrm_CustomEx {
    Q_OBJECT
public:
    explicit Tfrm_OperatorModifyPwdInner(QWidget* parent = nullptr);
    ~Tfrm_OperatorModifyPwdInner() override;

    // The Tfrm_CustomEx skin, then the field panel takes the module colour.
    void ApplySkinScheme() override;

public slots:
    void tbtnSaveClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::Tfrm_OperatorModifyPwdInner> ui;
    QToolButton* tbtnSave = nullptr;
    QToolButton* tbtnClose = nullptr;
    bool shown_ = false;
};

} // namespace priv
