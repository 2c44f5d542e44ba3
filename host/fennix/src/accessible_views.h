// The accessible interfaces the host framework gives the application's item
// views (trees and lists) and drop-down boxes, beyond what Qt 6.4 offers a
// screen reader and desktop automation over the accessibility bus:
//
// - an item view reports each row's state from the item's flags: an item
//   without Qt::ItemIsEnabled reads as disabled (Qt 6.4's own item
//   interfaces never report that state); the cells of a tree whose rows open
//   tell their level, and a row with a branch offers to open or close it;
// - a drop-down box is named after its label (Qt 6.4 names it by its current
//   entry on Linux and leaves the label to a relation that readers rarely
//   follow) and offers its chosen entry as its text.
//
// Installed into the application by accessibility.cpp.
#pragma once

#include <QAccessible>

class QAbstractItemView;
class QComboBox;

namespace fennix::detail {

// A tree or list view: `role` is QAccessible::Tree or QAccessible::List.
QAccessibleInterface* NewAccessibleItemView(QAbstractItemView* view, QAccessible::Role role);

QAccessibleInterface* NewAccessibleComboBox(QComboBox* combo);

} // namespace fennix::detail
