#include "window_test_support.h"

#include "boundary/codepage.h"
#include "ui/custom_form.h"
#include "ui/host_messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QInputMethodEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace priv::test {

MainFrameRecorder::MainFrameRecorder(Reach reach) : window_(std::make_unique<QWidget>())
{
    window_->setObjectName(QString::fromLatin1(priv::kMainFrameClassName));
    window_->setWindowTitle(QStringLiteral("Tfrm_MainFrame"));
    window_->resize(1000, 700);
    SetReach(reach);
    fennix::SetMainFrameHandlers(
        [this](void* target, unsigned message, std::intptr_t wParam, std::intptr_t lParam) {
            ReceivedByMainFrame got;
            got.kind = ReceivedByMainFrame::Kind::Message;
            got.target = target;
            got.message = message;
            got.wParam = wParam;
            got.lParam = lParam;
            received_.push_back(std::move(got));
        },
        [this](void* target, void* sender, std::uintptr_t kind, const std::vector<char>& bytes) {
            ReceivedByMainFrame got;
            got.kind = ReceivedByMainFrame::Kind::CopyData;
            got.target = target;
            got.sender = sender;
            got.dataKind = kind;
            got.bytes = bytes;
            const auto zero = std::find(bytes.begin(), bytes.end(), '\0');
            got.zeroTerminated = !bytes.empty() && zero == bytes.end() - 1;
            got.text = priv::HostToUtf8(std::string(bytes.begin(), zero));
            received_.push_back(std::move(got));
        });
}

MainFrameRecorder::~MainFrameRecorder()
{
    fennix::SetMainFrameHandlers({}, {});
    SetReach(Reach::Nowhere);
}

void MainFrameRecorder::SetReach(Reach reach)
{
    const bool byHandle = reach == Reach::HandleAndClass || reach == Reach::HandleOnly;
    const bool byClass = reach == Reach::HandleAndClass || reach == Reach::ClassOnly;
    fennix::SetMainFrame(byHandle ? window_.get() : nullptr);
    fennix::RegisterWindowClass(priv::kMainFrameClassName, byClass ? window_.get() : nullptr);
}

std::vector<unsigned> MainFrameRecorder::Messages() const
{
    std::vector<unsigned> numbers;
    for (const auto& got : received_)
        if (got.kind == ReceivedByMainFrame::Kind::Message)
            numbers.push_back(got.message);
    return numbers;
}

std::vector<ReceivedByMainFrame> MainFrameRecorder::MessagesNumbered(unsigned message) const
{
    std::vector<ReceivedByMainFrame> found;
    for (const auto& got : received_)
        if (got.kind == ReceivedByMainFrame::Kind::Message && got.message == message)
            found.push_back(got);
    return found;
}

std::vector<std::string> MainFrameRecorder::CopyDataTexts(std::uintptr_t kind) const
{
    std::vector<std::string> texts;
    for (const auto& got : received_)
        if (got.kind == ReceivedByMainFrame::Kind::CopyData && got.dataKind == kind)
            texts.push_back(got.text);
    return texts;
}

std::vector<std::string> MainFrameRecorder::CopyDataLog() const
{
    std::vector<std::string> log;
    for (const auto& got : received_) {
        if (got.kind != ReceivedByMainFrame::Kind::CopyData)
            continue;
        char kind[32];
        std::snprintf(kind, sizeof kind, "%zx:", static_cast<std::size_t>(got.dataKind));
        log.push_back(kind + got.text);
    }
    return log;
}

void WindowTest::SetUp()
{
    db_ = std::make_unique<TestDatabase>(DatabaseBackend());
    ASSERT_TRUE(db_->Ok()) << db_->Error();
    appWindow_ = std::make_unique<QWidget>();
    fennix::SetAppHandle(appWindow_.get());
    mainFrame_ = std::make_unique<MainFrameRecorder>();
    fennix::ClearShownMessages();
}

void WindowTest::TearDown()
{
    // Page windows still open leave as the host would close them; what they
    // send on the way out still reaches the recorder.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<priv::Tfrm_Custom*>(window))
            window->close();
    hostPages_.clear();
    RunDeferredDeletes();
    mainFrame_.reset();
    fennix::SetAppHandle(nullptr);
    appWindow_.reset();
    db_.reset();
}

QWidget* WindowTest::HostPage(int width, int height)
{
    auto page = std::make_unique<QWidget>();
    page->setObjectName(QStringLiteral("HostPage"));
    // Away from the screen's corner, where the pointer of the offscreen
    // screen rests, so that no control shows a hover look.
    page->setGeometry(120, 80, width, height);
    page->show();
    hostPages_.push_back(std::move(page));
    return hostPages_.back().get();
}

void WindowTest::OpenPage(priv::Tfrm_Custom* window, const std::string& params, bool lastFlag)
{
    priv::ShowModuleForm(HostPage(), window, params, lastFlag);
}

void TypeText(QWidget* widget, const QString& text)
{
    for (const char32_t c : text.toStdU32String()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (c >= 0x20 && c < 0x7F) {
            QTest::keyClicks(widget, one);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(one);
            QCoreApplication::sendEvent(widget, &commit);
        }
    }
}

::testing::AssertionResult PickFromList(QComboBox* box, int index)
{
    if (index < 0 || index >= box->count())
        return ::testing::AssertionFailure() << "no entry " << index;
    box->showPopup();
    QAbstractItemView* view = box->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return ::testing::AssertionFailure() << "the list did not drop down";
    const QModelIndex item = view->model()->index(index, box->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (box->view()->isVisible())
        return ::testing::AssertionFailure() << "the list stayed down";
    if (box->currentIndex() != index)
        return ::testing::AssertionFailure()
               << "picked entry " << box->currentIndex() << " instead of " << index;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PickFromList(QComboBox* box, const QString& text)
{
    const int index = box->findText(text, Qt::MatchExactly);
    if (index < 0)
        return ::testing::AssertionFailure() << "no entry " << text.toStdString();
    return PickFromList(box, index);
}

void ScriptAnswers(std::initializer_list<int> answers)
{
    for (int answer : answers)
        fennix::QueueAnswer(answer);
}

void RunDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {

QString ScreenshotPath(const QString& name)
{
    const QString folder = QString::fromUtf8(PRIV_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + name + QStringLiteral(".png");
}

} // namespace

bool SaveScreenshot(QWidget* widget, const QString& name)
{
    if (!widget)
        return false;
    return widget->grab().save(ScreenshotPath(name));
}

bool SaveScreenshotWithOverlay(QWidget* widget, QWidget* overlay, const QString& name)
{
    if (!widget || !overlay)
        return false;
    const QPoint widgetOrigin = widget->mapToGlobal(QPoint(0, 0));
    const QPoint overlayOrigin = overlay->mapToGlobal(QPoint(0, 0));
    // The picture covers both, so a balloon that reaches past the window
    // is shown whole.
    const QRect both = QRect(widgetOrigin, widget->size()).united(QRect(overlayOrigin, overlay->size()));
    QPixmap picture(both.size());
    picture.fill(QColor(236, 240, 244));
    QPainter painter(&picture);
    painter.drawPixmap(widgetOrigin - both.topLeft(), widget->grab());
    painter.drawPixmap(overlayOrigin - both.topLeft(), overlay->grab());
    painter.end();
    return picture.save(ScreenshotPath(name));
}

} // namespace priv::test
