#pragma once

#include <string_view>

// Whether a long-name record belongs to the header record beside it. The board's own tools sort,
// pack and kill entries without knowing the long-name file, so after such a run a record may sit
// beside another entry; it is only used when it fits the entry's 8.3 name.
namespace qv::longname {

// The 8.3 name is the long name in upper case, or the alias a DOS-era system makes of it: the part
// before '~' starts the long name's legal characters (without its last extension) in upper case,
// followed by digits, and the extension starts its last extension. Blanks around either name do
// not count; an empty long name belongs to nothing.
bool belongsTo(std::string_view shortName, std::string_view longName);

// shortName is an alias BASIS~N.EXT of longName as above.
bool isAliasOf(std::string_view shortName, std::string_view longName);

// The same for names already trimmed (the loader's loop over every record).
bool belongsToTrimmed(std::string_view shortName, std::string_view longName);
bool isAliasOfTrimmed(std::string_view shortName, std::string_view longName);

} // namespace qv::longname
