// The subcommands of plinka-sim. Each takes the arguments after its own name and returns the
// process's exit status: 0 done, 1 failed while running, 2 bad arguments or input. Each has a
// help text: what `plinka-sim help COMMAND` and `plinka-sim COMMAND --help` print.
#pragma once

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

int springboardCommand(const Arguments& args);  // sim/springboard
int deviceCommand(const Arguments& args);       // sim/device
int colorCommand(const Arguments& args);        // sim/color
int settingsCommand(const Arguments& args);     // sim/settings

int soundsCommand(const Arguments& args);  // sim/sounds
int studioCommand(const Arguments& args);  // sim/studio
// Hidden: a host of the studio, reading one line at a time (sim/studio/line_host.cpp).
int studioHostCommand(const Arguments& args);

std::string springboardHelp();
std::string deviceHelp();
std::string colorHelp();
std::string settingsHelp();
std::string soundsHelp();
std::string studioHelp();
