#include "admin/user_post_dialog.h"

#include "boundary/host.h"
#include "boundary/text.h"
#include "store/audited_changes.h"
#include "ui/record_failure.h"
#include "ui/window_utils.h"

#include "ui/qt_text.h"
#include "ui_user_post_dialog.h"

#include <QLineEdit>
#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace priv {

namespace {

// Grey, as the host writes colours: the prompt and the tip under the box.
constexpr HostColor kPromptColor = 8421504;

} // namespace

TfrmUserPost::TfrmUserPost(QWidget* parent)
    : Tfrm_CustomDlgEx(parent), ui(std::make_unique<Ui::TfrmUserPost>())
{
    ui->setupUi(ClientArea());
    SetDlgTitle(QStringLiteral("岗位设置"), QStringLiteral("增加，删除，修改用户岗位"));
    SetClientSize(368, 167);
    for (QAbstractButton* button : {ui->btnAdd, ui->btnDel, ui->btnEdit})
        AddDialogButton(button);

    ui->cbxPostName->lineEdit()->setMaxLength(30);
    ui->cbxPostName->setCompleter(nullptr);
    ui->cbxPostName->lineEdit()->setPlaceholderText(FromUtf8(kNewPostPrompt));
    ui->cbxPostName->setAccessibleName(ui->lblPostName->text());

    const QColor grey = HostColorToQColor(kPromptColor);
    QPalette tipPalette = ui->lblRoleTip->palette();
    tipPalette.setColor(QPalette::WindowText, grey);
    ui->lblRoleTip->setPalette(tipPalette);
    QPalette markPalette = ui->lblPostNameMark->palette();
    markPalette.setColor(QPalette::WindowText, Qt::red);
    ui->lblPostNameMark->setPalette(markPalette);

    connect(ui->cbxPostName, &QComboBox::activated, this,
            [this] { RunGuarded([this] { UpdatePostButtons(); }); });
    connect(ui->cbxPostName, &TDropDownComboBox::entered, this, [this] { cbxPostNameEnter(); });
    connect(ui->cbxPostName, &TDropDownComboBox::droppedDown, this, [this] { cbxPostNameDropDown(); });
    connect(ui->btnAdd, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { btnAddClick(); }); });
    connect(ui->btnEdit, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { btnEditClick(); }); });
    connect(ui->btnDel, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { btnDelClick(); }); });
}

TfrmUserPost::~TfrmUserPost() = default;

std::string TfrmUserPost::NewPostCode(const TUserPostList& posts)
{
    std::unordered_set<std::string> taken;
    taken.reserve(posts.size());
    for (const UserPostInfo& post : posts)
        taken.insert(UpperCaseAscii(post.Code));
    for (int n = 1; n <= kMaxCreatedPosts; ++n) {
        char candidate[16];
        std::snprintf(candidate, sizeof candidate, "GW%05d", n);
        if (!taken.count(candidate))
            return candidate;
    }
    return {};
}

void TfrmUserPost::showEvent(QShowEvent* event)
{
    Tfrm_CustomDlgEx::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    RunGuarded([this] {
        LoadPosts();
        ui->cbxPostName->setCurrentIndex(0);
        SetPromptColor(true);
        ui->btnAdd->setFocus();
    });
}

void TfrmUserPost::LoadPosts()
{
    try {
        FRolesMgr.GetPostList(FPostList);
        if (!FPostList.empty()) {
            // The refilled box stands on no entry but keeps the text typed
            // into it, so that a post just added or renamed is found again.
            const QString text = ui->cbxPostName->currentText();
            const QSignalBlocker blocker(ui->cbxPostName);
            ui->cbxPostName->clear();
            ui->cbxPostCode->clear();
            ui->cbxPostName->addItem(FromUtf8(kNewPostPrompt));
            for (const UserPostInfo& post : FPostList) {
                ui->cbxPostCode->addItem(FromUtf8(post.Code));
                ui->cbxPostName->addItem(FromUtf8(post.Name));
            }
            ui->cbxPostName->setCurrentIndex(-1);
            ui->cbxPostName->setEditText(text);
        }
    } catch (...) {
    }
    UpdatePostButtons();
}

void TfrmUserPost::UpdatePostButtons()
{
    ui->btnAdd->setEnabled(true);
    ui->btnDel->setEnabled(false);
    ui->btnEdit->setEnabled(false);
    ui->lblRoleTip->clear();

    if (ui->cbxPostName->currentIndex() == 0) {
        ui->cbxPostName->setEditText(QString());
        SetPromptColor(true);
        ui->btnAdd->setFocus();
        return;
    }

    // A post picked from the list is that very post, even when another one
    // bears the same name (every blank name reads "——"); a typed name is
    // looked up.
    UserPostInfo found;
    const int picked = ui->cbxPostName->currentIndex();
    const bool isPicked = picked > 0 && static_cast<std::size_t>(picked) <= FPostList.size() &&
                          ui->cbxPostName->itemText(picked) == ui->cbxPostName->currentText();
    if (isPicked)
        found = FPostList[static_cast<std::size_t>(picked - 1)];
    if (isPicked || FindPostByName(PostNameText(), found)) {
        ui->btnAdd->setEnabled(false);
        ui->btnDel->setEnabled(true);
        ui->btnEdit->setEnabled(true);
        if (found.IsBuiltIn) {
            ui->btnDel->setEnabled(false);
            ui->btnEdit->setEnabled(false);
            ui->lblRoleTip->setText(QStringLiteral("系统内置岗位，不能修改。"));
        }
        FCurrentPost = found;
    } else {
        FCurrentPost.Code.clear();
        FCurrentPost.Name.clear();
    }
}

void TfrmUserPost::cbxPostNameEnter()
{
    if (ui->cbxPostName->currentText() == FromUtf8(kNewPostPrompt))
        ui->cbxPostName->setEditText(QString());
    SetPromptColor(false);
}

void TfrmUserPost::cbxPostNameDropDown()
{
    SetPromptColor(false);
}

bool TfrmUserPost::FindPostByName(const std::string& name, UserPostInfo& post) const
{
    const auto it = std::find_if(FPostList.begin(), FPostList.end(),
                                 [&](const UserPostInfo& entry) { return SameTextAscii(entry.Name, name); });
    if (it == FPostList.end())
        return false;
    post = *it;
    return true;
}

std::string TfrmUserPost::PostNameText() const
{
    return TrimText(ui->cbxPostName->currentText().toStdString());
}

bool TfrmUserPost::CheckPostName()
{
    return !PostNameText().empty();
}

bool TfrmUserPost::AcceptTypedName()
{
    // Both add and modify need a typed name that is not the prompt itself.
    const char* refusal = !CheckPostName()                   ? "请输入岗位名称！"
                          : PostNameText() == kNewPostPrompt ? "请输入正确的岗位名称。"
                                                             : nullptr;
    if (!refusal)
        return true;
    CurrentHost().InfoMsgBox(refusal);
    FocusPostName();
    return false;
}

void TfrmUserPost::FocusPostName()
{
    ui->cbxPostName->setFocus();
}

void TfrmUserPost::SetPromptColor(bool grey)
{
    ui->cbxPostName->SetTextColor(grey ? HostColorToQColor(kPromptColor)
                                       : palette().color(QPalette::Active, QPalette::Text));
}

void TfrmUserPost::btnAddClick()
{
    if (!AcceptTypedName())
        return;
    Host& host = CurrentHost();
    const std::string name = PostNameText();
    // Names are looked up ignoring letter case here, so a name that differs
    // from a listed one only in case is taken too.
    UserPostInfo listed;
    if (FindPostByName(name, listed) || FRolesMgr.PostNameExists(name)) {
        host.InfoMsgBox("新增岗位失败：该岗位名称已存在。");
        FocusPostName();
        return;
    }
    FMode = "add";
    UserPostInfo post;
    post.Code = NewPostCode(FPostList);
    post.Name = name;
    // With every code taken there is nothing to insert under.
    if (post.Code.empty() || !audit::AddPost(FRolesMgr, post)) {
        if (!ShowRecordFailure())
            host.InfoMsgBox("新增岗位失败。");
        return;
    }
    host.InfoMsgBox("新增岗位成功。");
    FocusPostName();
    LoadPosts();
}

void TfrmUserPost::btnEditClick()
{
    if (!AcceptTypedName())
        return;
    Host& host = CurrentHost();
    FMode = "edt";
    const std::string name = PostNameText();
    UserPostInfo listed;
    if (FindPostByName(name, listed) || FRolesMgr.PostNameExists(name)) {
        host.InfoMsgBox("修改岗位失败：该岗位名称已存在。");
        FocusPostName();
        return;
    }
    UserPostInfo post;
    post.Code = FCurrentPost.Code;
    post.Name = name;
    if (post.Code.empty() || FCurrentPost.IsBuiltIn || !audit::ModifyPost(FRolesMgr, post)) {
        if (!ShowRecordFailure())
            host.InfoMsgBox("修改岗位失败。");
        return;
    }
    host.InfoMsgBox("修改岗位成功。");
    LoadPosts();
}

void TfrmUserPost::btnDelClick()
{
    Host& host = CurrentHost();
    // The post is the one last picked; without one there is nothing to delete.
    if (!CheckPostName() || FCurrentPost.Code.empty()) {
        host.InfoMsgBox("请先选择岗位。");
        return;
    }
    const std::string name = FCurrentPost.Name;
    if (FRolesMgr.PostInUse(FCurrentPost.Code)) {
        host.InfoMsgBox("删除岗位[" + name + "]失败：该岗位已分配给用户。");
        return;
    }
    if (FCurrentPost.IsBuiltIn || !audit::DeletePost(FRolesMgr, FCurrentPost.Code)) {
        if (!ShowRecordFailure())
            host.InfoMsgBox("系统错误：[70018510]删除岗位[" + name + "]失败。");
        return;
    }
    host.InfoMsgBox("删除岗位[" + name + "]成功。");
    ui->cbxPostName->setEditText(QString());
    FCurrentPost.Code.clear();
    FCurrentPost.Name.clear();
    LoadPosts();
}

bool ShowUserPost()
{
    try {
        auto dialog = std::make_unique<TfrmUserPost>();
        return dialog->exec() == mrOk;
    } catch (...) {
        return false;
    }
}

} // namespace priv
