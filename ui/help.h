#pragma once
// The program's help: HTML pages installed with it, shown in the program's
// own help window. The help button opens the contents page; F1 opens the
// entry of the control that has the focus. When the pages are nowhere to be
// found, a message says where they were expected.
#include <QString>
#include <QStringList>
#include <QWidget>

namespace dw::ui {

// The contents page; the help file name set at start-up.
inline constexpr const char* kHelpContentsPage = "index.html";

void SetHelpFileName(const QString& name);
const QString& HelpFileName();

// The folders searched for the pages, in order: <prefix>/share/doc/driftwise/html
// of the program's own installation (or build tree), then doc/driftwise/html
// under the desktop's data folders ($XDG_DATA_HOME, $XDG_DATA_DIRS).
QStringList HelpSearchPath();
// Replaces the folders searched (tests); an empty list restores them.
void SetHelpSearchPath(const QStringList& folders);
// The first folder of the search path that holds the help file, empty when none does.
QString FindHelpFolder();

// Shows the contents page in the help window.
void ShowHelpContents();
// Shows a page of the help, "page.html" or "page.html#entry"; empty: contents.
void ShowHelpTopic(const QString& topic);

// The entry F1 opens for a control: its own, else its nearest parent's.
void SetHelpTopic(QWidget* control, const QString& topic);
QString HelpTopicOf(const QWidget* control);

// The help window while it is open, else null.
QWidget* HelpWindow();

// At exit: closes the help window.
void QuitHelp();

}  // namespace dw::ui
