#include "ui/application.h"

#include <QStyleFactory>
#include <exception>

#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/messages.h"
#include "ui/help.h"
#include "ui/locale.h"
#include "ui/mainwindow.h"
#include "ui/messages.h"

namespace dw::ui {

int THintStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
  if (hint == SH_ToolTip_WakeUpDelay) return kHintPause;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

// Every handler starts in the process float mode, and every event leaves it
// so. A dialog's or plugin's code runs inside the events of its nested loop,
// so the code after exec() returns finds the mode restored too, without a
// call of its own at each dialog.
bool TApplication::notify(QObject* receiver, QEvent* event) {
  EstablishFloatErrorMode();
  struct RestoreAfter {
    ~RestoreAfter() { EstablishFloatErrorMode(); }
  } restoreAfter;
  try {
    return QApplication::notify(receiver, event);
  } catch (const RuntimeError& error) {
    ShowErrorBox(error.Message());
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  }
  return true;
}

void InitialiseApplication(QApplication& app, const char* programPath) {
  EstablishFloatErrorMode();
  SetNumberMarks(NumberMarksFromLocale(QLocale::system()));
  SetApplicationTitle(QString::fromStdString(ApplicationTitle(programPath ? programPath : "")));
  app.setStyle(new THintStyle);
  SetHelpFileName(kHelpContentsPage);
}

int RunWindowProgram(int argc, char** argv) {
  TApplication app(argc, argv);
  // Ties the window to the installed menu entry (its icon and name on the
  // desktop's task bar).
  QGuiApplication::setDesktopFileName("driftwise");
  InitialiseApplication(app, argc > 0 ? argv[0] : "");
  {
    TTestneutre window;
    window.show();
    app.exec();
  }
  QuitHelp();
  return 0;
}

}  // namespace dw::ui
