// The private Preferences framework of the Settings application, as the settings pane uses it.
#pragma once

#include <Preferences/PSCells.h>
#include <Preferences/PSListController.h>
#include <Preferences/PSSpecifier.h>
#include <Preferences/PSTableCell.h>
