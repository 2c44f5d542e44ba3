#include "assign/grid_views.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace priv {

THeaderBand::THeaderBand(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent)
{
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHighlightSections(false);
    // The band also fills the header beyond the last column.
    QPalette band = palette();
    band.setColor(QPalette::Window, BandColor());
    band.setColor(QPalette::Button, BandColor());
    setPalette(band);
    setAutoFillBackground(true);
}

void THeaderBand::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    painter->save();
    painter->fillRect(rect, BandColor());
    // Raised inner edge, right and bottom sides only: the shadow colour.
    painter->setPen(QColor(160, 160, 160));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    const QVariant text =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole) : QVariant();
    QVariant alignment =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole) : QVariant();
    const Qt::Alignment align = alignment.isValid() ? Qt::Alignment(alignment.toInt())
                                                    : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter);
    painter->setPen(Qt::black);
    painter->setFont(font());
    painter->drawText(rect.adjusted(4, 0, -4, 0), int(align | Qt::AlignVCenter), text.toString());
    painter->restore();
}

TGridRowDelegate::TGridRowDelegate(int rowHeight, QObject* parent, bool gridLines)
    : QStyledItemDelegate(parent), rowHeight_(rowHeight), gridLines_(gridLines)
{
}

QStyleOptionViewItem TGridRowDelegate::CheckOnlyCell(const QStyleOptionViewItem& option,
                                                     const QModelIndex& index)
{
    QStyleOptionViewItem cell = option;
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    if (!index.data(Qt::CheckStateRole).isValid() || !index.data(Qt::DisplayRole).toString().isEmpty() ||
        !alignment.isValid() || !(alignment.toInt() & Qt::AlignRight))
        return cell;
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : nullptr;
    if (!style)
        return cell;
    const int box = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const int width = box + 2 * margin;
    if (cell.rect.width() > width)
        cell.rect.setLeft(cell.rect.right() - width + 1);
    return cell;
}

bool TGridRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                   const QStyleOptionViewItem& option, const QModelIndex& index)
{
    return QStyledItemDelegate::editorEvent(event, model, CheckOnlyCell(option, index), index);
}

void TGridRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QStyleOptionViewItem cell = CheckOnlyCell(option, index);
    if (cell.rect != option.rect && (option.state & QStyle::State_Selected)) {
        // The selection still covers the whole cell.
        const QPalette::ColorGroup group =
            option.widget && !option.widget->isEnabled() ? QPalette::Disabled : QPalette::Active;
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    }
    QStyledItemDelegate::paint(painter, cell, index);
    if (!gridLines_)
        return;
    painter->save();
    painter->setPen(QColor(215, 215, 215));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}

QSize TGridRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(rowHeight_);
    return size;
}

bool TGridRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QRect textRect = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
    if (!text.isEmpty() && item.fontMetrics.horizontalAdvance(text) > textRect.width())
        QToolTip::showText(event->globalPos(), text, view);
    else
        QToolTip::hideText();
    return true;
}

TCheckTreeView::TCheckTreeView(QWidget* parent) : QTreeView(parent) {}

void TCheckTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    mouseRelease_ = true;
    try {
        QTreeView::mouseReleaseEvent(event);
    } catch (...) {
        mouseRelease_ = false;
        throw;
    }
    mouseRelease_ = false;
}

} // namespace priv
