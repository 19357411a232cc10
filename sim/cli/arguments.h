// Checks for option values. CLI11 alone lets "nan" through a range, wraps "-1" into a huge
// unsigned number and calls a word "not in range".
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>

// A finite number from lowest to highest.
CLI::Validator numberIn(double lowest, double highest);
// A whole number from 0 to highest, without a sign.
CLI::Validator wholeNumberUpTo(std::uint64_t highest);
// "LO..HI": two whole numbers from -1000 to 1000, LO not above HI.
CLI::Validator rangeOfWholeNumbers();

// The file or folder exists; the text is UTF-8, whatever the system's code page.
CLI::Validator existingFile();
CLI::Validator existingFolder();
