// The tables of docs/protocol.md, written from the registry of request codes and the panels'
// field tables: the list of every code, each command's argument columns, each reply's fields.
// The document marks where each table goes; everything outside the marks is prose, kept as it
// is. The output depends on nothing but the tables (no time, no order of a hash), so a committed
// reference is checked by comparing it with its regeneration.
#pragma once

#include <string>
#include <string_view>

namespace tavelor::reference {

// A generated part starts with a line "<!-- generated: WHAT -->" and ends with the line
// kGeneratedEnd. WHAT is "codes", "arguments CODE" (a command) or "fields CODE" (a reply).
inline constexpr std::string_view kGeneratedStart = "<!-- generated: ";
inline constexpr std::string_view kGeneratedEnd = "<!-- end of generated -->";

// The markdown of one part, without its marks; "" when WHAT names nothing.
std::string GeneratedPart(std::string_view what);

struct Regenerated {
  std::string document;  // the document with every part written anew
  std::string problem;   // "" when every part was known and every code has its parts
};
Regenerated Regenerate(std::string_view document);

}  // namespace tavelor::reference
