// The thin Qt item model over a model tree: one node per row, made when the
// view first asks for the row, a two-state check box per row, the caption as
// the text. The check states it shows are the nodes'; the program's changes
// reach the view as data changes and only the user's own box changes run the
// model tree's check handling.
#pragma once

#include "models/mvc_tree.h"

#include <QAbstractItemModel>

class QTreeView;

namespace priv {

class TMVCItemModel : public QAbstractItemModel, public TMVCView {
    Q_OBJECT
public:
    // The model of `view`; the view gets it, and its look, when a tree hooks
    // its events.
    explicit TMVCItemModel(QTreeView* view);
    ~TMVCItemModel() override;

    static constexpr int kRowHeight = 20;

    TMVCTree* Tree() const { return tree_; }
    // The index of a node's row (column 0); invalid for the root and nodes
    // of another tree.
    QModelIndex IndexOf(const TMVCNode* node) const;
    static TMVCNode* NodeOf(const QModelIndex& index);

    // --- QAbstractItemModel ---------------------------------------------------------
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // --- TMVCView ---------------------------------------------------------------------
    void HookTree(TMVCTree& tree) override;
    void UnhookTree(TMVCTree& tree) override;
    void ClearRows(int topLevelRows) override;
    void ShowRowCheckState(TMVCNode& node) override;
    void BeginAddChildRow(TMVCNode& parent) override;
    void EndAddChildRow(TMVCNode& parent) override;
    void BeginRemoveChildRow(TMVCNode& parent, int index) override;
    void EndRemoveChildRow(TMVCNode& parent) override;
    void Refresh() override;

private:
    void ApplyLook();
    void OnClicked(const QModelIndex& index);

    QTreeView* view_;
    TMVCTree* tree_ = nullptr;
    int topLevelRows_ = 0;
    bool lookApplied_ = false;
};

} // namespace priv
