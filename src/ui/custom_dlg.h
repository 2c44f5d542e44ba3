// Dialogs: the base of the modal dialogs that page windows open. A title band
// with the dialog's title along the top, the descendant's controls in
// ClientArea(), a line and the button row with "关闭" at the bottom right.
//
// As with the page windows, the constructor takes the host context and the
// function code; FormCreate (skin, input methods of the edit boxes) runs once
// when the dialog is first polished or on EnsureFormCreated.
//
// The opener owns a dialog: it shows it with exec(), reads the modal result
// (mrOk 1, mrCancel 2) and frees it. A dialog shown without exec() frees
// itself when it closes.
#pragma once

#include "ui/host_context.h"
#include "ui/window_binding.h"

#include <QDialog>

#include <memory>
#include <string>

class QAbstractButton;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace Ui {
class Tfrm_CustomDlg;
}

namespace priv {

// The modal results the openers read from exec().
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

class Tfrm_CustomDlg : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_CustomDlg(QWidget* parent = nullptr);
    ~Tfrm_CustomDlg() override;

    // Font, colours (the title band in the host's top-bar colour) and the
    // host's own skinning of the controls.
    virtual void ApplySkinScheme();
    void HookEditIme();

    const HostContext& Context() const { return binding_->Context(); }
    const std::string& FuncCode() const { return binding_->FuncCode(); }

    void EnsureFormCreated();

    // The window caption and the text of the title band.
    void SetDlgTitle(const QString& caption, const QString& title);

    // The area between the title band and the button row, for the
    // descendant's controls.
    QWidget* ClientArea() const;
    // Puts a button of the descendant into the button row, left of "关闭".
    void AddDialogButton(QAbstractButton* button);
    // The form's own controls, for descendants that change them ("取消"
    // instead of "关闭" ...). Descendants keep their own Ui object.
    QPushButton* CloseButton() const;
    QLabel* TitleLabel() const;

    // The fixed client size of the dialog (491 x 312 unless a descendant
    // says otherwise).
    void SetClientSize(int width, int height);

    // Closes with mrOk / mrCancel.
    void accept() override;
    void reject() override;

public slots:
    // "关闭": closes the dialog with mrCancel. Descendants may override it.
    virtual void sBtnCloseClick();

protected:
    virtual void FormCreate();
    // F1 asks the host for help. The dialog has no key preview: it sees a
    // key only while none of its controls has the focus. The base handles no
    // other key: Enter and Esc are left to the descendants' own buttons.
    virtual void FormKeyDown(QKeyEvent* event);

    void InitHostContext();

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    std::unique_ptr<Ui::Tfrm_CustomDlg> dialogUi;

private:
    std::unique_ptr<TWindowBinding> binding_;
    bool placed_ = false;
};

} // namespace priv
