// Per-user folders (XDG) standing in for the Windows known folders, and a crash-safe file write.
#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Roaming application data: $XDG_CONFIG_HOME, else ~/.config ("." when no home folder is known).
std::filesystem::path configDir();
// Local application data: $XDG_CACHE_HOME, else ~/.cache.
std::filesystem::path cacheDir();
// Per-user state: $XDG_STATE_HOME, else ~/.local/state.
std::filesystem::path stateDir();
// Temporary folder: $TMPDIR, else /tmp.
std::filesystem::path tempDir();
// Creates the folder (and its parents) and makes sure it is this user's own: a real folder, not a symbolic
// link, owned by the user and open to no one else (mode 0700). False when another user owns it, so nothing
// is written where someone else could change or replace it (the temporary folder is shared).
bool makePrivateFolder(const std::filesystem::path& dir);
// Folder for support diagnostics: stateDir()/TERRAVOX, created with mode 0700 (failure ignored).
std::filesystem::path diagnosticsDir();

// Replaces the file's content so that a crash leaves either the old or the new file, never a mix:
// writes a temporary file in the same folder, flushes it to disk and renames it over the target.
// An existing target keeps its permission bits. False (target untouched) on any failure.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);
// The same with the content produced piece by piece: `produce` hands every piece to the sink it is given (which
// answers false once writing failed) and answers false to give up. For contents too large to hold at once.
using ByteSink = std::function<bool(std::string_view)>;
bool writeFileAtomically(const std::filesystem::path& target, const std::function<bool(const ByteSink&)>& produce);
// The same, creating a new file with the given permission bits (still narrowed by the umask), e.g. 0600
// for a file holding a secret.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, unsigned newFileMode);
// The same, with `error` set to "Nie mozna zapisac pliku: <target>" on failure.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, std::string& error,
                         unsigned newFileMode = 0666);

// ".tmp-<process>-<counter>-<random>": a name part no other writer in this or another process picks at the same
// moment, for temporary files in shared folders.
std::string uniqueSuffix();

// Removes the temporary files of atomic writes still in progress (for a process ending on a signal). Holds
// every such write back until the process has ended, so none can create its file afterwards.
void removePendingTemporaryFiles();

// Appends bytes to a file (created with mode 0600), refusing to follow a symbolic link. False on failure.
bool appendToFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace platform
