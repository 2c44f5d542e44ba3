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
};

enum class ItemKind { Product = 1, Function = 2, Separator = 3 };

// Rebuilds `tree` from the descriptors; `withdrawn` are the product codes the
// filter withdrew. Products the operator can use are expanded.
void FillFunctionTree(QTreeWidget* tree, const std::vector<priv::SubAppDescriptor*>& descriptors,
                      const std::vector<std::string>& withdrawn);

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
