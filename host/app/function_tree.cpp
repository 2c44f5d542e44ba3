#include "function_tree.h"

#include "boundary/host.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace privhost {
namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QTreeWidgetItem* FindItem(QTreeWidget* tree, ItemKind kind, int role, const std::string& code)
{
    const QString wanted = Text(code);
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* product = tree->topLevelItem(i);
        if (kind == ItemKind::Product && product->data(0, role).toString() == wanted)
            return product;
        if (kind != ItemKind::Function)
            continue;
        for (int j = 0; j < product->childCount(); ++j) {
            QTreeWidgetItem* item = product->child(j);
            if (item->data(0, kItemKindRole).toInt() == static_cast<int>(ItemKind::Function) &&
                item->data(0, role).toString() == wanted)
                return item;
        }
    }
    return nullptr;
}

// Whether the function exists in the host's version: its version-type list
// is empty or names the version type, as the version filter reads it.
bool InVersion(const priv::FunctionRecord& function, const std::string& versionType)
{
    return function.versions.empty() ||
           ("," + function.versions + ",").find("," + versionType + ",") != std::string::npos;
}

} // namespace

QString GreyedReasonText(GreyedReason reason, const QString& name)
{
    switch (reason) {
    case GreyedReason::Version:
        return QStringLiteral("本版本不提供“%1”。").arg(name);
    case GreyedReason::Post:
        return QStringLiteral("当前岗位无权使用“%1”。").arg(name);
    case GreyedReason::Switched:
        return QStringLiteral("“%1”所属的子系统未启用。").arg(name);
    case GreyedReason::None:
        break;
    }
    return {};
}

void FillFunctionTree(QTreeWidget* tree, const std::vector<priv::SubAppDescriptor*>& descriptors,
                      const std::vector<std::string>& withdrawn, const std::string& versionType)
{
    tree->clear();
    QStyle* style = tree->style();
    const QIcon productIcon = style->standardIcon(QStyle::SP_DirIcon);
    const QIcon functionIcon = style->standardIcon(QStyle::SP_FileIcon);
    for (const priv::SubAppDescriptor* descriptor : descriptors) {
        const bool isWithdrawn =
            std::find(withdrawn.begin(), withdrawn.end(), descriptor->product) != withdrawn.end();
        const bool available = descriptor->enabled && !isWithdrawn;

        auto* product = new QTreeWidgetItem(tree);
        QString caption = Text(descriptor->name);
        if (isWithdrawn)
            caption += QStringLiteral("（无权限）");
        else if (!descriptor->enabled)
            caption += QStringLiteral("（未启用）");
        product->setText(0, caption);
        product->setIcon(0, productIcon);
        product->setToolTip(
            0, QStringLiteral("产品 %1，子系统 %2").arg(Text(descriptor->product), Text(descriptor->code)));
        product->setData(0, kItemKindRole, static_cast<int>(ItemKind::Product));
        product->setData(0, kSubAppCodeRole, Text(descriptor->code));
        product->setData(0, kProductCodeRole, Text(descriptor->product));
        product->setData(0, kFunctionNameRole, Text(descriptor->name));
        QFont bold = product->font(0);
        bold.setBold(true);
        product->setFont(0, bold);
        if (!available) {
            product->setFlags(product->flags() & ~Qt::ItemIsEnabled);
            product->setData(0, kGreyedReasonRole,
                             static_cast<int>(isWithdrawn ? GreyedReason::Post : GreyedReason::Switched));
            // A greyed product cannot be opened: no arrow promises it.
            product->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        }

        for (const priv::FunctionRecord& function : descriptor->functions) {
            auto* item = new QTreeWidgetItem(product);
            item->setData(0, kSubAppCodeRole, Text(descriptor->code));
            item->setData(0, kProductCodeRole, Text(descriptor->product));
            if (function.name == "-") {
                item->setData(0, kItemKindRole, static_cast<int>(ItemKind::Separator));
                item->setFlags(Qt::NoItemFlags);
                continue;
            }
            item->setText(0, Text(function.name));
            item->setIcon(0, functionIcon);
            item->setToolTip(0, Text(function.code));
            item->setData(0, kItemKindRole, static_cast<int>(ItemKind::Function));
            item->setData(0, kFunctionCodeRole, Text(function.code));
            item->setData(0, kFunctionNameRole, Text(function.name));
            if (!available || !function.enabled) {
                // The version filter clears the flag of what the version
                // lacks, for every operator; the rest is the post's doing.
                GreyedReason reason = GreyedReason::Post;
                if (!descriptor->enabled)
                    reason = GreyedReason::Switched;
                else if (!InVersion(function, versionType))
                    reason = GreyedReason::Version;
                item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
                item->setData(0, kGreyedReasonRole, static_cast<int>(reason));
                item->setToolTip(0, Text(function.code) + QStringLiteral("（") +
                                        GreyedReasonText(reason, Text(function.name)).chopped(1) +
                                        QStringLiteral("）"));
            }
        }
        // What the operator cannot use stays folded away.
        product->setExpanded(available);
    }
}

QTreeWidgetItem* FindFunctionItem(QTreeWidget* tree, const std::string& functionCode)
{
    return FindItem(tree, ItemKind::Function, kFunctionCodeRole, functionCode);
}

QTreeWidgetItem* FindProductItem(QTreeWidget* tree, const std::string& productCode)
{
    return FindItem(tree, ItemKind::Product, kProductCodeRole, productCode);
}

void FunctionTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    if (index.data(kItemKindRole).toInt() != static_cast<int>(ItemKind::Separator)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Mid), 1));
    const int y = option.rect.center().y();
    painter->drawLine(option.rect.left() + 4, y, option.rect.right() - 8, y);
    painter->restore();
}

QSize FunctionTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.data(kItemKindRole).toInt() == static_cast<int>(ItemKind::Separator))
        return QSize(option.rect.width(), 9);
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), 24));
    return size;
}

} // namespace privhost
