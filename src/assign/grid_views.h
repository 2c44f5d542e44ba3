// The look and the small behaviours the two check-box lists of the privilege
// assignment window share: the light-blue header band, rows of a fixed
// height that show their whole text in a tool-tip when it does not fit, and
// a tree view that tells whether a check change came from the mouse.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace priv {

// A header whose sections are drawn on the light-blue band of the desktop's
// lists, with a raised inner edge on their right and bottom sides.
class THeaderBand : public QHeaderView {
    Q_OBJECT
public:
    explicit THeaderBand(Qt::Orientation orientation, QWidget* parent = nullptr);

    static QColor BandColor() { return {228, 242, 255}; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

// Rows of a fixed height; a text that does not fit its cell shows whole in a
// plain tool-tip.
class TGridRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // `gridLines`: a thin line under every row and right of every cell.
    TGridRowDelegate(int rowHeight, QObject* parent, bool gridLines = false);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // A cell that holds a check box and no text keeps the box at the side
    // its alignment names (the toolkit would put it on the left).
    static QStyleOptionViewItem CheckOnlyCell(const QStyleOptionViewItem& option, const QModelIndex& index);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    int rowHeight_;
    bool gridLines_;
};

// A tree view that knows whether the check change it is handling came with a
// mouse click (the click that follows is then not a click of its own).
class TCheckTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TCheckTreeView(QWidget* parent = nullptr);

    bool HandlingMouseRelease() const { return mouseRelease_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool mouseRelease_ = false;
};

} // namespace priv
