#include "LocaleScope.h"

#include "base/TextMatching.h"

LocaleScope::LocaleScope(LCID Locale) : FSaved(StartupLocale) { StartupLocale = Locale; }

LocaleScope::~LocaleScope() { StartupLocale = FSaved; }
