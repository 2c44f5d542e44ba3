// The main window's navigation: the host's products (the main frame and every
// sub-application of the applications file) with their functions beneath, as
// the authorisation filter left them. A product the operator may not use is
// shown greyed and marked; so is every function whose flag the filters cleared.
#pragma once

#include <QStyledItemDelegate>

#include <string>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace priv {
struct SubAppDescriptor;
}

namespace privhost {

// Item data of the navigation tree.
enum FunctionTreeRole {
    kItemKindRole = Qt::UserRole, // ItemKind
    kFunctionCodeRole,            // function code (functions only)
    kSubAppCodeRole,              // sub-application code
    kProductCodeRole,             // product code
    kFunctionNameRole,            // the function's own name, without marks
    kGreyedReasonRole,            // why a greyed item cannot be used (GreyedReason)
};

// Why an item is greyed: its function does not exist in the host's version
// (so nobody may use it, the super administrator neither), or the post may
// not use it.
enum class GreyedReason { None = 0, Version = 1, Post = 2, Switched = 3 };

// The reason of a greyed item, in words for the status bar: "本版本不提供“NAME”。"...
QString GreyedReasonText(GreyedReason reason, const QString& name);

enum class ItemKind { Product = 1, Function = 2, Separator = 3 };

// Rebuilds `tree` from the descriptors; `withdrawn` are the product codes the
// filter withdrew, `versionType` the host's version-type code. Products the
// operator can use are expanded; greyed ones show no expand arrow.
void FillFunctionTree(QTreeWidget* tree, const std::vector<priv::SubAppDescriptor*>& descriptors,
                      const std::vector<std::string>& withdrawn, const std::string& versionType);

// The function item of a code, or none.
QTreeWidgetItem* FindFunctionItem(QTreeWidget* tree, const std::string& functionCode);
QTreeWidgetItem* FindProductItem(QTreeWidget* tree, const std::string& productCode);

// Draws a separator entry ("-" in the applications file) as a thin line.
class FunctionTreeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace privhost
