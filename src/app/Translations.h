#pragma once

#include <QLocale>

// Qt's own translations (standard dialogs, context menus) and kiv's window texts
// for locale, from Qt's translation directory and kiv's resources. --help,
// diagnostics and --check stay English: tools read them.
void loadTranslations(const QLocale &locale = QLocale());
