#include "assign/privilege_assign_window.h"

#include "assign/grid_views.h"
#include "assign/mvc_item_model.h"
#include "boundary/status_display.h"
#include "models/word_book.h"
#include "store/permit.h"
#include "store/post_store.h"
#include "ui/window_utils.h"

#include "ui/qt_text.h"
#include "ui_privilege_assign_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace priv {

namespace {

// Positions in the post list.
constexpr int kPlaceholderPosition = 0;
constexpr int kLastAssignedBuiltInPosition = 2; // SYSTEM 1, BUSINESS 2
constexpr int kAuditorPosition = 3;

constexpr int kCompanyColumnWidths[TCompanyListModel::kColumnCount] = {32, 140, 200};
constexpr int kCompanyHeaderHeight = 18;

} // namespace

TfrmPrivilegeAssignEx::TfrmPrivilegeAssignEx(QWidget* parent)
    : Tfrm_CustomEx(parent), ui(std::make_unique<Ui::TfrmPrivilegeAssignEx>())
{
    setObjectName(QStringLiteral("frmPrivilegeAssignEx"));
    setWindowTitle(QStringLiteral("岗位权限分配"));
    SetOuterSize(QSize(690, 543));

    auto* content = new QWidget(ClientArea());
    ui->setupUi(content);
    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);

    btnBack = AddToolButton(QStringLiteral("btnBack"), QStringLiteral("后退"),
                            ModuleIcon(QStringLiteral("back")), 78);
    btnBack->setToolTip(QStringLiteral("返回到 用户管理"));
    tBtnSave = AddToolButton(QStringLiteral("tBtnSave"), QStringLiteral("保存"),
                             ModuleIcon(QStringLiteral("save")), 78);
    tbtnClose = AddToolButton(QStringLiteral("tbtnClose"), QStringLiteral("关闭(&X)"),
                              ModuleIcon(QStringLiteral("close")), 78);
    tbtnClose->setEnabled(false);
    SetToolButtonVisible(tbtnClose, false);
    connect(btnBack, &QToolButton::clicked, this, [this] { RunGuarded([this] { tbtnCloseClick(); }); });
    connect(tBtnSave, &QToolButton::clicked, this, [this] { RunGuarded([this] { tBtnSaveClick(); }); });
    connect(tbtnClose, &QToolButton::clicked, this, [this] { RunGuarded([this] { tbtnCloseClick(); }); });

    const QFont listFont = PixelFont(QStringLiteral("宋体"), 12);
    const QFont groupFont = PixelFont(QStringLiteral("宋体"), 12, true);
    ui->gbxCompList->setFont(groupFont);
    ui->gbxAppFuncs->setFont(groupFont);
    QPalette groupPalette = ui->gbxCompList->palette();
    groupPalette.setColor(QPalette::WindowText, QColor(61, 90, 166));
    ui->gbxCompList->setPalette(groupPalette);
    ui->lblRoleTip->setStyleSheet(QStringLiteral("color: grey;"));

    // The company list: a check box per row, one full-row selection, grid
    // lines, a light-blue header 18 high whose columns can be resized and
    // dragged.
    QTreeView* companies = ui->vstCompList;
    companies->setFont(listFont);
    compModel_ = new TCompanyListModel(FCompanies, companies);
    compModel_->SetCheckHandler([this](int row, bool ticked) { vstCompListChecked(row, ticked); });
    companies->setModel(compModel_);
    auto* header = new THeaderBand(Qt::Horizontal, companies);
    header->setSectionsMovable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setFixedHeight(kCompanyHeaderHeight);
    header->setMinimumSectionSize(16);
    companies->setHeader(header);
    companies->setRootIsDecorated(false);
    companies->setItemsExpandable(false);
    companies->setUniformRowHeights(true);
    companies->setAllColumnsShowFocus(true);
    companies->setSelectionMode(QAbstractItemView::SingleSelection);
    companies->setSelectionBehavior(QAbstractItemView::SelectRows);
    companies->setEditTriggers(QAbstractItemView::NoEditTriggers);
    companies->setItemDelegate(new TGridRowDelegate(TMVCItemModel::kRowHeight, companies, true));
    companies->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(companies, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { RunGuarded([&] { vstCompListClick(index); }); });
    connect(companies->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& to, const QModelIndex& from) {
                RunGuarded([&] { vstCompListFocusChanging(from, to); });
            });
    connect(companies->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        const int dx = lastHorizontalScroll_ - value;
        lastHorizontalScroll_ = value;
        RunGuarded([&] { vstCompListScroll(dx); });
    });
    // The check-all box sits over the first column's header and follows it.
    // It belongs to the list (not to the header, which a reader reads only as
    // captions), so that a reader finds it among the list's controls.
    QCheckBox* checkAll = ui->cbxCompList;
    checkAll->setParent(companies);
    checkAll->setAutoFillBackground(true);
    QPalette boxPalette = checkAll->palette();
    boxPalette.setColor(QPalette::Window, THeaderBand::BandColor());
    boxPalette.setColor(QPalette::Text, QColor(0, 128, 0));
    checkAll->setPalette(boxPalette);
    checkAll->setFixedSize(14, 15);
    connect(checkAll, &QCheckBox::clicked, this, [this] { RunGuarded([this] { cbxCompListClick(); }); });
    header->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this] { PlaceCheckAllBox(); });
    connect(header, &QHeaderView::sectionMoved, this, [this] { PlaceCheckAllBox(); });

    ui->vstSysFuncs->setFont(listFont);
    funcModel_ = new TMVCItemModel(ui->vstSysFuncs);

    connect(ui->cbxRoles, &QComboBox::currentIndexChanged, this,
            [this] { RunGuarded([this] { cbxRolesChange(); }); });
}

TfrmPrivilegeAssignEx::~TfrmPrivilegeAssignEx()
{
    // The company records go first, then the function tree (its rows leave
    // the function list with it), the word book, the set and the store.
    try {
        FShownCompany = -1;
        FCompanies.clear();
        if (compModel_)
            compModel_->ShowRowsAfresh();
        FAppFuncsTree.reset();
        FWordBook.reset();
        FPermissions.reset();
        FRolesMgr.reset();
    } catch (...) {
    }
}

void TfrmPrivilegeAssignEx::FormCreate()
{
    Tfrm_CustomEx::FormCreate();
    FSkipClick = false;
    FShownCompany = -1;
    FRolesMgr = std::make_unique<TRolesMgr>();
    FPermissions = std::make_unique<TRolePermissions>();
    FWordBook = std::make_unique<TRolesWordBook>();
    FCompanies.clear();
    compModel_->SetCodeCaption(
        FromUtf8(CurrentHost().GetSysConfigParam("SysCofig", "DisplayCompanyCodeName", "纳税人识别号")));
    FAppFuncsTree = std::make_unique<TAppFuncsTree>(funcModel_, this);
}

bool TfrmPrivilegeAssignEx::Prepare()
{
    EnsureFormCreated();
    Host& host = CurrentHost();
    TCompanyList companies;
    if (!FRolesMgr->GetCompanyList(companies)) {
        host.ErrorMsgBox("系统错误：[70018504]\r\n取用户权限范围出错。");
        host.Error("1", "[70018504]取用户权限范围出错。");
        return false;
    }
    FCompanies.clear();
    FCompanies.reserve(companies.size());
    for (CompanyInfo& company : companies)
        FCompanies.push_back(
            {std::move(company.Id), std::move(company.TaxNumber), std::move(company.Name), false});
    FAppFuncsTree->Build();
    return true;
}

void TfrmPrivilegeAssignEx::showEvent(QShowEvent* event)
{
    Tfrm_CustomEx::showEvent(event);
    // The post is loaded when the page first appears; hiding and showing the
    // page again keeps the user's unsaved ticks.
    if (!shownOnce_ && !event->spontaneous()) {
        shownOnce_ = true;
        RunGuarded([this] { FormShow(); });
    }
}

void TfrmPrivilegeAssignEx::FormShow()
{
    EnsureFormCreated();
    QComboBox* roles = ui->cbxRoles;
    {
        const QSignalBlocker quiet(roles);
        roles->clear();
        for (const std::string& name : FWordBook->Names())
            roles->addItem(FromUtf8(name));
        int selected = -1;
        const std::vector<std::string>& codes = FWordBook->Codes();
        for (std::size_t i = 1; i < codes.size(); ++i)
            if (!PostCode.empty() && codes[i] == PostCode) {
                selected = static_cast<int>(i);
                break;
            }
        roles->setCurrentIndex(selected < 0 ? kPlaceholderPosition : selected);
    }

    QTreeView* companies = ui->vstCompList;
    compModel_->ShowRowsAfresh();
    for (int column = 0; column < TCompanyListModel::kColumnCount; ++column)
        companies->header()->resizeSection(column, kCompanyColumnWidths[column]);
    PlaceCheckAllBox();
    cbxRolesChange();
}

void TfrmPrivilegeAssignEx::cbxRolesChange()
{
    EnsureFormCreated();
    const int position = ui->cbxRoles->currentIndex();
    PostCode = FWordBook->GetCodeByIndex(position);
    FPermissions->SetPostCode(PostCode);

    for (TCompanyRecord& record : FCompanies)
        record.Granted = false;
    ui->cbxCompList->setChecked(false);
    FAppFuncsTree->ResetChecks();
    // A post the store cannot read (the placeholder, a post deleted
    // meanwhile) leaves the set empty: nothing is shown ticked. A large load
    // lets the event loop run between rows; nothing of the page may start
    // on the half-read set meanwhile. The store says when its load is large
    // (by the post's own companies), so that the page is held still exactly
    // when events run; a small load keeps the page, and the focus, as it is.
    {
        // Holds the page and its tool bar still for the load; both come back
        // on every way out.
        QWidget* heldPage = nullptr;
        QWidget* heldTools = nullptr;
        const auto release = qScopeGuard([&] {
            FRolesMgr->SetLargeLoadHandler(nullptr);
            if (heldPage)
                heldPage->setEnabled(true);
            if (heldTools)
                heldTools->setEnabled(true);
        });
        FRolesMgr->SetLargeLoadHandler([this, &heldPage, &heldTools] {
            if (!heldPage && ClientArea()->isEnabled()) {
                heldPage = ClientArea();
                heldPage->setEnabled(false);
            }
            if (!heldTools && ModuleToolbar()->isEnabled()) {
                heldTools = ModuleToolbar();
                heldTools->setEnabled(false);
            }
        });
        FRolesMgr->LoadPostPermissions(PostCode, FPermissions.get());
    }

    for (TCompanyRecord& record : FCompanies)
        record.Granted = FPermissions->FindCompany(record.QYID) != nullptr;
    ShowCompanyRowsAfresh();
    SynchroniseCompanyTicks();

    FShownCompany = -1;
    SetFunctionsCaption(kNoCompanyCaption);
    FAppFuncsTree->ResetChecks();
    ui->vstSysFuncs->setEnabled(false);
    if (TMVCTree* model = FAppFuncsTree->Model())
        model->RebuildView();

    ApplyPostPosition(position);
}

void TfrmPrivilegeAssignEx::ApplyPostPosition(int position)
{
    QLabel* tip = ui->lblRoleTip;
    tip->clear();
    tBtnSave->setEnabled(position > kLastAssignedBuiltInPosition);
    ui->vstCompList->setEnabled(true);
    ui->cbxCompList->setEnabled(true);
    compModel_->SetCheckHandlingConnected(true);
    if (position <= kPlaceholderPosition) {
        tip->setText(QString::fromUtf8(kPlaceholderTip));
    } else if (position <= kLastAssignedBuiltInPosition) {
        tip->setText(QString::fromUtf8(kBuiltInAssignedTip));
    } else if (position == kAuditorPosition) {
        tip->setText(QString::fromUtf8(kBuiltInTip));
        return;
    } else {
        return;
    }
    ui->vstCompList->setEnabled(false);
    ui->vstSysFuncs->setEnabled(false);
    ui->cbxCompList->setEnabled(false);
}

void TfrmPrivilegeAssignEx::ShowCompanyRowsAfresh()
{
    compModel_->SetCheckHandlingConnected(false);
    compModel_->ShowRowsAfresh();
    compModel_->SetCheckHandlingConnected(true);
}

bool TfrmPrivilegeAssignEx::RecordGranted(int row) const
{
    return row >= 0 && row < static_cast<int>(FCompanies.size()) &&
           FCompanies[static_cast<std::size_t>(row)].Granted;
}

void TfrmPrivilegeAssignEx::SynchroniseCompanyTicks()
{
    // The rows show the records' ticks, so only the check-all box follows.
    // An empty list has nothing ticked: the box stays clear.
    bool all = !FCompanies.empty();
    for (const TCompanyRecord& record : FCompanies)
        if (!record.Granted) {
            all = false;
            break;
        }
    ui->cbxCompList->setChecked(all);
}

void TfrmPrivilegeAssignEx::StoreShownCompany()
{
    if (FShownCompany < 0 || FShownCompany >= static_cast<int>(FCompanies.size()))
        return;
    const TCompanyRecord& record = FCompanies[static_cast<std::size_t>(FShownCompany)];
    FAppFuncsTree->StoreGrants(*FPermissions, record.QYID, record.Granted);
}

void TfrmPrivilegeAssignEx::ShowCompany(int row)
{
    if (row < 0 || row >= static_cast<int>(FCompanies.size()))
        return;
    if (FShownCompany != row)
        StoreShownCompany();
    FAppFuncsTree->ResetChecks();
    FShownCompany = row;
    const TCompanyRecord& record = FCompanies[static_cast<std::size_t>(row)];
    FAppFuncsTree->ShowGrants(FPermissions->FindCompany(record.QYID));
    SetFunctionsCaption("为所选单位[" + record.QYSBH + "]分配系统权限");
    ui->vstSysFuncs->setEnabled(true);
}

void TfrmPrivilegeAssignEx::HideCompany()
{
    StoreShownCompany();
    FShownCompany = -1;
    SetFunctionsCaption(kNoCompanyCaption);
    FAppFuncsTree->ResetChecks();
    ui->vstSysFuncs->setEnabled(false);
}

void TfrmPrivilegeAssignEx::SetFunctionsCaption(const std::string& caption)
{
    ui->gbxAppFuncs->setTitle(FromUtf8(caption));
}

void TfrmPrivilegeAssignEx::vstCompListFocusChanging(const QModelIndex& from, const QModelIndex& to)
{
    if (from.isValid() && to.isValid() && from.row() == to.row())
        return;
    if (!to.isValid()) {
        StoreShownCompany();
        return;
    }
    if (RecordGranted(to.row())) {
        if (FShownCompany != to.row())
            ShowCompany(to.row());
    } else {
        HideCompany();
    }
}

void TfrmPrivilegeAssignEx::vstCompListChecked(int row, bool ticked)
{
    if (row < 0 || row >= static_cast<int>(FCompanies.size()))
        return;
    TCompanyRecord& record = FCompanies[static_cast<std::size_t>(row)];
    auto* companies = static_cast<TCheckTreeView*>(ui->vstCompList);
    if (ticked) {
        record.Granted = true;
        compModel_->RowTickChanged(row);
        SynchroniseCompanyTicks();
        companies->setCurrentIndex(compModel_->index(row, 0));
        if (companies->HandlingMouseRelease())
            FSkipClick = true;
        ShowCompany(row);
        // A company ticked anew starts with everything; the user unticks
        // what the post shall not use there.
        FAppFuncsTree->CheckAll(TCheckState::Checked);
    } else {
        record.Granted = false;
        compModel_->RowTickChanged(row);
        SynchroniseCompanyTicks();
        if (FShownCompany == row) {
            FAppFuncsTree->CheckAll(TCheckState::Unchecked);
            if (companies->HandlingMouseRelease())
                FSkipClick = true;
        }
    }
    FAppFuncsTree->StoreGrants(*FPermissions, record.QYID, record.Granted);
    ui->vstSysFuncs->viewport()->update();
}

void TfrmPrivilegeAssignEx::vstCompListClick(const QModelIndex&)
{
    if (FSkipClick) {
        FSkipClick = false;
        return;
    }
    SynchroniseCompanyTicks();
    const QModelIndex current = ui->vstCompList->currentIndex();
    if (!current.isValid())
        return;
    const int row = current.row();
    if (RecordGranted(row)) {
        if (FShownCompany == row)
            return;
        ShowCompany(row);
    } else {
        FShownCompany = -1;
    }
}

void TfrmPrivilegeAssignEx::cbxCompListClick()
{
    QCheckBox* checkAll = ui->cbxCompList;
    QTreeView* companies = ui->vstCompList;
    checkAll->setEnabled(false);
    companies->setEnabled(false);
    const auto enableAgain = qScopeGuard([checkAll, companies] {
        checkAll->setEnabled(true);
        companies->setEnabled(true);
    });

    const bool ticked = checkAll->isChecked();
    for (TCompanyRecord& record : FCompanies)
        record.Granted = ticked;
    ShowCompanyRowsAfresh();
    std::vector<std::pair<std::string, bool>> marks;
    marks.reserve(FCompanies.size());
    for (const TCompanyRecord& record : FCompanies)
        marks.emplace_back(record.QYID, record.Granted);
    MarkCompanies(*FPermissions, marks);
}

void TfrmPrivilegeAssignEx::vstCompListScroll(int dx)
{
    FScrollLeft += dx;
    PlaceCheckAllBox();
}

void TfrmPrivilegeAssignEx::PlaceCheckAllBox()
{
    QTreeView* companies = ui->vstCompList;
    QHeaderView* header = companies->header();
    QCheckBox* checkAll = ui->cbxCompList;
    // Over the first column's header, above the rows' boxes at the right end
    // of that column; it moves with the column when the list scrolls.
    const QStyle* style = companies->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, companies) + 1;
    const int box = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, companies);
    const int right = header->sectionViewportPosition(0) + header->sectionSize(0);
    const int x = right - margin - (box + checkAll->width()) / 2;
    checkAll->move(header->pos() + QPoint(x, std::max(0, (header->height() - checkAll->height()) / 2)));
    checkAll->raise();
}

bool TfrmPrivilegeAssignEx::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->vstCompList->header() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move || event->type() == QEvent::Show))
        PlaceCheckAllBox();
    return Tfrm_CustomEx::eventFilter(watched, event);
}

void TfrmPrivilegeAssignEx::UncheckShownCompany()
{
    if (FShownCompany < 0 || FShownCompany >= static_cast<int>(FCompanies.size()))
        return;
    TCompanyRecord& record = FCompanies[static_cast<std::size_t>(FShownCompany)];
    record.Granted = false;
    compModel_->RowTickChanged(FShownCompany);
    FPermissions->Mark(record.QYID, false);
    SynchroniseCompanyTicks();
    ui->vstSysFuncs->viewport()->update();
}

void TfrmPrivilegeAssignEx::tbtnCloseClick()
{
    close();
}

} // namespace priv
