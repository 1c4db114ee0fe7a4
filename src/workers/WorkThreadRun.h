#pragma once
// The walk that the search and apply workers share: the filters split on "; ",
// each filter announced before its files are collected under the folder and
// sorted, then each file handed over with its progress value (0 for the first,
// 100 for the last). The terminate request is looked at after each file, once
// that file has been handled, and after each filter.
#include <cstdint>
#include <functional>
#include <string>

void WalkRunFiles(const std::wstring& Folder, const std::wstring& Filters, bool Recursive,
                  const std::function<void(const std::wstring& Filter)>& OnFilter,
                  const std::function<void(const std::wstring& File, std::int32_t ProgressValue)>& OnFile,
                  const std::function<bool()>& Terminated);
