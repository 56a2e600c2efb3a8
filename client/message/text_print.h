// Printing a message window's text: the print dialog, the print preview, and the
// printing itself in the editor's font, with long lines wrapped at the page edge so
// that nothing of the message is cut off on paper.
#pragma once

#include <string>

class QPlainTextEdit;
class QPrinter;

namespace pelldesk {

void PrintEditorText(const QPlainTextEdit& editor, QPrinter* printer);

// On the application's printer, under `title` as the job's name.
void ShowPrintDialog(const QPlainTextEdit& editor, const std::string& title);
void ShowPrintPreview(const QPlainTextEdit& editor, const std::string& title);

}  // namespace pelldesk
