// Text helpers for journal lines and control command arguments.
#pragma once

#include <string>
#include <string_view>

namespace recorder {

// Journal form of a string: backslash as \\, double quote as \", CR as \r,
// LF as \n, TAB as \t, every other byte below 0x20 or from 0x7F up as \xHH.
std::string Escape(std::string_view text);

// The escaped text in double quotes.
std::string Quote(std::string_view text);

// As Quote, but the bare word null for a null pointer.
std::string QuoteNullable(const char* text);

// Decodes \r \n \t \\ \" and \xHH (two hex digits); any other backslash is
// kept as it stands.
std::string Unescape(std::string_view text);

// printf into a string of the exact length needed, so nothing is ever cut.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// ASCII comparison ignoring case.
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace recorder
