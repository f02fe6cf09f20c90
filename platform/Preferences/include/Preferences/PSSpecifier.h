// PSSpecifier: one row of a settings list, as the private Preferences framework models it.
//
// Mirrors: +preferenceSpecifierNamed:target:set:get:detail:cell:edit:, +emptyGroupSpecifier,
// -properties / -setProperties:, -propertyForKey: / -setProperty:forKey: /
// -removePropertyForKey:, -name / -setName:, -identifier, -target / -setTarget:, -cellType /
// -setCellType:, -performGetter, -performSetterWithValue:.
//
// Faithful: a row's attributes live in its `properties` dictionary by string key (an absent key
// gives nil); the row's value is not kept in the row but read and written through its getter
// and setter on its target (readPreferenceValue: and setPreferenceValue:specifier: on the list
// controller, for rows loaded from a row list); the target is not retained. `identifier` is the
// `id` attribute, else the name. Simplified: detail and edit classes are kept, never used.
#pragma once

#include <Foundation/Foundation.h>

#include <string>
#include <string_view>

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

// Registers PSSpecifier (idempotent; done when this library loads).
void registerSpecifierClass();

}  // namespace preferences
