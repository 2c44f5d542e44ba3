#include "operation_log_page.h"

#include "main_window.h"
#include "operation_log_model.h"
#include "ui_operation_log_page.h"

#include "boundary/host.h"

#include <fennix/host_message_event.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <initializer_list>

namespace privhost {
namespace {

namespace audit = priv::audit;

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

TfrmOperationLog::TfrmOperationLog(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TfrmOperationLog>()), model_(new OperationLogModel(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    ui_->setupUi(this);
    setObjectName(QStringLiteral("frmOperationLog"));
    // A page of its own colour inside the host's page area.
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    setAutoFillBackground(true);

    // Room for a date and a time in the time boxes, as much for the
    // operator's code and the event beneath them; narrower when the page is.
    const QFontMetrics metrics(ui_->edtSince->font());
    const int boxWidth = metrics.horizontalAdvance(QStringLiteral("yyyy-mm-dd [hh:nn]")) + 40;
    for (QWidget* box :
         std::initializer_list<QWidget*>{ui_->edtSince, ui_->edtUntil, ui_->edtOperator, ui_->cbxEvent}) {
        box->setMinimumWidth(boxWidth * 2 / 3);
        box->setMaximumWidth(boxWidth);
        box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    ui_->layFilter->setColumnStretch(1, 1);
    ui_->layFilter->setColumnStretch(3, 1);
    ui_->layFilter->setColumnStretch(4, 2);
    ui_->edtOperator->setMaxLength(60);
    ui_->lblEmpty->setStyleSheet(QStringLiteral("color: #5a6b7b;"));
    FillEvents();

    QTableView* grid = ui_->grdLog;
    grid->setModel(model_);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(metrics.height() + 10);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setSortIndicator(static_cast<int>(audit::Column::Sequence),
                                               Qt::DescendingOrder);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    // The model sorts in the database; the first sort reads the first page.
    grid->setSortingEnabled(true);
    SizeColumns();

    for (QLineEdit* edit : {ui_->edtSince, ui_->edtUntil, ui_->edtOperator})
        connect(edit, &QLineEdit::returnPressed, this, [this] { ApplyFilter(); });
    connect(ui_->cbxEvent, &QComboBox::activated, this, [this] { ApplyFilter(); });
    connect(ui_->btnQuery, &QPushButton::clicked, this, [this] { ApplyFilter(); });
    connect(ui_->btnReset, &QPushButton::clicked, this, [this] { ResetFilter(); });
    connect(ui_->btnExport, &QPushButton::clicked, this, [this] { ExportCsv(); });
    connect(model_, &OperationLogModel::RowsRead, this, [this] { ShowState(); });
    ShowState();
}

TfrmOperationLog::~TfrmOperationLog() = default;

QTableView* TfrmOperationLog::Grid() const
{
    return ui_->grdLog;
}

void TfrmOperationLog::FillEvents()
{
    ui_->cbxEvent->addItem(QStringLiteral("（全部）"), QString());
    for (const std::string_view name : audit::KnownEvents()) {
        const std::string_view caption = audit::EventCaption(name);
        ui_->cbxEvent->addItem(Text(std::string(caption)), Text(std::string(name)));
    }
}

void TfrmOperationLog::SizeColumns()
{
    QHeaderView* header = ui_->grdLog->horizontalHeader();
    const QFontMetrics metrics(ui_->grdLog->font());
    // Each column as wide as its caption (with the sort arrow) or what it
    // usually holds; the detail takes what is left, the result stays last.
    const auto width = [&metrics](const QString& sample) { return metrics.horizontalAdvance(sample) + 16; };
    const std::pair<audit::Column, QString> samples[] = {
        {audit::Column::Sequence, QStringLiteral("1000000")},
        {audit::Column::LocalTime, QStringLiteral("2000-00-00 00:00:00")},
        {audit::Column::Workstation, QStringLiteral("DESKTOP-01")},
        {audit::Column::SystemUser, QStringLiteral("zhangwei")},
        {audit::Column::Operator, QStringLiteral("zhangwei")},
        {audit::Column::Event, QStringLiteral("修改岗位名称")},
        {audit::Column::ObjectKind, QString()},
        {audit::Column::ObjectCode, QStringLiteral("GW00001")},
        {audit::Column::Result, QString()},
    };
    for (const auto& [column, sample] : samples) {
        const int section = static_cast<int>(column);
        // The caption keeps room for the sort arrow beside it.
        header->resizeSection(section,
                              std::max(width(sample), width(OperationLogModel::Caption(column)) + 18));
    }
    header->setMinimumSectionSize(40);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(static_cast<int>(audit::Column::Detail), QHeaderView::Stretch);
}

bool TfrmOperationLog::ApplyFilter()
{
    audit::Filter filter;
    filter.since = ui_->edtSince->text().trimmed().toStdString();
    filter.until = ui_->edtUntil->text().trimmed().toStdString();
    filter.operatorCode = ui_->edtOperator->text().trimmed().toStdString();
    filter.event = ui_->cbxEvent->currentData().toString().toStdString();
    QString message;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool applied = model_->SetFilter(filter, message);
    QApplication::restoreOverrideCursor();
    if (!applied) {
        // Named by the box it was typed into.
        std::string ignored;
        const bool sinceReadable = audit::CheckFilter(audit::Filter{filter.since, {}, {}, {}}, ignored);
        QLineEdit* box = sinceReadable ? ui_->edtUntil : ui_->edtSince;
        Say(QStringLiteral("%1“%2”无法识别，应为 yyyy-mm-dd 或 yyyy-mm-dd hh:nn[:ss]。")
                .arg(sinceReadable ? QStringLiteral("截止时间") : QStringLiteral("起始时间"),
                     box->text().trimmed()),
            true);
        box->setFocus();
        box->selectAll();
        return false;
    }
    ui_->grdLog->scrollToTop();
    return true;
}

void TfrmOperationLog::ResetFilter()
{
    ui_->edtSince->clear();
    ui_->edtUntil->clear();
    ui_->edtOperator->clear();
    ui_->cbxEvent->setCurrentIndex(0);
    // Newest first again; the header tells the model.
    ui_->grdLog->sortByColumn(static_cast<int>(audit::Column::Sequence), Qt::DescendingOrder);
    ApplyFilter();
}

void TfrmOperationLog::ExportCsv()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("操作日志-%1.csv").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出操作日志"), suggested,
                                                      QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"));
    if (!path.isEmpty())
        ExportCsvTo(path);
}

long long TfrmOperationLog::ExportCsvTo(const QString& path)
{
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString message;
    const long long written = model_->ExportCsv(path, message);
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    if (written < 0) {
        Say(message, true);
        priv::CurrentHost().ErrorMsgBox(("导出操作日志失败：" + message).toStdString());
        return -1;
    }
    Say(QStringLiteral("已导出 %1 条记录到 %2").arg(written).arg(QDir::toNativeSeparators(path)), false);
    return written;
}

void TfrmOperationLog::ShowState()
{
    const bool hasRows = model_->rowCount() > 0;
    ui_->btnExport->setEnabled(hasRows);
    if (model_->State() == audit::LogState::Absent) {
        ui_->lblEmpty->setText(QStringLiteral("此数据库没有操作日志表（QX_CZRZ），登录和管理操作未作记录。\n"
                                              "运行 privhost init 可以补建。"));
        ui_->stkRows->setCurrentWidget(ui_->pnlEmpty);
        Say(QString(), false);
        return;
    }
    if (!model_->Error().isEmpty()) {
        ui_->lblEmpty->setText(QStringLiteral("无法读取操作日志。"));
        ui_->stkRows->setCurrentWidget(hasRows ? static_cast<QWidget*>(ui_->grdLog) : ui_->pnlEmpty);
        Say(QStringLiteral("无法读取操作日志：%1").arg(model_->Error()), true);
        return;
    }
    const audit::Filter& filter = model_->Filter();
    const bool filtered = !filter.since.empty() || !filter.until.empty() || !filter.operatorCode.empty() ||
                          !filter.event.empty();
    if (!hasRows) {
        ui_->lblEmpty->setText(
            filtered ? QStringLiteral("没有符合条件的操作日志。\n请放宽条件，或按“重置”查看全部记录。")
                     : QStringLiteral("操作日志中还没有记录。"));
        ui_->stkRows->setCurrentWidget(ui_->pnlEmpty);
        Say(QString(), false);
        return;
    }
    ui_->stkRows->setCurrentWidget(ui_->grdLog);
    const int rows = model_->rowCount();
    Say(model_->canFetchMore(QModelIndex())
            ? QStringLiteral("已列出 %1 条记录，向下滚动可查看更多。").arg(rows)
            : QStringLiteral("共 %1 条记录。").arg(rows),
        false);
}

void TfrmOperationLog::Say(const QString& text, bool failure)
{
    ui_->lblStatus->setText(text);
    ui_->lblStatus->setStyleSheet(failure ? QStringLiteral("color: #b00020;")
                                          : QStringLiteral("color: #5a6b7b;"));
}

bool TfrmOperationLog::event(QEvent* event)
{
    if (event->type() == fennix::HostMessageEvent::TypeFor(kWmModuleClose)) {
        close();
        return true;
    }
    return QWidget::event(event);
}

} // namespace privhost
