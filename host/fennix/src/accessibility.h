// What the application's windows offer a screen reader and desktop
// automation over the accessibility bus, beyond what each form sets itself
// (label buddies, accessible names of controls without a label). It belongs
// to the application, not to a window, so the host framework installs it
// into the host's application, once, when the host opens the framework; the
// module's windows and the host's own get it alike.
//
// - Every named control publishes its object name, the name the forms and
//   the tests use. Qt 6.4's accessibility interface has no identifier text
//   (QAccessible::Text stops at DebugDescription, and its AT-SPI bridge does
//   not fill the AccessibleId property), so the name goes into the accessible
//   description, where the bridge reads it. A Qt that has
//   QAccessible::Identifier also hears it there from the item views and
//   drop-down boxes.
// - Item views and drop-down boxes get the interfaces of accessible_views.h.
#pragma once

namespace fennix::detail {

// Installs the interfaces and the publishing of controls into the running
// QApplication, once per application; does nothing without one. The
// interfaces mirror how the Qt series that the framework was built with lays
// out its own item views, so under another series they are left out (and
// the host's log says so): Qt's own interfaces then answer.
void InstallAccessibility();

} // namespace fennix::detail
