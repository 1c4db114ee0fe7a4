#pragma once
// The recent texts of the find and replace boxes: how a text used by Search or
// Apply joins its list, and how a text is shown as an item of the drop-down list.
#include <string>
#include <string_view>
#include <vector>

// Text goes to the front; an equal text already listed moves there instead of
// being listed twice, and the oldest beyond TextHistoryLength drops out. An
// empty text is not remembered.
void RememberText(std::vector<std::wstring>& History, std::wstring_view Text);
// One line for the list: line breaks shown as " ¶ ", tabs as blanks, "&" kept
// as a character, and a long text cut after 60 characters with "...".
std::wstring HistoryCaption(std::wstring_view Text);
