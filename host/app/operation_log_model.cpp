#include "operation_log_model.h"

#include "boundary/host.h"

#include <QFile>
#include <QStringList>

#include <optional>

namespace privhost {
namespace {

namespace audit = priv::audit;

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// A CSV field as RFC 4180 writes it. A text a spreadsheet would take for a
// formula (names and details are typed by people) is kept as text by a
// leading apostrophe.
QString CsvField(QString text)
{
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

OperationLogModel::OperationLogModel(QObject* parent) : QAbstractTableModel(parent) {}

QString OperationLogModel::Caption(audit::Column column)
{
    switch (column) {
    case audit::Column::Sequence:
        return QStringLiteral("序号");
    case audit::Column::LocalTime:
        return QStringLiteral("时间");
    case audit::Column::Workstation:
        return QStringLiteral("工作站");
    case audit::Column::SystemUser:
        return QStringLiteral("系统用户");
    case audit::Column::Operator:
        return QStringLiteral("操作员");
    case audit::Column::Event:
        return QStringLiteral("事件");
    case audit::Column::ObjectKind:
        return QStringLiteral("对象类型");
    case audit::Column::ObjectCode:
        return QStringLiteral("对象代码");
    case audit::Column::Detail:
        return QStringLiteral("详情");
    case audit::Column::Result:
        return QStringLiteral("结果");
    }
    return {};
}

QString OperationLogModel::CellText(const audit::Row& row, audit::Column column)
{
    switch (column) {
    case audit::Column::Sequence:
        return QString::number(row.sequence);
    case audit::Column::Event: {
        const std::string_view caption = audit::EventCaption(row.event);
        return caption.empty() ? Text(row.event) : Text(std::string(caption));
    }
    default:
        return Text(audit::SortValue(row, column));
    }
}

bool OperationLogModel::SetFilter(const audit::Filter& filter, QString& message)
{
    std::string reason;
    if (!audit::CheckFilter(filter, reason)) {
        message = Text(reason);
        return false;
    }
    filter_ = filter;
    Reload();
    return true;
}

void OperationLogModel::Reload()
{
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    error_.clear();
    atEnd_ = true;
    std::string message;
    state_ = audit::InspectLog(message);
    if (state_ == audit::LogState::Unreadable)
        error_ = Text(message);
    endResetModel();
    if (state_ == audit::LogState::Present) {
        atEnd_ = false;
        ReadNextPage();
    }
    emit RowsRead();
}

bool OperationLogModel::ReadNextPage()
{
    std::vector<audit::Row> page;
    std::string message;
    if (!audit::ReadPage(filter_, order_, rows_.empty() ? nullptr : &rows_.back(), kPageRows, page,
                         message)) {
        // Nothing more is asked for until the reader reloads.
        atEnd_ = true;
        error_ = Text(message);
        return false;
    }
    atEnd_ = page.size() < static_cast<std::size_t>(kPageRows);
    if (page.empty())
        return true;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(page.begin()), std::make_move_iterator(page.end()));
    endInsertRows();
    return true;
}

int OperationLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int OperationLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : audit::kColumnCount;
}

QVariant OperationLogModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const audit::Row& row = rows_[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<audit::Column>(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        QString text = CellText(row, column);
        // One line per row; the whole text is in the tool tip.
        text.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
        return text;
    }
    case Qt::ToolTipRole:
        if (column == audit::Column::Detail || column == audit::Column::ObjectCode ||
            column == audit::Column::Workstation)
            return CellText(row, column);
        if (column == audit::Column::LocalTime)
            return QStringLiteral("UTC %1").arg(Text(row.utcTime));
        return {};
    case Qt::TextAlignmentRole:
        if (column == audit::Column::Sequence)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant OperationLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= audit::kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return Caption(static_cast<audit::Column>(section));
    if (role == Qt::ToolTipRole)
        return QStringLiteral("单击按%1排序，再次单击反向排序")
            .arg(Caption(static_cast<audit::Column>(section)));
    return {};
}

bool OperationLogModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !atEnd_;
}

void OperationLogModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || atEnd_)
        return;
    ReadNextPage();
    emit RowsRead();
}

void OperationLogModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= audit::kColumnCount)
        return;
    const audit::PageOrder wanted{static_cast<audit::Column>(column), order == Qt::DescendingOrder};
    if (wanted.column == order_.column && wanted.descending == order_.descending && !rows_.empty())
        return;
    order_ = wanted;
    Reload();
}

long long OperationLogModel::ExportCsv(const QString& path, QString& message) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        message = QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString());
        return -1;
    }
    QStringList captions;
    for (int c = 0; c < audit::kColumnCount; ++c)
        captions << CsvField(Caption(static_cast<audit::Column>(c)));
    QByteArray bytes("\xEF\xBB\xBF");
    bytes += captions.join(QLatin1Char(',')).toUtf8() + "\r\n";
    // The filter and order as they are now: the window may change them
    // while a long export lets it answer.
    const audit::Filter filter = filter_;
    const audit::PageOrder order = order_;
    long long written = 0;
    std::vector<audit::Row> page;
    std::optional<audit::Row> last;
    for (;;) {
        page.clear();
        std::string reason;
        if (!audit::ReadPage(filter, order, last ? &*last : nullptr, kExportRows, page, reason)) {
            message = QStringLiteral("无法读取操作日志：%1").arg(Text(reason));
            file.remove();
            return -1;
        }
        for (const audit::Row& row : page) {
            QStringList fields;
            for (int c = 0; c < audit::kColumnCount; ++c)
                fields << CsvField(CellText(row, static_cast<audit::Column>(c)));
            bytes += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
        }
        written += static_cast<long long>(page.size());
        if (file.write(bytes) != bytes.size()) {
            message = QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString());
            file.remove();
            return -1;
        }
        bytes.clear();
        if (page.size() < static_cast<std::size_t>(kExportRows))
            break;
        last = page.back();
        // A long export keeps the window answering.
        priv::CurrentHost().ProcessMessages();
    }
    if (!file.flush()) {
        message = QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString());
        file.remove();
        return -1;
    }
    file.close();
    return written;
}

} // namespace privhost
