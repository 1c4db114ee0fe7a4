#pragma once
// The unified diff of --diff: a file as Apply would write it, in the form git
// writes and takes.
#include "cli/CliLines.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The unified diff of one file as git writes it ("--- a/REL", "+++ b/REL", hunks
// with Context lines around each change), its lines as UTF-8 with their own line
// ends. Lines end at LF only, as git counts them. Utf8Mark puts the mark back at
// the start of the first line, where a tool reading the file's bytes sees it.
// Written in pieces as Feed hands the blocks over; nothing when there is no
// change. False when Feed could not read the file.
bool WriteUnifiedDiff(std::wstring_view RelativePath, bool Utf8Mark, const TBlockFeed& Feed, std::int64_t Context,
                      const std::function<void(std::string_view)>& Write);

// Path below Folder with forward slashes (Path itself with them when it is not below it).
std::wstring RelativeForwardPath(std::wstring_view Folder, std::wstring_view Path);
