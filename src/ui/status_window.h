// The module's status window: a small borderless window on top in the middle
// of the screen that shows one line of text and a moving progress strip while
// the module does something long. There is at most one.
#pragma once

#include "boundary/status_display.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <string>

namespace Ui {
class Tfrm_Status;
}

namespace priv {

class TZorvAnimator;
class TZorvImageList;

class Tfrm_Status : public QWidget {
    Q_OBJECT
public:
    explicit Tfrm_Status(QWidget* parent = nullptr);
    ~Tfrm_Status() override;

    void SetStatusText(const QString& text);
    QString StatusText() const;

    // The moving strip; made when the window is first shown.
    TZorvAnimator* ProgressStrip() const { return strip_; }
    TZorvImageList* ImageListAff() const { return imageListAff_; }
    int PaintCount() const { return paintCount_; }

    static constexpr int kShadowWidth = 6;
    static QColor WindowColor() { return {243, 249, 254}; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormShow();

    std::unique_ptr<Ui::Tfrm_Status> ui;
    TZorvImageList* imageListAff_ = nullptr;
    TZorvAnimator* strip_ = nullptr;
    // The window's picture: its colour with the shadow blended in once.
    QImage canvas_;
    int paintCount_ = 0;
};

// The four 94 x 7 frames of the progress strip: a calm blue bar whose
// stripes move one step to the right from frame to frame.
QImage StatusStripFrame(int index);

// Shows the status window with `text`, making it when there is none; while it
// is shown only the text changes. The window is repainted at once.
void ShowStatus(const std::string& text);
// Closes and destroys the status window; nothing when there is none.
void HideStatus();
// The status window, or none.
Tfrm_Status* CurrentStatusWindow();

// This window as a status display (ShowStatus, HideStatus), installed or not.
StatusDisplay& StatusWindowDisplay();

// Makes the plain C++ layers' status display (status_display.h) show this
// window; Uninstall hides it and puts the silent display back.
void InstallStatusWindow();
void UninstallStatusWindow();

} // namespace priv
