// Lines typed into the console: a byte that no key of the console's keyboard
// can type never reaches it. A line holding one is left out whole, with a
// message that names where it was, as the console leaves out a line it
// cannot take.
#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t ALL_TYPEABLE = std::string::npos;

// The position of the first byte of line that no key types, or that starts a
// UTF-8 character of several bytes, or ALL_TYPEABLE. The line's own end (a
// line feed or carriage return) counts as ENTER.
std::size_t first_untypeable(const std::string& line);

// Reports on standard error that line number `number` of `where` (a file
// name, or "standard input") is left out for the byte at position column.
void report_left_out(const char* where, long number, const std::string& line, std::size_t column);

// The console's input line is four screen rows of 28 columns. Keys typed past
// its end all land on its last character, so a longer line goes in cut.
constexpr std::size_t INPUT_LINE_LENGTH = 112;

// Whether line, without its line end, is longer than the input line holds.
bool too_long_to_type(const std::string& line);

// Reports on standard error that line number `number` of `where` goes in cut
// after `kept` characters, the length of the input field it is typed into.
void report_cut(const char* where, long number, std::size_t kept);
