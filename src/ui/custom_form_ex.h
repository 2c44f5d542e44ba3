// Page windows with the page buttons at the right end of the tool bar row:
// maximise the host's page, put it back to normal size, close the window.
#pragma once

#include "ui/custom_form.h"

#include <cstdint>
#include <memory>

namespace Ui {
class Tfrm_CustomEx;
}

namespace priv {

class Tfrm_CustomEx : public Tfrm_Custom {
    Q_OBJECT
public:
    // The host's page: shown normally or maximised inside the host.
    static constexpr std::uint8_t kPageNormal = 1;
    static constexpr std::uint8_t kPageMaximised = 2;

    explicit Tfrm_CustomEx(QWidget* parent = nullptr);
    ~Tfrm_CustomEx() override;

    // The Tfrm_Custom skin, then the page buttons take the tool bar's colour.
    void ApplySkinScheme() override;

    std::uint8_t ToolPageState() const { return toolPageState_; }
    // 1 shows the maximise button, 2 the restore button; other values are
    // stored and change no button.
    void SetToolPageState(std::uint8_t state);

public slots:
    void spToolPageMaxClick();
    void spToolPageFormClick();
    void spToolPageCloseClick();

protected:
    void FormCreate() override;
    // Puts the page buttons at the right end of the tool bar row.
    void FormResize();

    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::Tfrm_CustomEx> pageButtonsUi;

private:
    QWidget* toolResizePanel_ = nullptr;
    std::uint8_t toolPageState_ = 0;
};

} // namespace priv
