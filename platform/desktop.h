// What the dialogs need from the desktop: message boxes, running a dialog
// modally, opening a document, starting a program. Tests replace the answers
// through the hooks, so no box ever waits for a person there.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QDialog;
class QTranslator;
class QWidget;

namespace zantor::platform {

// Message box flags and answers, with their classic values.
enum : unsigned {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,  // No, not Yes, is the default answer
};

// The executable's file name without its extension: every box's caption.
QString AppCaption();

// Shows a box and returns IDOK, IDYES or IDNO. A box that asks for no icon
// gets the exclamation icon.
int MessageBox(QWidget* owner, const QString& text, unsigned flags);

// Makes the toolkit's own texts (file and print dialogs, standard buttons)
// Chinese like the rest, whatever the locale. Returns the translator it
// installed, owned by the application; nullptr when the translations are not
// installed.
QTranslator* LoadToolkitTranslations();

// Runs a dialog modally and returns the id of the command that ended it.
int RunModal(QDialog& dialog);

// Hooks for tests. A message-box hook sees every box and answers it; a modal
// hook may answer a dialog (return a value) or let it run (nullopt).
using MessageBoxHook = std::function<int(const QString& text, unsigned flags)>;
using ModalHook = std::function<std::optional<int>(QDialog& dialog)>;
void SetMessageBoxHook(MessageBoxHook hook);
void SetModalHook(ModalHook hook);

}  // namespace zantor::platform
