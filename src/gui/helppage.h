#pragma once

#include <QString>

// The help page, help.html in the application directory, shown by the
// desktop's program for web pages.
namespace HelpPage
{

// Opens the page at the section of that id (the top without one). When it
// cannot, says why and returns false.
bool open(const QString& appDir, const QString& section = QString());

} // namespace HelpPage
