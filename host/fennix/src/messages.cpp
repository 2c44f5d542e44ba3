#include "messages.h"

#include "state.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <map>

namespace fennix::detail {
namespace {

struct CatalogueItem {
    const char* text;
    bool asks = false;
};

// The host's catalogue of the privilege module's messages. "%s" marks where
// an argument goes; arguments fill them in order.
const std::map<int, CatalogueItem>& Catalogue()
{
    static const std::map<int, CatalogueItem> catalogue = {
        // Sign-in.
        {104001, {"请输入操作员代码。"}},
        {104002, {"该操作员不存在或已被停用，请与系统管理员联系。"}},
        {104003, {"密码错误，请重新输入。"}},
        {104004, {"该操作员没有分配岗位，不能登录。"}},
        {104005, {"密码已连续三次输入错误，登录窗口将关闭。"}},
        // Three lines: the reasons shown under a wrong password.
        {104006, {"可能原因：\r\n·您记错了密码\r\n·未区分字母大小写"}},
        {104007, {"登录失败，请与系统管理员联系。"}},
        // Operator management.
        {104008, {"请先选择要删除的操作员。"}},
        {104009, {"您无权为超级管理员分配权限。"}},
        {104010, {"业务员无权进行权限分配。"}},
        {104011, {"不能删除当前登录的操作员。"}},
        {104012, {"不能删除超级管理员。"}},
        {104013, {"确定要删除操作员“%s”吗？", true}},
        {104014, {"操作员“%s”已删除。"}},
        {104015, {"系统错误：[%s]\r\n删除操作员“%s”失败：数据库操作出错。"}},
        // Operator dialog.
        {104016, {"系统错误：[%s]\r\n读写操作员信息失败：数据库操作出错。"}},
        {104017, {"操作员代码不能为空。"}},
        {104018, {"操作员姓名不能为空。"}},
        {104019, {"两次输入的密码不一致，请重新输入。"}},
        {104020, {"联系电话只能由数字、“(”、“)”和“-”组成。"}},
        {104021, {"电子邮箱格式不正确，请重新输入。"}},
        {104022, {"该操作员代码已存在，请输入其他代码。"}},
        {104023, {"请选择操作员所属部门。"}},
        {104024, {"新增操作员成功。"}},
        {104025, {"操作员信息没有变化。"}},
        {104026, {"修改操作员信息成功。"}},
        // Password change.
        {104027, {"请输入原密码。"}},
        {104028, {"原密码不正确，请重新输入。"}},
        {104029, {"两次输入的新密码不一致，请重新输入。"}},
        {104030, {"密码修改成功，下次登录请使用新密码。"}},
    };
    return catalogue;
}

const char* Caption(MessageKind kind, bool asks)
{
    if (asks || kind == MessageKind::Confirm)
        return "确认";
    return kind == MessageKind::Error ? "错误" : "提示";
}

} // namespace

std::string CatalogueEntry(int number)
{
    const auto& catalogue = Catalogue();
    const auto found = catalogue.find(number);
    return found == catalogue.end() ? std::string() : std::string(found->second.text);
}

bool CatalogueAsks(int number)
{
    const auto& catalogue = Catalogue();
    const auto found = catalogue.find(number);
    return found != catalogue.end() && found->second.asks;
}

std::string FillArguments(const std::string& text, const std::string& arguments)
{
    std::vector<std::string> values;
    if (!arguments.empty()) {
        std::size_t start = 0;
        while (true) {
            const std::size_t end = arguments.find('\x01', start);
            values.push_back(
                arguments.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    // One pass over the text: an argument that itself holds "%s" stays as it is.
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < values.size())
                out += values[next];
            ++next;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CatalogueMessage(int number, const std::string& arguments)
{
    const std::string text = CatalogueEntry(number);
    if (text.empty())
        return "消息[" + std::to_string(number) + "]未定义。";
    return FillArguments(text, arguments);
}

namespace {

enum class BoxIcon { Information, Question, Error };

// The boxes' icons, flat and in the program's own blue (red for errors), in
// place of the style's pictures.
QPixmap MessageIcon(BoxIcon icon, qreal ratio)
{
    constexpr int kSize = 32;
    QPixmap pixmap(QSize(kSize, kSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(icon == BoxIcon::Error ? QColor(0xC8, 0x37, 0x2D) : QColor(0x2F, 0x6D, 0xB5));
    painter.drawEllipse(QRectF(1, 1, kSize - 2, kSize - 2));
    painter.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    switch (icon) {
    case BoxIcon::Error:
        painter.drawLine(QPointF(11, 11), QPointF(21, 21));
        painter.drawLine(QPointF(21, 11), QPointF(11, 21));
        break;
    case BoxIcon::Information:
        painter.drawLine(QPointF(16, 14.5), QPointF(16, 23));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(16, 9.5), 2.1, 2.1);
        break;
    case BoxIcon::Question: {
        QPainterPath hook;
        hook.moveTo(11.5, 12.5);
        hook.cubicTo(11.5, 6.5, 20.5, 6.5, 20.5, 12);
        hook.cubicTo(20.5, 15.5, 16, 15.5, 16, 19.5);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(hook);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(16, 24), 2.1, 2.1);
        break;
    }
    }
    return pixmap;
}

// The window the user is working in when the module raises a box: the
// running modal dialog, else the active window (not a tip or a pop-up); none
// when no window of the program is active. The box belongs to it, so that it
// stands over that window and the keyboard goes back there when it closes.
QWidget* WorkingWindow()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible() && !active->testAttribute(Qt::WA_ShowWithoutActivating)) {
        const Qt::WindowType type = active->windowType();
        if (type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen)
            return active;
    }
    return nullptr;
}

} // namespace

int ShowMessage(MessageKind kind, int number, const std::string& text, const std::string& arguments,
                bool asks)
{
    HostState& state = State();
    state.shown.push_back(ShownMessage{kind, number, text, arguments});

    if (state.interactive && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Only without a window in use does the box belong to the host's
        // main window.
        const QPointer<QWidget> working = WorkingWindow();
        QWidget* parent = working ? working.data() : static_cast<QWidget*>(state.appHandle);
        const QString caption = QString::fromUtf8(Caption(kind, asks));
        const QString body = QString::fromStdString(text);
        const bool question = asks || kind == MessageKind::Confirm;
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        box.setText(body);
        box.setIconPixmap(MessageIcon(question                     ? BoxIcon::Question
                                      : kind == MessageKind::Error ? BoxIcon::Error
                                                                   : BoxIcon::Information,
                                      box.devicePixelRatio()));
        box.setStandardButtons(question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
        box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
        // Plain captions, as on every other button of the program.
        for (QAbstractButton* button : box.buttons())
            button->setIcon(QIcon());
        const int pressed = box.exec();
        // A window manager gives the keyboard back to the window the box
        // stood over; without one (a bare X server, a thin client) it would
        // stay wherever the pointer is, and the next keys would be lost.
        if (working && working->isVisible())
            working->activateWindow();
        if (question)
            return pressed == QMessageBox::Yes ? 1 : 0;
        return 1;
    }

    if (state.answers.empty())
        return 1;
    const int answer = state.answers.front();
    state.answers.pop_front();
    return answer;
}

} // namespace fennix::detail
