// What the windows offer a screen reader and desktop automation over the
// accessibility bus, beyond what each form sets itself (label buddies,
// accessible names of controls without a label):
//
// - Every named control publishes its object name, the name the forms and
//   the tests use. Qt 6.4's accessibility interface has no identifier text
//   (QAccessible::Text stops at DebugDescription, and its AT-SPI bridge does
//   not fill the AccessibleId property), so the name goes into the accessible
//   description, where the bridge reads it.
// - Item views (trees and lists) report each row's state from the item's
//   flags: an item without Qt::ItemIsEnabled reads as disabled (Qt 6.4's own
//   item interfaces never report that state).
// - A combo box is named after its label; Qt 6.4 names it by its current
//   entry on Linux and leaves the label to a relation that readers rarely
//   follow.
#pragma once

class QWidget;

namespace priv {

// Installs the accessible interfaces for item views and combo boxes, once
// per application (whether the host or the module comes first).
// The installer also publishes every control (below) as it is polished.
void InstallAccessibility();
// Takes back what InstallAccessibility installed from this copy of the code,
// before the code that carries it is unloaded.
void UninstallAccessibility();

// Publishes the object name of `window` and of every control in it as its
// accessible description (where the control has none of its own), and names
// buttons that show only an icon after their hint and the editor inside an
// editable combo box after the combo box. Runs again without harm.
void PublishAccessibility(QWidget* window);

} // namespace priv
