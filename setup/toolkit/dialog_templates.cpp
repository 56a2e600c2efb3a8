// The texts of the setup dialogs, in the project's own words.
#include "dialog_templates.h"

namespace setup {
namespace {

constexpr DialogTemplate kTemplates[] = {
    {100, "Welcome",
     "Welcome to Pellam Setup.\n\n"
     "Setup installs the Pellam mail system on this machine: it copies the programs, "
     "writes the machine's mail parameters, installs and starts the Pellam service and "
     "adds Pellam to the Accessories menu.\n\n"
     "Choose Continue to go on, or Exit to leave Setup.",
     kButtonContinue | kButtonExit},
    {200, "Exit Setup",
     "Pellam is not completely installed yet. You can run Setup again later to install it.\n\n"
     "Choose Exit Setup to leave now, or Continue to return to Setup.",
     kButtonContinue | kButtonExit},
    {300, "Mail Directory",
     "Setup keeps the mail queue and the messages under construction in two directories, "
     "queue and temp, below the mail directory.\n\n"
     "Type the mail directory and choose Continue:",
     kButtonContinue | kButtonExit},
    {400, "Setup Failed",
     "Pellam has not been installed completely.\n\n"
     "What Setup did before the failure stays done. Correct the cause and run Setup again "
     "to finish the installation.",
     kButtonContinue},
    {500, "Program Directory",
     "Setup copies the Pellam programs into the program directory.\n\n"
     "Type the program directory and choose Continue:",
     kButtonContinue | kButtonExit},
    {600, "Create Directory",
     "The directory %EditTextOut% does not exist.\n\n"
     "Choose Continue to create it, or Back to type another directory.",
     kButtonContinue | kButtonBack},
    {700, "Setup Complete",
     "Pellam is installed, and the Pellam service is running.\n\n"
     "You find Pellam and its ReadMe among the Accessories of the applications menu.",
     kButtonContinue},
    {900, "Setup Help",
     "Setup asks for two directories. The program directory receives the Pellam programs "
     "and libraries. The mail directory holds the queue and temp directories through which "
     "all mail of this machine passes; what is in them is kept when Pellam is installed "
     "again.\n\n"
     "Type absolute paths. A directory that does not exist is created once you confirm it.",
     kButtonContinue},
    {5000, "Pellam Setup", "Setup is installing the Pellam service and its parameters...", 0},
    {5100, "Pellam Setup", "Setup is stopping the Pellam service that is installed...", 0},
    {5200, "Pellam Setup", "Setup is starting the Pellam service...", 0},
    {6400, "Invalid Directory",
     "The directory name is empty or not valid.\n\n"
     "Type an absolute path, such as /opt/pellam, without control characters and without "
     "the names . and ..",
     kButtonContinue},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

}  // namespace setup
