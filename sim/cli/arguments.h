// Checks for option values. CLI11 alone lets "nan" through a range, wraps "-1" into a huge
// unsigned number and calls a word "not in range".
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>

namespace sim {

// A finite number from lowest to highest.
CLI::Validator numberIn(double lowest, double highest);
// A whole number from 0 to highest, without a sign.
CLI::Validator wholeNumberUpTo(std::uint64_t highest);
// "LO..HI": two whole numbers of frames per second that a threshold can usefully be, LO not
// above HI.
CLI::Validator rangeOfThresholds();

// The file or folder exists; the text is UTF-8, whatever the system's code page.
CLI::Validator existingFile();
CLI::Validator existingFolder();
// An existing regular file: a settings file is read twice (the check, the plug-in's reader).
CLI::Validator settingsFile();
// A name a file can have on every system the tool runs on: not empty, not a name Windows keeps for
// a device (CON, PRN, AUX, NUL, COM1, LPT1 and the like, with any extension).
CLI::Validator outputFile();

} // namespace sim
