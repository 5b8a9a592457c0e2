#pragma once

#include <QString>

class QPrinter;

// The printer chosen for each template, kept in config.ini (section
// "Printer", one key per template): a CUPS queue, or PDF with its last file.
class PrinterChoice
{
public:
    static void remember(const QString& appDir, const QString& model, const QPrinter* printer);

    // Chooses the template's remembered printer again. A queue that no
    // longer exists gives way to the system's default queue; the returned
    // text says so (empty when nothing had to change course).
    static QString restore(const QString& appDir, const QString& model, QPrinter* printer);

    // What is stored for a template: "queue:NAME", "pdf:FILE" or empty.
    static QString stored(const QString& appDir, const QString& model);
};
