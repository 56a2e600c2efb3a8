// Printing and print preview.
#include "message/text_print.h"

#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QTextOption>

#include <memory>

#include "framework/application.h"
#include "framework/text.h"

namespace pelldesk {

void PrintEditorText(const QPlainTextEdit& editor, QPrinter* printer) {
  // A copy laid out for the page: the editor itself does not wrap.
  std::unique_ptr<QTextDocument> copy(editor.document()->clone());
  copy->setDefaultFont(editor.font());
  QTextOption option = copy->defaultTextOption();
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  copy->setDefaultTextOption(option);
  copy->print(printer);
}

void ShowPrintDialog(const QPlainTextEdit& editor, const std::string& title) {
  QPrinter& printer = fw::Application::Instance()->printer();
  printer.setDocName(fw::ToQt(title));
  QPrintDialog dialog(&printer, editor.window());
  if (dialog.exec() == QDialog::Accepted) PrintEditorText(editor, &printer);
}

void ShowPrintPreview(const QPlainTextEdit& editor, const std::string& title) {
  QPrinter& printer = fw::Application::Instance()->printer();
  printer.setDocName(fw::ToQt(title));
  QPrintPreviewDialog preview(&printer, editor.window());
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                   [&editor](QPrinter* target) { PrintEditorText(editor, target); });
  preview.exec();
}

}  // namespace pelldesk
