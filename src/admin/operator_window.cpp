#include "admin/operator_window.h"

#include "admin/department_dialog.h"
#include "admin/operator_add_dialog.h"
#include "admin/operator_list_model.h"
#include "admin/user_post_dialog.h"
#include "boundary/host.h"
#include "boundary/param_string.h"
#include "boundary/utilities.h"
#include "session/privilege_manager.h"
#include "store/operator_store.h"
#include "ui/record_failure.h"
#include "ui/window_utils.h"

#include "ui/qt_text.h"
#include "ui_Tfrm_Operator.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <array>

namespace priv {
namespace {

// Catalogue messages of the window.
constexpr int kMsgNothingToDelete = 104008;
constexpr int kMsgNoAssignForSuperAdmin = 104009;
constexpr int kMsgNoAssignForBusiness = 104010;
constexpr int kMsgCannotDeleteSelf = 104011;
constexpr int kMsgCannotDeleteSuperAdmin = 104012;
constexpr int kMsgConfirmDelete = 104013;
constexpr int kMsgDeleted = 104014;
constexpr int kMsgDeleteFailed = 104015;

constexpr const char* kDeleteErrorNumber = "70018508";
constexpr const char* kNoRightText = "您没有权限使用本功能。";

// The initial widths of the four columns; the columns share the list's width
// in these proportions.
constexpr std::array<int, TOperatorListModel::ColumnCount> kColumnWidths = {123, 172, 130, 253};
constexpr std::array<const char*, TOperatorListModel::ColumnCount> kColumnNames = {
    "cxtlColumnUserID", "cxtlColumnUserName", "cxTLOperatorcxTreeListColumn1", "cxtlColumnDeprt"};

// Grid lines in both directions, as the list draws them.
class TGridLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(0xD4, 0xD8, 0xDE));
        const QRect cell = option.rect;
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        painter->drawLine(cell.topRight(), cell.bottomRight());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // Room around the text, as the list's rows have.
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height() + 6, 22));
        return size;
    }
};

} // namespace

Tfrm_Operator::Tfrm_Operator(QWidget* parent)
    : Tfrm_CustomEx(parent), ui(std::make_unique<Ui::Tfrm_Operator>()), model_(new TOperatorListModel(this))
{
    setObjectName(QStringLiteral("frm_Operator"));
    setWindowTitle(QStringLiteral("用户管理"));
    ui->setupUi(ClientArea());
    // The form's size is its client area, the tool bar included, whatever
    // the frame.
    SetClientSize(QSize(680, 364));
    BuildToolbar();
    BuildList();
    BuildMenu();

    connect(ui->sBtnFind, &QPushButton::clicked, this, [this] { RunGuarded([this] { sBtnFindClick(); }); });
    connect(ui->sBtnClear, &QPushButton::clicked, this, [this] { RunGuarded([this] { sBtnClearClick(); }); });
}

Tfrm_Operator::~Tfrm_Operator() = default;

void Tfrm_Operator::BuildToolbar()
{
    auto makeAction = [this](const char* name, const QString& text, const char* icon) {
        auto* action = new QAction(ModuleIcon(QString::fromLatin1(icon)), text, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    actAddOperator = makeAction("actAddOperator", QStringLiteral("新增"), "add");
    actDelOperator = makeAction("actDelOperator", QStringLiteral("删除"), "delete");
    actEditOperator = makeAction("actEditOperator", QStringLiteral("修改"), "edit");
    actSettingPost = makeAction("actSettingPost", QStringLiteral("岗位设置"), "post");
    actPrivAssign = makeAction("actPrivAssign", QStringLiteral("权限分配"), "privilege");
    actSettingDeprt = makeAction("actSettingDeprt", QStringLiteral("部门设置"), "department");

    tbtQuery = AddToolButton(QStringLiteral("tbtQuery"), QStringLiteral("查找..."),
                             ModuleIcon(QStringLiteral("find")));
    tbtQuery->setCheckable(true);
    AddToolButton(QStringLiteral("tbtOperAdd"), actAddOperator);
    AddToolButton(QStringLiteral("tbtOperDel"), actDelOperator);
    AddToolButton(QStringLiteral("tbtOperEdit"), actEditOperator);
    AddToolSeparator();
    AddToolButton(QStringLiteral("ToolButton1"), actSettingPost);
    AddToolButton(QStringLiteral("tbtPrivAssign"), actPrivAssign);
    AddToolSeparator();
    AddToolButton(QStringLiteral("ToolButton2"), actSettingDeprt);
    tbtExit = AddToolButton(QStringLiteral("tbtExit"), QStringLiteral("关闭(&X)"),
                            ModuleIcon(QStringLiteral("close")));
    // The page closes through the host's page buttons; this one stays out.
    tbtExit->setEnabled(false);
    SetToolButtonVisible(tbtExit, false);
    connect(tbtExit, &QToolButton::clicked, this, &QWidget::close);

    // On every change of the button's state, not only on a click: a reader's
    // or an automation tool's "toggle" action changes the state without one.
    connect(tbtQuery, &QToolButton::toggled, this, [this] { RunGuarded([this] { tbtQueryClick(); }); });
    connect(actAddOperator, &QAction::triggered, this,
            [this] { RunGuarded([this] { actAddOperatorExecute(); }); });
    connect(actDelOperator, &QAction::triggered, this,
            [this] { RunGuarded([this] { actDelOperatorExecute(); }); });
    connect(actEditOperator, &QAction::triggered, this,
            [this] { RunGuarded([this] { actEditOperatorExecute(); }); });
    connect(actPrivAssign, &QAction::triggered, this,
            [this] { RunGuarded([this] { actPrivAssignExecute(); }); });
    connect(actSettingPost, &QAction::triggered, this,
            [this] { RunGuarded([this] { actSettingPostExecute(); }); });
    connect(actSettingDeprt, &QAction::triggered, this,
            [this] { RunGuarded([this] { actSettingDeprtExecute(); }); });
}

void Tfrm_Operator::BuildList()
{
    QTreeView* list = ui->cxTLOperator;
    list->setModel(model_);
    list->setItemDelegate(new TGridLineDelegate(list));
    list->setSortingEnabled(false);
    QHeaderView* header = list->header();
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(TOperatorListModel::ColumnUserId, Qt::AscendingOrder);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < TOperatorListModel::ColumnCount; ++column)
        header->resizeSection(column, kColumnWidths[column]);
    // The columns' own names, as the list knows them, for whoever walks the
    // header (tests, accessibility tools).
    QStringList names;
    for (const char* name : kColumnNames)
        names << QString::fromLatin1(name);
    header->setProperty("columnNames", names);

    list->viewport()->installEventFilter(this);
    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { RunGuarded([this] { cxTLOperatorChange(); }); });
    connect(list, &QTreeView::doubleClicked, this,
            [this] { RunGuarded([this] { cxTLOperatorDblClick(); }); });
}

void Tfrm_Operator::BuildMenu()
{
    pmuOperator = new QMenu(this);
    pmuOperator->setObjectName(QStringLiteral("pmuOperator"));
    auto addItem = [this](const char* name, const QString& text, QAction* command) {
        QAction* item = pmuOperator->addAction(text);
        item->setObjectName(QString::fromLatin1(name));
        item->setEnabled(command->isEnabled());
        connect(command, &QAction::changed, item,
                [item, command] { item->setEnabled(command->isEnabled()); });
        connect(item, &QAction::triggered, command, &QAction::trigger);
    };
    addItem("mniAddOperator", QStringLiteral("新增用户"), actAddOperator);
    addItem("mniEditOperator", QStringLiteral("修改所选用户"), actEditOperator);
    addItem("mniDelOperator", QStringLiteral("删除所选用户"), actDelOperator);
    addItem("mniPrivAssign", QStringLiteral("分配所选用户权限"), actPrivAssign);
    connect(ui->cxTLOperator, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        pmuOperator->popup(ui->cxTLOperator->viewport()->mapToGlobal(pos));
    });
}

void Tfrm_Operator::FormCreate()
{
    Tfrm_CustomEx::FormCreate();
    ApplySkinScheme();
    ui->pnlFind->setVisible(tbtQuery->isChecked());
    LoadOperators({}, {});
}

void Tfrm_Operator::ApplySkinScheme()
{
    Tfrm_CustomEx::ApplySkinScheme();
    Host& host = CurrentHost();
    const QColor toolBarColor = HostColorToQColor(host.gclModuleToolBarColor());
    ui->cxTLOperator->header()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; border: none; border-right: 1px solid "
                       "#c4cad2; border-bottom: 1px solid #c4cad2; padding: 3px 4px; }")
            .arg(toolBarColor.name()));
    QPalette rows = ui->cxTLOperator->palette();
    rows.setColor(QPalette::Base, Qt::white);
    ui->cxTLOperator->setPalette(rows);
    const QColor backColor = HostColorToQColor(host.gclModuleBackColor());
    for (QWidget* panel : findChildren<QWidget*>())
        if (panel->property("tag").toInt() == -1 && panel->property("tag").isValid())
            FillBand(panel, backColor);
}

bool Tfrm_Operator::LoadOperators(const std::string& codeFilter, const std::string& nameFilter)
{
    model_->Clear();
    TOperatorListEntries operators;
    // A list that fails part way keeps the rows read so far.
    TOperator store;
    const bool loaded = store.ListOperators(codeFilter, nameFilter, operators);
    model_->SetOperators(std::move(operators));
    const bool hasRows = model_->rowCount() > 0;
    actEditOperator->setEnabled(hasRows);
    actDelOperator->setEnabled(hasRows);
    return loaded;
}

const OperatorListEntry* Tfrm_Operator::SelectedOperator() const
{
    return model_->RecordAt(ui->cxTLOperator->currentIndex());
}

std::string Tfrm_Operator::SignedInCode() const
{
    return Context().UserField("CZY_DM");
}

std::string Tfrm_Operator::SignedInCategory() const
{
    return Context().UserField("CZY_LB");
}

void Tfrm_Operator::EnsurePrivilegeMgr()
{
    if (!privilegeMgr_ && !ActivePrivilegeMgr())
        privilegeMgr_ = std::make_unique<TPrivilegeMgr>();
}

void Tfrm_Operator::RefreshList()
{
    sBtnFindClick();
}

void Tfrm_Operator::tbtQueryClick()
{
    ui->pnlFind->setVisible(tbtQuery->isChecked());
    if (tbtQuery->isChecked())
        ui->edtUserID->setFocus();
}

void Tfrm_Operator::sBtnFindClick()
{
    LoadOperators(ToUtf8(ui->edtUserID->text().trimmed()), ToUtf8(ui->edtUserName->text().trimmed()));
}

void Tfrm_Operator::sBtnClearClick()
{
    ui->edtUserID->clear();
    ui->edtUserName->clear();
}

void Tfrm_Operator::cxTLOperatorChange()
{
    const OperatorListEntry* selected = SelectedOperator();
    actEditOperator->setEnabled(selected != nullptr);
    actDelOperator->setEnabled(selected != nullptr);
    if (!selected || !actDelOperator->isEnabled())
        return;
    const bool signedInIsSuperAdmin = IsSuperAdmin(SignedInCategory());
    if (selected->Code == SignedInCode())
        actDelOperator->setEnabled(false);
    // Only the super administrator touches the super administrator and the
    // system administrators.
    if ((IsSuperAdmin(selected->PostCode) || IsSystemPost(selected->PostCode)) && !signedInIsSuperAdmin) {
        actDelOperator->setEnabled(false);
        actEditOperator->setEnabled(false);
    }
}

void Tfrm_Operator::cxTLOperatorDblClick()
{
    if (actEditOperator->isEnabled())
        actEditOperator->trigger();
}

void Tfrm_Operator::actAddOperatorExecute()
{
    EnsurePrivilegeMgr();
    if (ShowOperatorAdd())
        RefreshList();
}

void Tfrm_Operator::actEditOperatorExecute()
{
    const OperatorListEntry* selected = SelectedOperator();
    if (!selected)
        return;
    const std::string code = selected->Code;
    EnsurePrivilegeMgr();
    if (ShowOperatorEdit(code))
        RefreshList();
}

void Tfrm_Operator::actDelOperatorExecute()
{
    Host& host = CurrentHost();
    const OperatorListEntry* selected = SelectedOperator();
    if (!selected) {
        host.InforMsg(kMsgNothingToDelete, "");
        return;
    }
    // The record goes with the next refresh; keep what the messages need.
    const std::string code = selected->Code;
    const std::string name = selected->Name;
    if (code == SignedInCode()) {
        host.InforMsg(kMsgCannotDeleteSelf, "");
        return;
    }
    if (IsSuperAdmin(selected->PostCode)) {
        host.InforMsg(kMsgCannotDeleteSuperAdmin, "");
        return;
    }
    if (host.InforMsg(kMsgConfirmDelete, code) != 1)
        return;
    EnsurePrivilegeMgr();
    TPrivilegeMgr* manager = ActivePrivilegeMgr();
    if (manager && manager->DeleteOperator(code)) {
        host.InforMsg(kMsgDeleted, code);
        host.Info("1", "删除" + name + "用户。");
        RefreshList();
    } else if (!ShowRecordFailure()) {
        host.InforMsg(kMsgDeleteFailed, std::string(kDeleteErrorNumber) + '\x01' + code);
    }
}

void Tfrm_Operator::actPrivAssignExecute()
{
    Host& host = CurrentHost();
    EnsurePrivilegeMgr();
    const std::string category = SignedInCategory();
    const OperatorListEntry* selected = SelectedOperator();
    if (selected && IsSuperAdmin(selected->PostCode) && !IsSuperAdmin(category)) {
        host.InforMsg(kMsgNoAssignForSuperAdmin, "");
        return;
    }
    if (IsBusinessPost(category)) {
        host.InforMsg(kMsgNoAssignForBusiness, "");
        return;
    }
    std::string params = SetParamValue(SetParamValue("", "CLOSEPREV", "false"), "TOVIEW", "false");
    if (!host.CheckFunctionCanUse(kPrivilegeAssignFunction)) {
        host.InfoMsgBox(kNoRightText);
        return;
    }
    OpenHostFunction(static_cast<QWidget*>(parentWidget()), kPrivilegeAssignFunction, params);
}

// The dialogs answer whether they closed with OK, which none of their
// commands does; the list shows posts and departments by name, so it is
// refreshed whatever they answer.
void Tfrm_Operator::actSettingPostExecute()
{
    ShowUserPost();
    RefreshList();
}

void Tfrm_Operator::actSettingDeprtExecute()
{
    ShowDepartmentMgr();
    RefreshList();
}

void Tfrm_Operator::closeEvent(QCloseEvent* event)
{
    Tfrm_CustomEx::closeEvent(event);
    if (event->isAccepted())
        privilegeMgr_.reset();
}

bool Tfrm_Operator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->cxTLOperator->viewport() && event->type() == QEvent::MouseButtonPress) {
        // Any button focuses the row under the pointer, or no row, before the
        // pop-up menu opens.
        RunGuarded([this, event] {
            const auto* press = static_cast<QMouseEvent*>(event);
            const QModelIndex row = ui->cxTLOperator->indexAt(press->position().toPoint());
            if (row.isValid()) {
                ui->cxTLOperator->setCurrentIndex(row);
            } else {
                ui->cxTLOperator->selectionModel()->clear();
                cxTLOperatorChange();
            }
        });
    }
    if (watched == ui->cxTLOperator->viewport() && event->type() == QEvent::Resize)
        ShareColumnWidths();
    return Tfrm_CustomEx::eventFilter(watched, event);
}

void Tfrm_Operator::ShareColumnWidths()
{
    const int available = ui->cxTLOperator->viewport()->width();
    if (available <= 0)
        return;
    int total = 0;
    for (int width : kColumnWidths)
        total += width;
    QHeaderView* header = ui->cxTLOperator->header();
    int used = 0;
    for (int column = 0; column < TOperatorListModel::ColumnCount - 1; ++column) {
        const int width = available * kColumnWidths[column] / total;
        header->resizeSection(column, width);
        used += width;
    }
    header->resizeSection(TOperatorListModel::ColumnCount - 1, available - used);
}

} // namespace priv
