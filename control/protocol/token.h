// The console's token: the file in the user's home that the host checks a client's "auth" against and the
// client reads its token from.
#pragma once

#include <optional>
#include <string>

namespace pndconsole::protocol {

/// The largest token file read, in bytes.
inline constexpr std::size_t kTokenFileLimit = 4096;

/// The environment variable that names another token file, for one application and the clients that
/// launched it (`pndhal run --launch`), so that parallel runs never share a token.
inline constexpr const char* kTokenFileVariable = "PNDSIM_CONSOLE_TOKEN_FILE";

/// The token file's path: the file PNDSIM_CONSOLE_TOKEN_FILE names, else ~/.pndsim_console_token (HOME,
/// else the user's entry in the password database); empty when the user has no home folder.
std::string TokenPath();

/// The token in `path`, trimmed: read without blocking or following a link, from a regular file of at most
/// kTokenFileLimit bytes, so that a FIFO or a link put in its place can neither hang the reader nor lead it
/// to another file. nullopt with *error set otherwise. `private_only` also refuses a non-empty token in a
/// file that other users may read or that another user owns.
std::optional<std::string> ReadTokenFile(const std::string& path, bool private_only, std::string* error);

/// The host's token: the token file, created readable by the user alone with a fresh random token when it
/// is missing, and read with `private_only`. An empty text means no authentication (an empty file).
std::optional<std::string> HostToken(std::string* error);

/// Compares a given token with the expected one in a time that does not depend on where they differ; never
/// true for an empty expected token.
bool TokensMatch(std::string_view given, std::string_view expected);

}  // namespace pndconsole::protocol
