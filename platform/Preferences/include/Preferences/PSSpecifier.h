// PSSpecifier: one row of a settings list, as the private Preferences framework models it.
//
// Mirrors: +preferenceSpecifierNamed:target:set:get:detail:cell:edit:, +emptyGroupSpecifier,
// -properties / -setProperties:, -propertyForKey: / -setProperty:forKey: /
// -removePropertyForKey:, -name / -setName:, -identifier, -target / -setTarget:, -cellType /
// -setCellType:, -detailControllerClass / -setDetailControllerClass:, -performGetter,
// -performSetterWithValue:.
//
// Faithful: a row's attributes live in its `properties` dictionary by string key (an absent key
// gives nil); the row's value is not kept in the row but read and written through its getter
// and setter on its target (readPreferenceValue: and setPreferenceValue:specifier: on the list
// controller, for rows loaded from a row list); the target is not retained. `identifier` is the
// `id` attribute, else the name. The detail class is the controller a tap on the row pushes
// (PSListController.h); the edit class is kept, never used.
#pragma once

#include <Foundation/Foundation.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef NSInteger PSCellType;
constexpr PSCellType PSGroupCell = 0;
constexpr PSCellType PSLinkCell = 1;
constexpr PSCellType PSLinkListCell = 2;
constexpr PSCellType PSListItemCell = 3;
constexpr PSCellType PSTitleValueCell = 4;
constexpr PSCellType PSSliderCell = 5;
constexpr PSCellType PSSwitchCell = 6;
constexpr PSCellType PSStaticTextCell = 7;
constexpr PSCellType PSEditTextCell = 8;
constexpr PSCellType PSSegmentCell = 9;
constexpr PSCellType PSGiantIconCell = 10;
constexpr PSCellType PSGiantCell = 11;
constexpr PSCellType PSSecureEditTextCell = 12;
constexpr PSCellType PSButtonCell = 13;
constexpr PSCellType PSEditTextViewCell = 14;
constexpr PSCellType PSSpinnerCell = 15;
constexpr PSCellType PSUnknownCell = -1;

namespace preferences {

// The cell type a row list names ("PSSwitchCell" is 6); PSUnknownCell for any other name.
PSCellType cellTypeNamed(std::string_view name);
// The name of a cell type; "" when it has none.
std::string cellTypeName(PSCellType type);

// How a row appears in the journal and to the user: its label (name), else its `key`
// attribute, else its `id` attribute; null when it has none of them.
nlohmann::ordered_json rowName(id specifier);

// The values a list or segment row offers, in order, each with its title, as the framework reads
// them: the row's `validValues` and `validTitles`, or the arrays that the row's target answers to
// the selectors its `valuesDataSource` and `titlesDataSource` name (each sent with the row; a
// data source takes the place of the fixed array). A value without a title is titled by its
// description; titles beyond the last value are left out (`extraTitles` counts them). Raises
// NSInvalidArgumentException when the target does not answer a data-source selector, as the
// device does; a data source that answers no array offers nothing.
struct RowChoice {
  ns::Ref value;
  std::string title;
};
std::vector<RowChoice> rowChoices(id specifier, size_t* extraTitles = nullptr);

// The title of the choice whose value is equal (isEqual:) to `value`; none when no choice is.
std::optional<std::string> titleOfValue(id specifier, id value);

// Registers PSSpecifier (idempotent; done when this library loads).
void registerSpecifierClass();

}  // namespace preferences
