// The login window: the modal window in which an operator picks his code,
// types his password and signs in. The export that signs in with a window and
// the one that lets another operator sign in both run it through
// RunLoginDialog.
#pragma once

#include "store/records.h"

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <memory>

class QComboBox;
class QLineEdit;
class QMouseEvent;

namespace Ui {
class Tfrm_Login;
}

namespace priv {

class TPrivilegeMgr;
class TToolTip;

// The background picture of the login window. It fills the window, draws its
// picture from the top left at scale 1 and hands mouse presses, moves and
// releases to whoever listens, so that the window can be dragged by it.
class TLoginImage : public QWidget {
    Q_OBJECT
public:
    explicit TLoginImage(QWidget* parent = nullptr);

    const QPixmap& Picture() const { return picture_; }
    void SetPicture(const QPixmap& picture);
    // Loads a picture file; false (and the picture unchanged) when it cannot.
    bool LoadFromFile(const QString& path);

signals:
    void MouseDown(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseUp(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
};

class Tfrm_Login : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Login(QWidget* parent = nullptr);
    ~Tfrm_Login() override;

    // Window state, for the code that runs the window and for its tests.
    const TOperatorInfoList& OperatorList() const { return operators_; }
    int FailedAttempts() const { return failedAttempts_; }
    // The caps-lock balloon while Caps Lock is on; none otherwise.
    TToolTip* CapsLockBalloon() const { return capsBalloon_.get(); }

    // Shows or frees the caps-lock balloon after the host's Caps Lock state.
    void UpdateCapsLockWarning();

    // The background picture file for the host's version type, under the
    // host's folder, whether or not it exists.
    static QString BackgroundFileForVersion(const std::string& appPath, const std::string& versionType);

    // Balloon texts, as the operator reads them.
    static const char* const kCapsLockTitle;
    static const char* const kCapsLockText;

public slots:
    void sBtnLoginClick();
    void sBtnCancleClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Tip { NoCode = 1, UnknownOperator = 2, WrongPassword = 3 };

    void FormShow();
    void ApplyLook();
    void LoadBackground();
    void ReadOperatorList();
    void ProposeOperator();
    void ShowOperatorDetails();
    void ShowTip(Tip tip);
    void HideTips();
    const OperatorInfo* FindOperator(const std::string& code) const;
    void Image321MouseDown(QMouseEvent* event);
    void Image321MouseMove(QMouseEvent* event);
    void Image321MouseUp(QMouseEvent* event);
    bool FormKeyDown(QKeyEvent* event);
    void FormKeyUp(QKeyEvent* event);
    void cbxOperatorIdCloseUp();

    std::unique_ptr<Ui::Tfrm_Login> ui;
    // The privilege manager that serves the password check when the window
    // is run without one (the change of operator).
    std::unique_ptr<TPrivilegeMgr> ownManager_;
    std::unique_ptr<TToolTip> capsBalloon_;
    TOperatorInfoList operators_;
    int failedAttempts_ = 0;
    bool opened_ = false;
    // Dragging by hand where the platform cannot move the window itself.
    bool dragging_ = false;
    QPoint dragOffset_;
};

// Creates the login window, shows it modally and frees it. True exactly when
// an operator signed in (the window closed with OK); every failure and every
// exception answers false.
bool RunLoginDialog();

} // namespace priv
