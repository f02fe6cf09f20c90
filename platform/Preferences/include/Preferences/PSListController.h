// PSListController: the view controller that shows a settings list, as the private Preferences
// framework provides it, and the host's side of the settings screen.
//
// Mirrors: -specifiers / -setSpecifiers: (the rows shown, in order), -specifier / -setSpecifier:,
// -bundle,
// -loadSpecifiersFromPlistName:target:, -readPreferenceValue:, -setPreferenceValue:specifier:,
// -reloadSpecifier:animated: / -reloadSpecifier:, -insertContiguousSpecifiers:afterSpecifier:
// animated:, -removeContiguousSpecifiers:animated:, -indexOfSpecifier:, -containsSpecifier:,
// -specifierForID:, -table, -cachedCellForSpecifier:; presentViewController:animated:completion:
// comes from UIViewController.
//
// Faithful:
// - readPreferenceValue: needs both the row's `defaults` (a user-defaults domain) and `key`
//   (else nil); it answers the value stored under the key in that domain, else the row's
//   `default`; with `negate` set it answers the inverse boolean.
// - setPreferenceValue:specifier: stores the value under `key` in domain `defaults` (a plist
//   file under /var/mobile/Library/Preferences/ of the device; nil removes the key; a `negate`
//   row stores the inverse boolean, so that it reads back as given), then posts the row's
//   `PostNotification` with notify_post.
// - insertContiguousSpecifiers:afterSpecifier:animated: shows the rows directly after the anchor,
//   in order; an anchor that is not shown changes nothing. removeContiguousSpecifiers:animated:
//   takes the shown rows off; rows not shown are ignored. reloadSpecifier: of a row not shown
//   does nothing.
// - Values read are kept per domain, as the platform's preferences daemon keeps them for the
//   process: a domain is read again after anything in the process stores into it (through the
//   framework or NSUserDefaults), and after forgetStoredValues(), which the host entry points
//   below call; a file changed on disk in between is not seen before that, as on the device.
// - Cells: each shown row but a group row has a cell of the class its `cellClass` attribute
//   names, else of the framework's class for its type (PSCells.h: PSSwitchTableCell,
//   PSSegmentTableCell, PSSliderTableCell, PSEditableTableCell, PSTableCell for the others and
//   for a `cell` that names no type), made the first time the row is shown with
//   initWithStyle:reuseIdentifier:specifier: and style 0 (whatever the row), added to the
//   controller's table, then refreshed with refreshCellContentsWithSpecifier:. A cell serves its
//   one row while the controller lives, never another: a product cell may make itself its row's
//   target or copy the row's attributes when it is made. A row that is hidden takes its cell out
//   of the table; shown again, the same cell comes back and is refreshed; reloading a row
//   refreshes its cell. A tap selects the row's cell (setSelected:YES animated:YES), sends the
//   row's `action` to the row's target with the row (a target that does not answer it raises
//   NSInvalidArgumentException, as on the device), or, for a row without an action, pushes its
//   detail controller (below), then deselects the cell (setSelected:NO animated:YES).
// - Pages: a row's detail controller (its `detail` attribute, looked up when the list is read;
//   PSListItemsController for a PSLinkListCell row without one) is made with alloc/init, given
//   the row (-setSpecifier:) and the controller as its parent (-setParentController:), and
//   pushed (-pushController:animate:): its table takes the place of its parent's in the window,
//   and its rows (its -specifiers) get their cells. A PSListItemsController page shows a group,
//   then one PSListItemCell row per choice of its row (PSSpecifier.h rowChoices), titled by the
//   choice, the cell of the row's current value checked (setChecked:). Tapping a choice stores its
//   value through the row's setter (on the parent: the "store" entry below) and moves the check.
//   A controller class with no rows shows an empty page.
// - The rows shown are the instance variable `_specifiers` (an owned NSMutableArray, nil until
//   -specifiers first makes an empty one or -setSpecifiers: sets a mutable copy), which a
//   subclass's -specifiers reads and fills, as panes do on the device:
//   `if (!_specifiers) _specifiers = [[self loadSpecifiersFromPlistName:@"Root" target:self]
//   retain];`.
// - -specifier / -setSpecifier: the row that opened the controller (retained). -bundle answers
//   the NSBundle in that row's `pl_bundle` property, where the settings loader of a jailbroken
//   device puts the pane's bundle; nil without one.
// - -loadSpecifiersFromPlistName:target: reads NAME.plist (".plist" is added to a name without
//   it) from the controller's -bundle; without a bundle, NAME is a host path.
// Simplified: nothing is drawn; a row that is already shown is not inserted a second time; the
// row list's title is not made the controller's title.
//
// Journal: every call a controller makes to change what is stored or shown:
//   "store"  {row, key, value}   setPreferenceValue:specifier:
//   "insert" {after, rows, animated}  insertContiguousSpecifiers:afterSpecifier:animated:
//   "remove" {rows, animated}         removeContiguousSpecifiers:animated:
//   "reload" {row, animated}          reloadSpecifier:animated:, reloadSpecifier: (not animated)
//   "cell"   {row, class, style}  a cell made for a row (style as passed to the initialiser)
//   "unknown-cell-class" {row, class, reason}  a `cellClass` that gives no cell class
//   "unknown-cell-type" {row, cell, reason}    a `cell` that names no cell type (or none)
//   "push" {controller, title, from, animated} a page pushed; "pop" {controller, title, animated}
//   "push-refused" {row, class, reason}        a `detail` that gives no list controller
// with rows named as preferences::rowName names them, recorded as asked (before the framework
// ignores what is not shown). Reads are not journaled.
#pragma once

#include <Preferences/PSSpecifier.h>
#include <UIKit/UIViewController.h>

#include <string>
#include <vector>

namespace preferences {

// Reads a row list: an XML, binary or old-style property list whose root dictionary has an
// `items` array of row dictionaries. Each row becomes a PSSpecifier whose properties are the
// row's dictionary, whose name is its `label`, whose cell type is named by `cell`, and whose
// target is `target` with readPreferenceValue: / setPreferenceValue:specifier: as getter and
// setter. Answers an autoreleased NSMutableArray, or nil with a message in `error` when the file
// is missing, is not a property list or does not have that shape. `title` gets the list's
// `title` when asked.
id loadRowList(const std::string& hostPath, id target, std::string* error,
               std::string* title = nullptr);

// Shows a freshly built full list of rows (an NSMutableArray) in `controller`, as the Settings
// application does when it opens a pane: the list passes through the controller's
// applyModificationsToSpecifiers: (when it answers it), then becomes its shown rows.
void showRows(id controller, id rows);

// Loads a row list for `controller` (as its target) and shows it with showRows. False with a
// message in `error` when the file cannot be read; nothing is shown then.
bool showRowList(id controller, const std::string& hostPath, std::string* error);

// The user changes a shown row's value, as its cell would: a switch already showing the value
// (read as a boolean) sends nothing; a slider sends the value it can stand at (PSCells.h
// sliderValueFor); any other change calls the row's setter on its target, after which the row's
// cell shows the value stored. False when the row is not shown.
bool userChangesValue(id controller, id specifier, id value);

// Drops the values read so far, so that the next read of each domain reads its file: the host
// calls it where the device would have heard of changes made by other processes.
void forgetStoredValues();

// Makes the cells of the shown rows that have none yet and puts the shown rows' cells in the
// controller's table, in order; cells of rows no longer shown leave it. The host calls it when
// the list changes, as the table view would redraw; the table (-table) is the host's to put in
// a window.
void layOutCells(id controller);

// The cell of a row; nil for a row that has none (yet).
id cellForRow(id controller, id specifier);

// The user taps a shown row, as described above. False when the row is not shown. A row
// without an action whose detail names no list controller pushes nothing and sets `problem`.
bool userTapsRow(id controller, id specifier, std::string* problem = nullptr);

// The page on top of the pages pushed over `root` (root itself when none is).
id topController(id root);
// `root`, then the pages pushed over it, bottom to top.
std::vector<id> navigationStack(id root);
// A pushed page's title: the name of the row it was pushed for; "" for a page pushed for none.
std::string pageTitle(id controller);
// The user taps the back button: the top page is popped and the page below shows again, its
// row for the popped page refreshed. False when nothing is pushed over `root`.
bool userGoesBack(id root);

// Registers PSListItemsController and the navigation methods of PSListController (idempotent;
// done when this library loads).
void registerListItemsControllerClass();

// Whether `specifier` is among the rows `controller` shows.
bool isShown(id controller, id specifier);

// Registers PSListController (idempotent; done when this library loads).
void registerListControllerClass();

}  // namespace preferences
