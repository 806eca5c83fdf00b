#pragma once
// The help layer: the program needs two requests of a help viewer, show the
// contents of its help file and close. Here the desktop's viewer opens the
// file; when the file is nowhere to be found, a message says so.
#include <QString>
#include <QWidget>
#include <functional>

namespace dw::ui {

inline constexpr const char* kHelpFileName = "VEDADORIVO.HLP";

void SetHelpFileName(const QString& name);
const QString& HelpFileName();

// The help file next to the program or in the current folder; empty when it
// is in neither.
QString FindHelpFile();

// Opens the contents of the help file. The opener is the desktop's by
// default; tests replace it.
void ShowHelpContents();
void SetHelpOpener(std::function<bool(const QString& path)> opener);

// At exit: the viewer is the desktop's own program, so there is nothing of
// ours left to close; the request is kept for the ending's order.
void QuitHelp();

}  // namespace dw::ui
