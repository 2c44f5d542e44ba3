// What every window test shares: the substitute host opened on a fresh
// database, a recorded host main window, a host page to embed page windows
// in, finding controls by name, typing and picking as a person does, scripted
// answers for the host's message boxes, acting on a modal dialog from inside
// its own event loop, and a PNG of every window a test opens (in
// PRIV_SCREENSHOT_DIR). The shown message texts and the arranging of rows
// come from support/database_fixture.h and support/arrange.h.
//
//     class OperatorWindowTest : public priv::test::WindowTest {};
//     TEST_F(OperatorWindowTest, Opens) {
//         auto* page = new Tfrm_Operator;
//         OpenPage(page, "ModalFormMsg=ops", true);
//         EXPECT_EQ(MainFrame().CopyDataTexts(priv::CD_PAGE_OPENED).size(), 1u);
//         SaveScreenshot(page, "operator_window");
//     }
#pragma once

#include "support/database_fixture.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class QComboBox;

namespace priv {
class Tfrm_Custom;
}

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace priv::test {

// One thing the host's main window received.
struct ReceivedByMainFrame {
    enum class Kind { Message, CopyData };
    Kind kind = Kind::Message;
    void* target = nullptr;
    // Window messages.
    unsigned message = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // Copy-data.
    void* sender = nullptr;
    std::uintptr_t dataKind = 0;
    std::vector<char> bytes;     // as sent: host code page, terminating zero included
    std::string text;            // the bytes up to the zero, converted back to UTF-8
    bool zeroTerminated = false; // the last byte is the only zero
};

// A QWidget standing in for the host's main window "Tfrm_MainFrame": it is
// handed out as the main-frame handle, found by its class name, or both, and
// records every message and copy-data text sent to it.
class MainFrameRecorder {
public:
    enum class Reach { HandleAndClass, HandleOnly, ClassOnly, Nowhere };
    explicit MainFrameRecorder(Reach reach = Reach::HandleAndClass);
    ~MainFrameRecorder();
    MainFrameRecorder(const MainFrameRecorder&) = delete;
    MainFrameRecorder& operator=(const MainFrameRecorder&) = delete;

    // Changes how the module can find the window.
    void SetReach(Reach reach);
    QWidget* Window() const { return window_.get(); }

    const std::vector<ReceivedByMainFrame>& Received() const { return received_; }
    // The message numbers received, in order.
    std::vector<unsigned> Messages() const;
    std::vector<ReceivedByMainFrame> MessagesNumbered(unsigned message) const;
    // The UTF-8 texts of the copy-data of one kind, in order.
    std::vector<std::string> CopyDataTexts(std::uintptr_t kind) const;
    // "kind:text" for every copy-data, in order (kinds in hex, e.g. "531:max").
    std::vector<std::string> CopyDataLog() const;
    void Clear() { received_.clear(); }

private:
    std::unique_ptr<QWidget> window_;
    std::vector<ReceivedByMainFrame> received_;
};

// A window test: the host (fennix) on a fresh SQLite database, bound to the
// module, with a recorded main window and an application handle.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TestDatabase& Db() { return *db_; }
    priv::Host& Host() { return fennix::Services(); }
    MainFrameRecorder& MainFrame() { return *mainFrame_; }
    // The database the test runs on; SQLite unless a test says otherwise.
    virtual Backend DatabaseBackend() const { return Backend::SQLite; }

    // A host page (a plain container QWidget of the host) of the given size,
    // shown; owned by the test.
    QWidget* HostPage(int width = 760, int height = 480);
    // Embeds a page window the way the window exports do.
    void OpenPage(priv::Tfrm_Custom* window, const std::string& params, bool lastFlag);

    std::unique_ptr<QWidget> appWindow_;
    std::vector<std::unique_ptr<QWidget>> hostPages_;

private:
    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<MainFrameRecorder> mainFrame_;
};

// The child of `root` named `name` of type T; a test failure when missing.
template <class T> T* FindControl(QWidget* root, const char* name)
{
    T* control = root ? root->findChild<T*>(QString::fromUtf8(name)) : nullptr;
    EXPECT_NE(control, nullptr) << "no control named " << name;
    return control;
}

// Types `text` into `widget` as a person does: what a keyboard has (ASCII)
// key by key through the widget's key handling (its key filters and
// shortcuts included); everything else (Chinese, symbols beyond ASCII)
// committed by an input method, one character at a time.
void TypeText(QWidget* widget, const QString& text);

// Drops the list of `box` down and clicks the entry at `index` (entries may
// bear the same text), or the first entry with `text`.
::testing::AssertionResult PickFromList(QComboBox* box, int index);
::testing::AssertionResult PickFromList(QComboBox* box, const QString& text);

// Answers for the host's next message boxes (ConfirmMsgBoxA: 1 yes, 0 no;
// InforMsg: the button), first in first out.
void ScriptAnswers(std::initializer_list<int> answers);

// Runs the destruction of windows that closed themselves.
void RunDeferredDeletes();

// Saves what the widget shows as PRIV_SCREENSHOT_DIR/<name>.png; true when
// written.
bool SaveScreenshot(QWidget* widget, const QString& name);
// Saves `widget` with `overlay` (a window of its own, such as a balloon tip)
// drawn over it where it is on screen.
bool SaveScreenshotWithOverlay(QWidget* widget, QWidget* overlay, const QString& name);

// Acts on the modal dialog of type T once it runs, from inside its own event
// loop. A dialog left open by the action is cancelled so that no test hangs.
template <class T> void WhenDialogRuns(std::function<void(T&)> act)
{
    auto* poll = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, act = std::move(act)] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++*tries > 500) {
                ADD_FAILURE() << "the dialog did not run";
                poll->stop();
                poll->deleteLater();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        act(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog stayed open";
            dialog->reject();
        }
    });
    poll->start(10);
}

// Counts the dialogs of type T that open while it lives, and closes each at
// once from inside its own event loop, so that a test can show that a
// dialog did not open without waiting for it.
template <class T> class DialogsOpened : public QObject {
public:
    DialogsOpened() { qApp->installEventFilter(this); }
    ~DialogsOpened() override { qApp->removeEventFilter(this); }
    int Count() const { return count_; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<T*>(watched)) {
                ++count_;
                QMetaObject::invokeMethod(dialog, &T::reject, Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    int count_ = 0;
};

} // namespace priv::test
